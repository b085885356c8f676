#include "app/ScriptTypeDlg.h"

#include "vare/VarE.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
// A group box of radio buttons, numbered in order.
QButtonGroup* radios(QWidget* pParent, QBoxLayout* pLayout, const QString& strTitle,
                     std::initializer_list<const char*> captions) {
    auto* pBox = new QGroupBox(strTitle, pParent);
    auto* pBoxLayout = new QVBoxLayout(pBox);
    auto* pGroup = new QButtonGroup(pParent);
    int n = 0;
    for (const char* psz : captions) {
        auto* pButton = new QRadioButton(QString::fromUtf8(psz), pBox);
        pGroup->addButton(pButton, n++);
        pBoxLayout->addWidget(pButton);
    }
    pLayout->addWidget(pBox);
    return pGroup;
}
} // namespace

CScriptTypeDlg::CScriptTypeDlg(const CVarE& script, QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(QStringLiteral("Formatage du document"));
    auto* pLayout = new QVBoxLayout(this);
    m_pFrontPage = new QCheckBox(QStringLiteral("Page de garde"), this);
    pLayout->addWidget(m_pFrontPage);
    m_pCroisille = new QCheckBox(QString::fromUtf8("Croisillé"), this);
    pLayout->addWidget(m_pCroisille);
    m_pRoleList = radios(
        this, pLayout, QString::fromUtf8("Liste des rôles"),
        {"Pas de liste des rôles", "Liste des rôles avec boucles", "Liste des rôles avec premier timecode"});
    m_pLayout = radios(this, pLayout, QStringLiteral("Script"),
                       {"Pas de script", "Script classique", "Script documentaire"});
    m_pTCOut = new QCheckBox(QStringLiteral("TC Out"), this);
    pLayout->addWidget(m_pTCOut);
    m_pRole = new QComboBox(this);
    m_pRole->addItem(QStringLiteral("Tous"));
    for (const CRole& role : script.getRoles())
        m_pRole->addItem(role.getName());
    auto* pForm = new QFormLayout;
    pForm->addRow(QString::fromUtf8("Rôle :"), m_pRole);
    pLayout->addLayout(pForm);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    pLayout->addWidget(pButtons);

    connect(m_pLayout, &QButtonGroup::idToggled, this, [this] { updateEnabled(); });
    setOptions(CScriptExportOptions());
}

void CScriptTypeDlg::setOptions(const CScriptExportOptions& o) {
    if (QAbstractButton* p = m_pLayout->button(o.nLayout)) p->setChecked(true);
    if (QAbstractButton* p = m_pRoleList->button(o.nRoleList)) p->setChecked(true);
    m_pTCOut->setChecked(o.bTCOut);
    m_pCroisille->setChecked(o.bCroisille);
    m_pFrontPage->setChecked(o.bFrontPage);
    m_pRole->setCurrentIndex(0);
    updateEnabled();
}

CScriptExportOptions CScriptTypeDlg::options() const {
    CScriptExportOptions o;
    o.nLayout = std::max(0, m_pLayout->checkedId());
    o.nRoleList = std::max(0, m_pRoleList->checkedId());
    o.bTCOut = m_pTCOut->isChecked();
    o.bCroisille = m_pCroisille->isChecked();
    o.bFrontPage = m_pFrontPage->isChecked();
    if (m_pRole->currentIndex() > 0) o.strRole = m_pRole->currentText();
    return o;
}

void CScriptTypeDlg::updateEnabled() {
    const int nLayout = m_pLayout->checkedId();
    m_pTCOut->setEnabled(nLayout == SCRIPT_DOCUMENTARY);
    m_pRole->setEnabled(nLayout == SCRIPT_CLASSIC || nLayout == SCRIPT_DOCUMENTARY);
}
