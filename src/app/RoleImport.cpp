#include "app/RoleImport.h"

#include "app/Commands.h"
#include "app/SyncApp.h"
#include "app/VarEDoc.h"
#include "app/WaitCursor.h"
#include "vare/ScriptFile.h"
#include "vare/VarE.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CImportRolesDlg::CImportRolesDlg(const CVarE& other, QWidget* pParent)
    : QDialog(pParent), m_pList(new QTreeWidget(this)) {
    setWindowTitle(QString::fromUtf8("Importer les rôles"));
    m_pList->setColumnCount(1);
    m_pList->setHeaderLabels({QStringLiteral("Nom")});
    m_pList->setColumnWidth(0, 175);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const CRole& role : other.getRoles()) {
        auto* pItem = new QTreeWidgetItem(m_pList, {role.getName()});
        pItem->setCheckState(0, role.isSelected() ? Qt::Checked : Qt::Unchecked);
    }

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    QPushButton* pAll = pButtons->addButton(QStringLiteral("Tous"), QDialogButtonBox::ActionRole);
    QPushButton* pNone = pButtons->addButton(QStringLiteral("Aucun"), QDialogButtonBox::ActionRole);
    connect(pAll, &QPushButton::clicked, this, [this] { setAllTicked(true); });
    connect(pNone, &QPushButton::clicked, this, [this] { setAllTicked(false); });
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pList);
    pLayout->addWidget(pButtons);
}

void CImportRolesDlg::setAllTicked(bool bTicked) {
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        m_pList->topLevelItem(i)->setCheckState(0, bTicked ? Qt::Checked : Qt::Unchecked);
}

QStringList CImportRolesDlg::tickedRoles() const {
    QStringList names;
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i)
        if (m_pList->topLevelItem(i)->checkState(0) == Qt::Checked)
            names.append(m_pList->topLevelItem(i)->text(0));
    return names;
}

CRoleImport::CRoleImport(IAppServices& app, CVarEDoc& doc, QWidget* pWindow)
    : m_runDialog([](CImportRolesDlg& dlg) { return dlg.exec() == QDialog::Accepted; }), m_app(app),
      m_doc(doc), m_pWindow(pWindow) {}

void CRoleImport::bindCommands(CCommandTable& c) {
    c.bind(Cmd::FILE_IMPORT_ROLES, [this] { OnFileImportRoles(); });
}

void CRoleImport::OnFileImportRoles() {
    m_app.log().Log("CVarEDoc::OnFileImportRoles()\n");
    const QString strPath = m_app.prompts().getOpenFileName(QString::fromUtf8("Importer les rôles"),
                                                            m_app.settings().get(Settings::VarEPath),
                                                            QStringLiteral("Fichier VarE (*.vare)"));
    if (!strPath.isEmpty()) importRole(strPath);
}

int CRoleImport::importRole(const QString& strPath) {
    CTraceLog& log = m_app.log();
    log.Log("CVarEDoc::importRole(%s)\n", qUtf8Printable(strPath));
    CVarE other;
    bool bRead;
    {
        CWaitCursor wait;
        bRead = readScriptFile(strPath, scriptFormatOf(strPath, false), other, nullptr, nullptr);
    }
    if (!bRead) {
        m_app.prompts().error(QString::fromUtf8("Impossible d'ouvrir le fichier « %1 ».").arg(strPath));
        return -1;
    }
    CImportRolesDlg dlg(other, m_pWindow);
    if (!m_runDialog(dlg)) return -1;
    const QStringList names = dlg.tickedRoles();

    int nCopied = 0;
    {
        CScriptChange change(m_doc, QString::fromUtf8("Import des rôles"));
        for (const QString& strName : names) {
            const auto it = other.findRoleByName(strName);
            if (it == other.getRoles().end()) continue;
            if (m_doc.script().mergeRole(*it).second)
                ++nCopied;
            else
                log.Log("Problème lors de l'import de %s\n", qUtf8Printable(strName));
        }
    }
    if (nCopied > 0) m_doc.UpdateAllViews(nullptr, UPDATE_ROLE);
    return nCopied;
}
