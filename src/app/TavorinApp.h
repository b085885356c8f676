#pragma once

#include "app/BookmarkList.h"
#include "app/RecentFiles.h"
#include "app/SyncApp.h"

#include <memory>

class CBandEditing;
class CBandTimeSource;
class CClickSound;
class CCommandTable;
class CControlView;
class CExportCommands;
class CHelpCommands;
class CFrameLoop;
class CLinkControl;
class CMainFrame;
class CMediaSession;
class CRichScriptView;
class CPreferences;
class CRoleImport;
class CDaptImport;
class CRythmoDXView;
class CRythmoDXEditView;
class CScriptProperties;
class CScriptViewHost;
class CTransport;
class CVarEDoc;
class CVideoView;
class CWorkingCopyController;
class CWorkingCopyPrompts;

// The desktop program: it makes the long-lived parts, connects them and hands them out. The document
// owns the script; the transport moves the clock; the media session opens the picture and the sound;
// the link control feeds the synchroniser; the main frame shows the views; the command table holds
// every command, which each of these parts binds.
class CTavorinApp : public CSyncApp {
    Q_OBJECT
public:
    static constexpr const char* VERSION = TAVORIN_VERSION;

    explicit CTavorinApp(SAppOptions options, QObject* pParent = nullptr);
    ~CTavorinApp() override;

    bool InitInstance(const QString& strFile = {}) override;
    int ExitInstance() override;

    CVarEDoc& document() { return *m_pDoc; }
    CMainFrame& mainFrame() { return *m_pMainFrame; }
    CCommandTable& commands() { return *m_pCommands; }
    CFrameLoop& frameLoop() { return *m_pFrameLoop; }
    CTransport& transport() { return *m_pTransport; }
    CMediaSession& media() { return *m_pMedia; }
    CLinkControl& linkControl() { return *m_pLink; }
    CHelpCommands& help() { return *m_pHelp; }
    CRoleImport& roleImport() { return *m_pRoleImport; }
    CScriptProperties& properties() { return *m_pProperties; }
    CPreferences& preferences() { return *m_pPreferences; }
    CBookmarkList& bookmarks() { return m_bookmarks; }
    CRecentFiles& recentFiles() { return m_recent; }
    // The track the band's commands act on (0 to 3), shared by the band views.
    int activeTrack() const { return m_nActiveTrack; }
    CWorkingCopyController& workingCopy() { return *m_pWorkingCopy; }
    // The views in the panes; null when not created (tests, no OpenGL for the band).
    CControlView* controlView() const { return m_pControlView; }
    CVideoView* videoView() const { return m_pVideoView; }
    CRythmoDXEditView* bandView() const { return m_pBandView; }
    // The band's editing (null without the band).
    CBandEditing* bandEditing() const { return m_pEditing.get(); }
    CRichScriptView* scriptView() const { return m_pScriptView; }
    // What the script text view asks of the band (the edit view plugs its edit mode in there).
    CScriptViewHost* scriptViewHost() const { return m_pScriptHost.get(); }

private:
    void createViews();
    void createBandView();
    void createControlView();
    void createVideoView();
    void createScriptView();
    void connectParts();
    void openFromOtherCopy(const QString& strPath);

    CBookmarkList m_bookmarks;
    CRecentFiles m_recent;
    int m_nActiveTrack = 0;
    CCommandTable* m_pCommands = nullptr;
    CVarEDoc* m_pDoc = nullptr;
    CFrameLoop* m_pFrameLoop = nullptr;
    CTransport* m_pTransport = nullptr;
    CMediaSession* m_pMedia = nullptr;
    CLinkControl* m_pLink = nullptr;
    CExportCommands* m_pExports = nullptr;
    CHelpCommands* m_pHelp = nullptr;
    std::unique_ptr<CRoleImport> m_pRoleImport;
    std::unique_ptr<CDaptImport> m_pDaptImport;
    std::unique_ptr<CScriptProperties> m_pProperties;
    std::unique_ptr<CPreferences> m_pPreferences;
    CMainFrame* m_pMainFrame = nullptr;
    CControlView* m_pControlView = nullptr;
    CVideoView* m_pVideoView = nullptr;
    CRythmoDXEditView* m_pBandView = nullptr;
    std::unique_ptr<CBandEditing> m_pEditing;
    CRichScriptView* m_pScriptView = nullptr;
    std::unique_ptr<CScriptViewHost> m_pScriptHost;
    std::unique_ptr<CBandTimeSource> m_pBandTime;
    std::unique_ptr<CClickSound> m_pClick;
    std::unique_ptr<CWorkingCopyPrompts> m_pCopyPrompts;
    CWorkingCopyController* m_pWorkingCopy = nullptr;
};
