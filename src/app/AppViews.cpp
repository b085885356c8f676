// The views of the main frame's panes and their wiring: the control view and the picture send the
// transport commands, the band draws the script at the clock's position, and every view follows
// the document's update hints.
#include "app/Commands.h"
#include "app/FrameLoop.h"
#include "app/MainFrame.h"
#include "app/TavorinApp.h"
#include "app/VarEDoc.h"
#include "rythmo/RythmoDXView.h"
#include "rythmo/SyncTimeSource.h"
#include "sync/ui/ControlView.h"
#include "sync/ui/VideoView.h"

void CTavorinApp::createViews() {
    CMainFrame& f = *m_pMainFrame;
    CVarEDoc& d = *m_pDoc;
    CCommands& c = *m_pCommands;

    // The band: only where OpenGL 3.3 can be had (it says so itself otherwise).
    auto* pBand = m_options.bBand ? new CRythmoDXView : nullptr;
    if (pBand && pBand->OnCreate(&settings()) == 0) {
        m_pBandView = pBand;
        m_pBandTime = std::make_unique<CSyncTimeSource>(m_sync, m_pFrameLoop->driver());
        pBand->setLog(this);
        pBand->setScript(&d.script());
        pBand->setBookmarks(&m_bookmarks.items());
        pBand->setActiveTrack(&m_nCurrentTrack);
        pBand->setTimeSource(m_pBandTime.get());
        f.setPaneWidget(EPane::Band, pBand);
        // The band paces the clock from now on: one step per presented frame.
        m_pFrameLoop->setBandDriven(true);
        connect(m_pFrameLoop, &CFrameLoop::frameRequested, pBand, &CRythmoDXView::requestFrame);
        connect(&d, &CVarEDoc::updated, pBand, [pBand](int nHint, const void*) { pBand->OnUpdate(nHint); });
        connect(&m_bookmarks, &CBookmarkList::changed, pBand, &CRythmoDXView::requestFrame);
        // The menu's commands run the band's own actions; the band's copies of the keys go, or the
        // same keys in two places would cancel each other.
        const std::pair<int, QAction*> bandActions[] = {{Cmd::VIEW_ZOOM_IN, pBand->zoomInAction()},
                                                        {Cmd::VIEW_ZOOM_OUT, pBand->zoomOutAction()},
                                                        {Cmd::VIEW_GRID, pBand->gridAndSignsAction()},
                                                        {Cmd::VIEW_DETECTION, pBand->detectionAction()}};
        for (const auto& [nId, pAction] : bandActions) {
            if (!pAction) continue;
            pBand->removeAction(pAction);
            c.handle(nId, [pTarget = pAction] { pTarget->trigger(); });
            QAction* pMine = c.action(nId);
            pMine->setCheckable(pAction->isCheckable());
            pMine->setChecked(pAction->isChecked());
            connect(pAction, &QAction::toggled, pMine, &QAction::setChecked);
        }
        pBand->OnInitialUpdate();
    } else {
        delete pBand;
    }

    auto* pControl = new CControlView(&m_sync, &d.script(), this);
    m_pControlView = pControl;
    pControl->setTheme(m_nTheme);
    pControl->setFocusTarget(m_pBandView);
    connect(pControl, &CControlView::playPause, this, &CTavorinApp::OnControlPlayPause, Qt::DirectConnection);
    connect(pControl, &CControlView::nextFrame, this, &CTavorinApp::OnControlNextFrame, Qt::DirectConnection);
    connect(pControl, &CControlView::previousFrame, this, &CTavorinApp::OnControlPreviousFrame,
            Qt::DirectConnection);
    connect(pControl, &CControlView::fastForward, this, &CTavorinApp::OnControlFastForward,
            Qt::DirectConnection);
    connect(pControl, &CControlView::rewind, this, &CTavorinApp::OnControlRewind, Qt::DirectConnection);
    connect(&d, &CVarEDoc::updated, pControl, [this, pControl](int nHint, const void*) {
        pControl->onUpdate(nHint);
        updateAudioIndicators();
    });
    f.setPaneWidget(EPane::Control, pControl);

    auto* pVideo = new CVideoView(&m_qt, &m_sync, this);
    m_pVideoView = pVideo;
    pVideo->setFocusTarget(m_pBandView);
    // While a picture is open there is no still to show (and nothing to read).
    if (!m_strStillImage.isEmpty()) pVideo->setDefaultImage(m_strStillImage);
    connect(this, &CTavorinApp::stillImageChanged, pVideo, [pVideo](const QString& strPath) {
        if (!strPath.isEmpty()) pVideo->setDefaultImage(strPath);
    });
    connect(pVideo, &CVideoView::oneSecondBack, this, &CTavorinApp::OnControlPreviousSecond,
            Qt::DirectConnection);
    connect(pVideo, &CVideoView::oneSecondLater, this, &CTavorinApp::OnControlNextSecond,
            Qt::DirectConnection);
    connect(pVideo, &CVideoView::tenSecondsBack, this, &CTavorinApp::OnControlPrevious10Seconds,
            Qt::DirectConnection);
    connect(pVideo, &CVideoView::tenSecondsLater, this, &CTavorinApp::OnControlNext10Seconds,
            Qt::DirectConnection);
    connect(
        pVideo, &CVideoView::gotoTimeCode, this, [this](const CTimeCode& tc) { gotoTime(tc); },
        Qt::DirectConnection);
    connect(
        pVideo, &CVideoView::updateAllViews, &d, [&d](int nHint) { d.UpdateAllViews(nullptr, nHint); },
        Qt::DirectConnection);
    connect(&d, &CVarEDoc::updated, pVideo, [pVideo](int nHint, const void*) { pVideo->onUpdate(nHint); });
    f.setPaneWidget(EPane::Video, pVideo);

    if (m_pBandView) m_pBandView->setFocus();
}
