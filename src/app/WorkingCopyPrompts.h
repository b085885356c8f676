#pragma once

#include "sync/WorkingCopyController.h"

#include <QPointer>

class IPrompts;
class QWidget;
class CWorkingCopyProgressDlg;

// The working copy's question and messages go through the application's prompts, like every other
// (tests answer them); its progress goes into a small window of its own beside the main one.
class CWorkingCopyPrompts : public IWorkingCopyPrompts {
public:
    CWorkingCopyPrompts(IPrompts& prompts, QWidget* pParent);
    ~CWorkingCopyPrompts() override;

    EAnswer askMakeCopy(const QString& strQuestion) override;
    void showProgress(const QString& strMovie, double dDone, int nSecondsLeft) override;
    void hideProgress() override;
    void error(const QString& strText) override;

private:
    IPrompts& m_prompts;
    QPointer<QWidget> m_pParent;
    QPointer<CWorkingCopyProgressDlg> m_pDialog;
};
