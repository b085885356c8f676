// The views of the main frame's panes and their wiring: the control view and the picture run the
// transport commands, the band draws the script at the clock's position, and every view follows the
// document's update hints.
#include "app/BandEditing.h"
#include "app/Commands.h"
#include "app/FrameLoop.h"
#include "app/MainFrame.h"
#include "app/MediaSession.h"
#include "app/PhotoDlg.h"
#include "app/RichScriptView.h"
#include "app/ScriptViewHost.h"
#include "app/TavorinApp.h"
#include "app/Transport.h"
#include "app/VarEDoc.h"
#include "rythmo/RythmoDXEditView.h"
#include "rythmo/SyncTimeSource.h"
#include "sync/ui/ControlView.h"
#include "sync/ui/VideoPicture.h"
#include "sync/ui/VideoView.h"

void CTavorinApp::createViews() {
    if (m_options.bBand) createBandView();
    createControlView();
    createVideoView();
    createScriptView();
    if (m_pBandView) {
        m_pMainFrame->setFocusTarget(m_pBandView);
        m_pBandView->setFocus();
    }
}

void CTavorinApp::createBandView() {
    // The band: only where OpenGL 3.3 can be had (it says so itself otherwise).
    m_pEditing = std::make_unique<CBandEditing>(*m_pDoc, *m_pTransport, prompts(), settings(), *m_pCommands);
    auto* pBand = new CRythmoDXEditView(*m_pEditing);
    if (pBand->OnCreate(&settings()) != 0) {
        delete pBand;
        m_pEditing.reset();
        return;
    }
    m_pBandView = pBand;
    m_pEditing->setView(pBand, m_pMainFrame);
    m_pEditing->m_photoSource = CPhotoDlg::photoSource(
        m_qt, [this] { return m_pTransport->getTimeCode(); }, prompts());
    m_pBandTime = std::make_unique<CSyncTimeSource>(m_sync, m_pFrameLoop->driver());
    pBand->setLog(this);
    pBand->setScript(&m_pDoc->script());
    pBand->setBookmarks(&m_bookmarks.items());
    pBand->setActiveTrack(&m_nActiveTrack);
    pBand->setTimeSource(m_pBandTime.get());
    pBand->setProbe(&m_probe);
    m_pMainFrame->setPaneWidget(EPane::Band, pBand);
    // The band paces the clock from now on: one step per presented frame.
    m_pFrameLoop->setBandDriven(true);
    connect(m_pFrameLoop, &CFrameLoop::frameRequested, pBand, &CRythmoDXView::requestFrame);
    connect(m_pDoc, &CVarEDoc::updated, pBand,
            [pBand](int nHint, const void* pObject) { pBand->OnUpdate(nHint, pObject); });
    connect(m_pDoc, &CVarEDoc::aboutToReplay, pBand, &CRythmoDXEditView::aboutToReplay);
    connect(&m_bookmarks, &CBookmarkList::changed, pBand, &CRythmoDXView::requestFrame);

    CCommandTable& c = *m_pCommands;
    c.bind(Cmd::VIEW_ZOOM_IN,
           {[pBand] { pBand->OnDisplayZoomIn(); }, [pBand] { return pBand->canZoomIn(); }, {}});
    c.bind(Cmd::VIEW_ZOOM_OUT,
           {[pBand] { pBand->OnDisplayZoomOut(); }, [pBand] { return pBand->canZoomOut(); }, {}});
    c.bind(Cmd::VIEW_GRID,
           {[pBand] { pBand->toggleGridAndSigns(); }, {}, [pBand] { return pBand->isGridAndSignsHidden(); }});
    c.bind(Cmd::VIEW_DETECTION,
           {[pBand] { pBand->toggleDetection(); }, {}, [pBand] { return pBand->isDetectionShown(); }});
    connect(pBand, &CRythmoDXView::displayChanged, &c, &CCommandTable::refresh);
    m_pEditing->bindCommands();
    pBand->OnInitialUpdate();
}

void CTavorinApp::createControlView() {
    auto* pControl = new CControlView(&m_sync, &m_pDoc->script(), this);
    m_pControlView = pControl;
    pControl->setTheme(settings().get(Settings::Theme));
    pControl->setProbe(&m_probe);
    pControl->setFocusTarget(m_pBandView);
    // The buttons run the commands as their keys do (a direct call: the focus goes back to the band).
    CCommandTable& c = *m_pCommands;
    auto run = [&c](int nId) { return [&c, nId] { c.trigger(nId); }; };
    // The button plays and pauses even while a phrase is open (its key types a space there).
    connect(
        pControl, &CControlView::playPause, this, [this] { m_pTransport->OnControlPlayPause(); },
        Qt::DirectConnection);
    connect(pControl, &CControlView::nextFrame, this, run(Cmd::CONTROL_NEXT_FRAME), Qt::DirectConnection);
    connect(pControl, &CControlView::previousFrame, this, run(Cmd::CONTROL_PREVIOUS_FRAME),
            Qt::DirectConnection);
    connect(pControl, &CControlView::fastForward, this, run(Cmd::CONTROL_FAST_FORWARD), Qt::DirectConnection);
    connect(pControl, &CControlView::rewind, this, run(Cmd::CONTROL_REWIND), Qt::DirectConnection);
    connect(m_pTransport, &CTransport::runningChanged, pControl, &CControlView::setPlaying);
    connect(m_pMedia, &CMediaSession::audioVersionChanged, pControl, &CControlView::setAudioVersion);
    connect(m_pDoc, &CVarEDoc::updated, pControl,
            [pControl](int nHint, const void*) { pControl->onUpdate(nHint); });
    m_pMainFrame->setPaneWidget(EPane::Control, pControl);
}

void CTavorinApp::createVideoView() {
    auto* pVideo = new CVideoView(&m_qt, &m_sync, this);
    m_pVideoView = pVideo;
    pVideo->setFocusTarget(m_pBandView);
    // While a picture is open there is no still to show (and nothing to read).
    if (!m_pMedia->stillImage().isEmpty()) pVideo->setDefaultImage(m_pMedia->stillImage());
    connect(m_pMedia, &CMediaSession::stillImageChanged, pVideo, [pVideo](const QString& strPath) {
        if (!strPath.isEmpty()) pVideo->setDefaultImage(strPath);
    });
    CCommandTable& c = *m_pCommands;
    auto run = [&c](int nId) { return [&c, nId] { c.trigger(nId); }; };
    connect(pVideo, &CVideoView::oneSecondBack, this, run(Cmd::CONTROL_PREVIOUS_SECOND),
            Qt::DirectConnection);
    connect(pVideo, &CVideoView::oneSecondLater, this, run(Cmd::CONTROL_NEXT_SECOND), Qt::DirectConnection);
    connect(pVideo, &CVideoView::tenSecondsBack, this, run(Cmd::CONTROL_PREVIOUS_10_SECONDS),
            Qt::DirectConnection);
    connect(pVideo, &CVideoView::tenSecondsLater, this, run(Cmd::CONTROL_NEXT_10_SECONDS),
            Qt::DirectConnection);
    connect(
        pVideo, &CVideoView::gotoTimeCode, this, [this](const CTimeCode& tc) { m_pTransport->gotoTime(tc); },
        Qt::DirectConnection);
    connect(
        pVideo, &CVideoView::updateAllViews, m_pDoc,
        [this](int nHint) { m_pDoc->UpdateAllViews(nullptr, nHint); }, Qt::DirectConnection);
    connect(m_pDoc, &CVarEDoc::updated, pVideo,
            [pVideo](int nHint, const void*) { pVideo->onUpdate(nHint); });
    // The timecode changes with the picture, in the same paint of the window; a picture whose paint was
    // put off brings the timecode along when it is drawn.
    if (m_pControlView) {
        connect(pVideo->getPicture(), &CVideoPicture::pictureDue, m_pControlView, &CControlView::refresh);
        connect(pVideo->getPicture(), &CVideoPicture::pictureRendered, m_pControlView,
                &CControlView::refresh);
    }
    // The band is drawn in the picture's paint and composed with it: the two change in one buffer swap.
    // Without a picture the band presents itself, in a window of its own.
    if (m_pBandView) {
        connect(pVideo->getPicture(), &CVideoPicture::pictureDue, m_pBandView, &CRythmoDXView::joinPicture);
        const auto followPicture = [this] { m_pBandView->setComposed(m_qt.hasVideo()); };
        connect(m_pMedia, &CMediaSession::mediaChanged, m_pBandView, followPicture);
        followPicture();
    }
    m_pMainFrame->setPaneWidget(EPane::Video, pVideo);
}

void CTavorinApp::createScriptView() {
    auto* pView = new CRichScriptView;
    m_pScriptView = pView;
    // A click takes the transport to the element and makes a phrase's track active; a double click opens
    // the phrase for typing on the band.
    SBandActions band;
    band.enterEditMode = [this] {
        if (m_pBandView && !m_pBandView->isEditMode() && m_pBandView->editor().enterEditMode())
            m_pBandView->requestFrame();
    };
    band.leaveEditMode = [this] {
        if (!m_pBandView || !m_pBandView->isEditMode()) return;
        m_pBandView->editor().quitEditMode();
        m_pBandView->requestFrame();
    };
    band.setActiveTrack = [this](int nTrack) {
        m_nActiveTrack = nTrack;
        if (m_pBandView) m_pBandView->requestFrame();
    };
    band.focus = [this] { m_pMainFrame->takeKeyboardBack(); };
    m_pScriptHost = std::make_unique<CScriptViewHost>(
        *m_pTransport, [this] { return m_nActiveTrack; }, std::move(band));
    pView->setLog(this);
    pView->setSettings(&settings());
    pView->setHost(m_pScriptHost.get());
    connect(m_pDoc, &CVarEDoc::updated, pView,
            [pView](int nHint, const void* pObject) { pView->OnUpdate(nHint, pObject); });
    m_pMainFrame->setPaneWidget(EPane::Script, pView);
    pView->OnInitialUpdate(&m_pDoc->script());
}
