#include "app/WorkingCopyPrompts.h"

#include "app/Prompts.h"
#include "sync/ui/WorkingCopyProgress.h"

CWorkingCopyPrompts::CWorkingCopyPrompts(IPrompts& prompts, QWidget* pParent)
    : m_prompts(prompts), m_pParent(pParent) {}

CWorkingCopyPrompts::~CWorkingCopyPrompts() {
    delete m_pDialog;
}

IWorkingCopyPrompts::EAnswer CWorkingCopyPrompts::askMakeCopy(const QString& strQuestion) {
    // "Oui pour tout" and "Non pour tout" are shown as "Toujours" and "Jamais".
    switch (
        m_prompts.message(strQuestion, IPrompts::ICON_QUESTION,
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll | QMessageBox::NoToAll,
                          QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return ANSWER_YES;
    case QMessageBox::YesToAll:
        return ANSWER_ALWAYS;
    case QMessageBox::NoToAll:
        return ANSWER_NEVER;
    default:
        return ANSWER_NO;
    }
}

void CWorkingCopyPrompts::showProgress(const QString& strMovie, double dDone, int nSecondsLeft) {
    if (!m_pDialog) {
        m_pDialog = new CWorkingCopyProgressDlg(m_pParent);
        QObject::connect(m_pDialog, &CWorkingCopyProgressDlg::cancelled, m_pDialog, [this] {
            if (m_cancel) m_cancel();
        });
    }
    m_pDialog->setProgress(strMovie, dDone, nSecondsLeft);
    if (!m_pDialog->isVisible()) m_pDialog->show();
}

void CWorkingCopyPrompts::hideProgress() {
    if (m_pDialog) m_pDialog->hide();
}

void CWorkingCopyPrompts::error(const QString& strText) {
    m_prompts.error(strText);
}
