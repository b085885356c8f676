#include "app/DecalageDlg.h"

#include "app/Commands.h"
#include "app/Prompts.h"
#include "app/TimeCodeEdit.h"
#include "app/VarEDoc.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdlib>

CDecalageDlg::CDecalageDlg(CVarEDoc& doc, IPrompts& prompts, QWidget* pParent)
    : QDialog(pParent), m_doc(doc), m_prompts(prompts), m_pOffset(new CTimeCodeEdit(this)),
      m_pLeft(new QRadioButton(QStringLiteral("Vers la gauche"), this)),
      m_pRight(new QRadioButton(QStringLiteral("Vers la droite"), this)) {
    setWindowTitle(QString::fromUtf8("Décalage"));
    auto* pDirection = new QGroupBox(QStringLiteral("Direction"), this);
    auto* pDirectionLayout = new QVBoxLayout(pDirection);
    pDirectionLayout->addWidget(m_pLeft);
    pDirectionLayout->addWidget(m_pRight);
    m_pRight->setChecked(true);

    auto* pEarlier = new QPushButton(QStringLiteral("<"), this);
    auto* pLater = new QPushButton(QStringLiteral(">"), this);
    for (QPushButton* p : {pEarlier, pLater}) {
        p->setFixedWidth(32);
        p->setAutoDefault(false);
        // Held down, the button steps again and again: the script scrolls.
        p->setAutoRepeat(true);
        p->setAutoRepeatDelay(400);
        p->setAutoRepeatInterval(40);
    }
    auto* pOffsetRow = new QHBoxLayout;
    pOffsetRow->addWidget(pEarlier);
    pOffsetRow->addWidget(m_pOffset, 1);
    pOffsetRow->addWidget(pLater);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pDirection);
    pLayout->addLayout(pOffsetRow);
    pLayout->addWidget(pButtons);

    connect(pEarlier, &QPushButton::clicked, this, &CDecalageDlg::OnLeft);
    connect(pLater, &QPushButton::clicked, this, &CDecalageDlg::OnRight);
    connect(m_pOffset, &CTimeCodeEdit::timeCodeChanged, this, &CDecalageDlg::controlsChanged);
    connect(m_pLeft, &QRadioButton::toggled, this, [this](bool bOn) {
        if (bOn) controlsChanged();
    });
    connect(m_pRight, &QRadioButton::toggled, this, [this](bool bOn) {
        if (bOn) controlsChanged();
    });
    connect(pButtons, &QDialogButtonBox::accepted, this, &CDecalageDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CDecalageDlg::reject);

    showOffset(0);
    m_pOffset->setFocus();
    // Every shift made while the dialog is open is one step; shifts back to the start leave none.
    m_doc.beginChange(QString::fromUtf8("Décalage"));
    m_bStepOpen = true;
}

CDecalageDlg::~CDecalageDlg() {
    finish();
}

bool CDecalageDlg::shownOffset(int& nFrames) const {
    const CTimeCode tc = m_pOffset->getTimeCode();
    if (!tc.isValid()) return false;
    nFrames = m_pLeft->isChecked() ? -tc.getFrames() : tc.getFrames();
    return true;
}

void CDecalageDlg::showOffset(int nFrames) {
    m_bShowing = true;
    if (nFrames < 0)
        m_pLeft->setChecked(true);
    else if (nFrames > 0)
        m_pRight->setChecked(true);
    m_pOffset->setTimeCode(CTimeCode::fromFrames(std::abs(nFrames)));
    m_bShowing = false;
}

bool CDecalageDlg::apply(bool bClick) {
    int n = 0;
    if (!shownOffset(n) || !m_doc.script().shift(n - m_nApplied)) {
        if (bClick) Click::play();
        return false;
    }
    if (n != m_nApplied) {
        m_nApplied = n;
        m_doc.UpdateAllViews(nullptr, NEW_DOC);
    }
    return true;
}

void CDecalageDlg::controlsChanged() {
    if (!m_bShowing) apply(true);
}

void CDecalageDlg::step(int nDelta) {
    int n = 0;
    if (!shownOffset(n)) n = m_nApplied;
    showOffset(n + nDelta);
    // A step the script refuses leaves the field on the shift it holds, so that the other button moves
    // back at once.
    if (!apply(true)) showOffset(m_nApplied);
}

void CDecalageDlg::OnLeft() {
    step(-1);
}

void CDecalageDlg::OnRight() {
    step(+1);
}

void CDecalageDlg::finish() {
    if (!m_bStepOpen) return;
    m_bStepOpen = false;
    m_doc.endChange();
}

void CDecalageDlg::accept() {
    if (!apply(false)) {
        m_prompts.error(QStringLiteral("La valeur de l'offset est incorrecte."));
        return;
    }
    finish();
    if (m_nApplied != 0) m_doc.UpdateAllViews(nullptr, NEW_DOC);
    QDialog::accept();
}

void CDecalageDlg::reject() {
    // Back to where the script was: always possible.
    showOffset(0);
    apply(false);
    finish();
    QDialog::reject();
}

void bindShiftCommand(CCommandTable& c, CVarEDoc& doc, IPrompts& prompts, QWidget* pWindow) {
    c.bind(Cmd::EDIT_SHIFT, [&doc, &prompts, pWindow] {
        CDecalageDlg dlg(doc, prompts, pWindow);
        dlg.exec();
    });
}
