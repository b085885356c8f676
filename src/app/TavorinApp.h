#pragma once

#include "app/BookmarkList.h"
#include "app/RecentFiles.h"
#include "app/SyncApp.h"
#include "sync/MachineLink.h"

#include <QTimer>

class CBandTimeSource;
class CControlView;
class CCommands;
class CRythmoDXView;
class CVideoView;
class CFrameLoop;
class CMainFrame;
class CVarEDoc;
class CWorkingCopyController;
class CWorkingCopyPrompts;

// The desktop program: the document, the main window, the transport and position commands, the
// frame loop that keeps the band drawing while the clock runs.
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
    CCommands& commands() { return *m_pCommands; }
    CFrameLoop& frameLoop() { return *m_pFrameLoop; }
    CBookmarkList& bookmarks() { return m_bookmarks; }
    CRecentFiles& recentFiles() { return m_recent; }
    CWorkingCopyController& workingCopy() { return *m_pWorkingCopy; }
    // The views in the panes; null when not created (tests, no OpenGL for the band).
    CControlView* controlView() const { return m_pControlView; }
    CVideoView* videoView() const { return m_pVideoView; }
    CRythmoDXView* bandView() const { return m_pBandView; }
    // Puts the views in the main frame's panes and connects them to the document and the commands.
    void createViews();

    // The still image shown in place of a picture; empty while a picture is open.
    void showStillImage(const QString& strPath);
    const QString& stillImage() const { return m_strStillImage; }
    CTimeCode askTimeCode(const QString& strCaption, const CTimeCode& tcInitial) {
        return prompts().askTimeCode(strCaption, tcInitial);
    }

    // Clamps the target into the media, then moves.
    bool gotoTime(const CTimeCode& tc) override;
    void setRate(int nRate, bool bShuttle) override;

    // --- transport commands (also called by the control view's buttons and the band)
    void OnControlPlayPause();
    void OnControlPlay();
    void OnControlReverse();
    void OnControlStop();
    void OnControlFastForward();
    void OnControlRewind();
    void OnControlNextFrame() { step(TC_ONE_FRAME, true, "Go one frame later\n"); }
    void OnControlPreviousFrame() { step(TC_ONE_FRAME, false, "Go one frame back\n"); }
    void OnControlNextSecond() { step(TC_ONE_SECOND, true, "Go one second later\n"); }
    void OnControlPreviousSecond() { step(TC_ONE_SECOND, false, "Go one second back\n"); }
    void OnControlNext10Seconds() { step(TC_TEN_SECONDS, true, "Go ten seconds later\n"); }
    void OnControlPrevious10Seconds() { step(TC_TEN_SECONDS, false, "Go ten seconds back\n"); }
    void OnControlJogForward();
    void OnControlJogBackward();
    void shuttle(int nSpeed);
    void OnControlGoto();
    void OnPositionMark();
    void OnPositionDelete();
    void gotoBookmark(int nId);
    void OnAudioVolumeUp();
    void OnAudioVolumeDown();
    void OnAudioMute();
    void OnAudioVersion();
    void OnViewDeinterlace();
    void OnViewHighQuality();
    void OnFileOpenBackup();
    // "Machine Corvel...": switches the link to the external synchroniser on or off.
    void OnControlCorvel();
    // The synchroniser's next message starts from the clock's frame (a new script, an opened script or
    // picture, a new timestamp): it is not walked through the frames in between.
    void resetLink(bool bNewScript = false);
    CMachineLink& link() { return m_link; }
    bool isLinkTimerRunning() const { return m_linkTimer.isActive(); }

    // The speeds of the shuttle entries, slowest reverse first.
    static constexpr int SHUTTLE_SPEEDS[14] = {-240, -72, -24, -18, -12, -6, -3, 3, 6, 12, 18, 24, 72, 240};

    int m_nCurrentTrack = 0;
    bool m_bNewDocCreated = false;

signals:
    void stillImageChanged(const QString& strPath);

private:
    void toggleRun(int nRate, bool bAnyRate, const char* pszRunLine);
    void registerCommands();
    void updateCommandStates();
    void step(const CTimeCode& tcStep, bool bForward, const char* pszTrace);
    void setPlayPauseCaption(bool bRunning);
    void openFromOtherCopy(const QString& strPath);
    void updateAudioIndicators();

    CBookmarkList m_bookmarks;
    CRecentFiles m_recent;
    CCommands* m_pCommands = nullptr;
    CVarEDoc* m_pDoc = nullptr;
    CMainFrame* m_pMainFrame = nullptr;
    CFrameLoop* m_pFrameLoop = nullptr;
    QString m_strStillImage;
    CControlView* m_pControlView = nullptr;
    CVideoView* m_pVideoView = nullptr;
    CRythmoDXView* m_pBandView = nullptr;
    std::unique_ptr<CBandTimeSource> m_pBandTime;
    std::unique_ptr<CWorkingCopyPrompts> m_pCopyPrompts;
    CWorkingCopyController* m_pWorkingCopy = nullptr;
    CMachineLink m_link;
    QTimer m_linkTimer; // the main frame's timer 0: every 10 ms while the link is on
};
