#pragma once

#include "rythmo/BandEditHost.h"

#include <functional>

class CCommandTable;
class CFindDlg;
class CRythmoDXEditView;
class CSelectRoleDlg;
class CSettingsStore;
class CTransport;
class CVarEDoc;
class IPrompts;
class QWidget;

// The band's editing in the program: what the edit view asks of the application (the document's
// change path, the transport, the questions, the role dialog, the click) and the commands of the
// "&Edition" menu that the view carries out.
//
// GUI thread only.
class CBandEditing : public IBandEditHost {
public:
    CBandEditing(CVarEDoc& doc, CTransport& transport, IPrompts& prompts, CSettingsStore& settings,
                 CCommandTable& commands);
    // The view once made (the host is made first: the view needs it).
    void setView(CRythmoDXEditView* pView, QWidget* pDialogParent);
    void bindCommands();

    // How the role dialog runs (tests answer it).
    std::function<int(CSelectRoleDlg&)> m_runRoleDialog;
    // What the role dialog's "&Prendre une photo..." runs.
    std::function<QString(QWidget*)> m_photoSource;

    // IBandEditHost
    CVarE& script() override;
    void beginChange(const QString& strLabel, int nMergeId) override;
    void endChange() override;
    void updateAllViews(int nHint, const void* pObject) override;
    CTimeCode getTimeCode() override;
    void stop() override;
    void gotoTime(const CTimeCode& tc) override;
    void playPause() override;
    void shuttle(int nSpeed) override;
    bool isShuttling() override;
    void stopShuttle() override;
    void stepFrame(bool bForward) override;
    void setFollowing(bool bFollow) override;
    CTimeCode getStartTimeCode() override;
    bool askYesNo(const QString& strText) override;
    EAnswer askYesNoCancel(const QString& strText) override;
    void inform(const QString& strText) override;
    const CRole* chooseRole(const CRole* pPreselected, bool bNewLine) override;
    bool autoCloseReactions() override;
    void click() override;
    void showContextMenu(EMenu eMenu, const QPoint& globalPos) override;

    // The find dialog, made on first use (tests reach it).
    CFindDlg* findDialog();

private:
    void bindSignCommands();
    void bindNavigation();
    void showFind();

    CVarEDoc& m_doc;
    CTransport& m_transport;
    IPrompts& m_prompts;
    CSettingsStore& m_settings;
    CCommandTable& m_commands;
    CRythmoDXEditView* m_pView = nullptr;
    QWidget* m_pDialogParent = nullptr;
    CFindDlg* m_pFindDlg = nullptr;
};
