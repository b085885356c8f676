#include "app/FindDlg.h"

#include "rythmo/BandFinder.h"
#include "vare/VarE.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString ALL_ROLES = QString::fromUtf8("Tous les rôles");
const QString SEPARATOR = QStringLiteral("----------------------------------------------------");
} // namespace

CFindDlg::CFindDlg(SFindParams& params, std::function<void(bool)> search, QWidget* pParent)
    : QDialog(pParent), m_params(params), m_search(std::move(search)), m_pText(new QLineEdit(this)),
      m_pRole(new QComboBox(this)), m_pMatchCase(new QCheckBox(QStringLiteral("Respecter la casse"), this)),
      m_pWholeWord(new QCheckBox(QStringLiteral("Mot entier"), this)),
      m_pNext(new QPushButton(QStringLiteral("Suivant"), this)) {
    setWindowTitle(QStringLiteral("Rechercher"));
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Rechercher :"), m_pText);
    pForm->addRow(QStringLiteral("Pour :"), m_pRole);
    auto* pButtons = new QDialogButtonBox(this);
    m_pNext->setDefault(true);
    pButtons->addButton(m_pNext, QDialogButtonBox::ActionRole);
    QPushButton* pCancel = pButtons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(m_pMatchCase);
    pLayout->addWidget(m_pWholeWord);
    pLayout->addWidget(pButtons);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pNext, &QPushButton::clicked, this, [this] {
        store();
        m_search(true);
    });
    connect(m_pText, &QLineEdit::textEdited, this, [this] {
        store();
        m_search(false);
    });
    connect(m_pRole, &QComboBox::currentIndexChanged, this, &CFindDlg::onRoleChosen);
    connect(m_pMatchCase, &QCheckBox::toggled, this, [this] { store(); });
    connect(m_pWholeWord, &QCheckBox::toggled, this, [this] { store(); });
}

void CFindDlg::prepare(const CVarE& script) {
    m_bFilling = true;
    m_pRole->clear();
    m_pRole->addItem(ALL_ROLES);
    if (!script.getRoles().empty()) {
        m_pRole->addItem(SEPARATOR);
        for (const CRole& role : script.getRoles())
            m_pRole->addItem(role.getName());
    }
    m_pRole->setCurrentIndex(0);
    m_bFilling = false;
    m_pText->setText(m_params.strText);
    m_pMatchCase->setChecked(m_params.bMatchCase);
    m_pWholeWord->setChecked(m_params.bWholeWord);
    m_pText->selectAll();
    m_pText->setFocus();
    store();
}

void CFindDlg::store() {
    m_params.strText = m_pText->text();
    m_params.bMatchCase = m_pMatchCase->isChecked();
    m_params.bWholeWord = m_pWholeWord->isChecked();
    // The first two entries are every role and the separator.
    m_params.strRole = m_pRole->currentIndex() >= 2 ? m_pRole->currentText() : QString();
}

void CFindDlg::onRoleChosen(int nIndex) {
    if (m_bFilling) return;
    if (nIndex == 1) {
        m_pRole->setCurrentIndex(0); // the separator is no choice; this comes back here
        return;
    }
    store();
    m_search(false);
}
