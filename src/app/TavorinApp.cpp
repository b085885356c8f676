#include "app/TavorinApp.h"

#include "app/Commands.h"
#include "app/FrameLoop.h"
#include "app/MainFrame.h"
#include "app/SingleInstance.h"
#include "app/VarEDoc.h"
#include "app/WorkingCopyPrompts.h"
#include "rythmo/BandTimeSource.h"
#include "rythmo/RythmoDXView.h"
#include "sync/ui/ControlView.h"
#include "sync/ui/VideoView.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QUrl>

CTavorinApp::CTavorinApp(SAppOptions options, QObject* pParent) : CSyncApp(std::move(options), pParent) {}

CTavorinApp::~CTavorinApp() {
    m_qt.setWakeupCallback(nullptr, nullptr);
    delete m_pWorkingCopy; // its making stops before the player goes
    // The window (with the views) and the document go before the clock, the player and the log.
    delete m_pMainFrame;
    delete m_pDoc;
    delete m_pFrameLoop;
}

bool CTavorinApp::InitInstance(const QString& strFile) {
    if (!CSyncApp::InitInstance(strFile)) return false;
    Log("CTavorinApp::InitInstance()\n");
    CLogIndent indent(*this);

    m_recent.load(settings());
    m_bNewDocCreated = false;

    Log("Creation du document template\n");
    {
        CLogIndent inner(*this);
        m_pCommands = new CCommands(this);
        m_pDoc = new CVarEDoc(*this, this);
        m_pFrameLoop = new CFrameLoop(m_sync, *this, this);
        if (QScreen* pScreen = QGuiApplication::primaryScreen())
            if (pScreen->refreshRate() > 1.0)
                m_pFrameLoop->setRefreshPeriod(int(1000.0 / pScreen->refreshRate() + 0.5));
        m_pMainFrame = new CMainFrame(*this);
        m_defaultPrompts.setParent(m_pMainFrame);
        m_pCopyPrompts = std::make_unique<CWorkingCopyPrompts>(prompts(), m_pMainFrame);
        m_pWorkingCopy = new CWorkingCopyController(m_qt, settings(), *m_pCopyPrompts);
        connect(m_pWorkingCopy, &CWorkingCopyController::stateChanged, this,
                &CTavorinApp::updateCommandStates);
        registerCommands();
        if (m_options.bViews) createViews();
        // The synchroniser follows the clock every 10 ms while it is on; it was on when the program
        // last ended: switch it on again.
        m_linkTimer.setInterval(10);
        m_linkTimer.setTimerType(Qt::PreciseTimer);
        connect(&m_linkTimer, &QTimer::timeout, this,
                [this] { m_link.updateFromMediaTime(m_sync.getTime(0)); });
        if (settings().get(Settings::CorvelActive) != 0) OnControlCorvel();
    }
    Log("Creation du document template (%p) => Ok\n", static_cast<void*>(m_pDoc));

    connect(m_pInstance, &CSingleInstance::messageReceived, this, &CTavorinApp::openFromOtherCopy);
    // libmpv wakes us from its own thread: only post the event reading to the GUI thread.
    m_qt.setWakeupCallback(
        [](void* p) {
            auto* pApp = static_cast<CTavorinApp*>(p);
            QMetaObject::invokeMethod(
                pApp, [pApp] { pApp->player().onIdle(); }, Qt::QueuedConnection);
        },
        this);

    Log("ProcessShellCommand()\n");
    {
        CLogIndent inner(*this);
        // A file that cannot be opened leaves a new document, and the program runs on.
        if ((strFile.isEmpty() || !m_pDoc->openDocumentFile(strFile)) && !m_bNewDocCreated)
            m_pDoc->OnNewDocument();
    }
    Log("ProcessShellCommand() => Ok\n");

    Log("m_pMainWnd : %s\n", qUtf8Printable(m_pMainFrame->windowTitle()));
    Log("UpdateWindow(%p)\n", static_cast<void*>(m_pMainFrame));
    Log("ShowWindow(%p)\n", static_cast<void*>(m_pMainFrame));
    if (m_options.bShowWindow) m_pMainFrame->showWithCommand(settings().get(Settings::ShowCmd));

    if (settings().get(Settings::EnableAutoSave) != 0)
        m_pMainFrame->startAutoSave(settings().get(Settings::AutoSaveTimer));
    m_pMainFrame->removeControlScreenEntry();

    if (settings().get(Settings::FirstRun) != 0) {
        if (prompts().yesNo(
                QStringLiteral("Bienvenue dans Tavorin %1 !\nVoulez-vous consulter les notes de version ?")
                    .arg(VERSION)))
            m_pCommands->trigger(Cmd::HELP_RELEASE_NOTES);
        settings().set(Settings::FirstRun, 0);
    }

    indent.release();
    Log("CTavorinApp::InitInstance() => Ok\n");
    return true;
}

int CTavorinApp::ExitInstance() {
    m_linkTimer.stop();
    m_link.disconnect();
    if (m_pDoc) m_pDoc->OnCloseDocument();
    m_recent.save(settings());
    return CSyncApp::ExitInstance();
}

void CTavorinApp::showStillImage(const QString& strPath) {
    if (m_strStillImage == strPath) return;
    m_strStillImage = strPath;
    emit stillImageChanged(strPath);
}

void CTavorinApp::openFromOtherCopy(const QString& strPath) {
    m_pMainFrame->showNormal();
    m_pMainFrame->raise();
    m_pMainFrame->activateWindow();
    if (!strPath.isEmpty() && m_pDoc->SaveModified()) m_pDoc->openDocumentFile(strPath);
}

// ---------------------------------------------------------------------------------------------------
// Transport

bool CTavorinApp::gotoTime(const CTimeCode& tcTarget) {
    m_bFollowPosition = true;
    CTimeCode tc = tcTarget;
    const CTimeCode tcStart = m_sync.getStartTimeCode(), tcEnd = m_sync.getEndTimeCode();
    if (tc < tcStart) tc = tcStart;
    if (tc > tcEnd) tc = tcEnd;
    Log("=> goto %s\n", tc.getText());
    const bool bOk = CSyncApp::gotoTime(tc);
    if (m_pFrameLoop) m_pFrameLoop->requestFrame();
    return bOk;
}

void CTavorinApp::setRate(int nRate, bool bShuttle) {
    CSyncApp::setRate(nRate, bShuttle);
    if (m_pFrameLoop) m_pFrameLoop->wake();
}

void CTavorinApp::setPlayPauseCaption(bool bRunning) {
    if (m_pControlView) {
        m_pControlView->setPlaying(bRunning);
        return;
    }
    Log("playPause == NULL\n");
}

// Runs at nRate, or stands when the clock already runs the way the command asks (bAnyRate: at any rate).
void CTavorinApp::toggleRun(int nRate, bool bAnyRate, const char* pszRunLine) {
    m_bFollowPosition = true;
    const CTimeCode tc = getTimeCode();
    const int nNow = getRate();
    if (bAnyRate ? nNow != 0 : nNow == nRate) {
        Log("Pause at %s\n", tc.getText());
        setRate(0, false);
        setPlayPauseCaption(false);
    } else {
        Log(pszRunLine, tc.getText());
        setRate(nRate, false);
        setPlayPauseCaption(true);
    }
}

void CTavorinApp::OnControlPlayPause() {
    toggleRun(24, true, "Play at %s\n");
}

void CTavorinApp::OnControlPlay() {
    toggleRun(24, false, "Play at %s\n");
}

void CTavorinApp::OnControlReverse() {
    toggleRun(-24, false, "Reverse at %s\n");
}

void CTavorinApp::OnControlStop() {
    m_bFollowPosition = true;
    Log("Stop at %s\n", getTimeCode().getText());
    setRate(0, false);
    setPlayPauseCaption(false);
}

void CTavorinApp::OnControlFastForward() {
    m_bFollowPosition = true;
    Log("Fast Forward (x3) at %s\n", getTimeCode().getText());
    setRate(72, false);
    setPlayPauseCaption(true);
}

void CTavorinApp::OnControlRewind() {
    m_bFollowPosition = true;
    Log("Rewind (x3) at %s\n", getTimeCode().getText());
    setRate(-72, false);
    setPlayPauseCaption(true);
}

void CTavorinApp::step(const CTimeCode& tcStep, bool bForward, const char* pszTrace) {
    m_bFollowPosition = true;
    Log("%s", pszTrace);
    setRate(0, false);
    setPlayPauseCaption(false);
    const CTimeCode tc = getTimeCode();
    CTimeCode tcTarget;
    if (bForward)
        tcTarget = tc + tcStep; // wraps at 24 hours
    else
        tcTarget = tc < tcStep ? TC_ZERO : tc - tcStep;
    gotoTime(tcTarget);
}

void CTavorinApp::OnControlJogForward() {
    m_bFollowPosition = true;
    Log("Jog forward\n");
    m_sync.jogForward();
    m_pFrameLoop->wake();
}

void CTavorinApp::OnControlJogBackward() {
    m_bFollowPosition = true;
    Log("Jog backward\n");
    m_sync.jogBackward();
    m_pFrameLoop->wake();
}

void CTavorinApp::shuttle(int nSpeed) {
    m_bFollowPosition = true;
    Log("Shuttle- => %i\n", nSpeed);
    setRate(nSpeed, true);
    setPlayPauseCaption(nSpeed != 0);
}

void CTavorinApp::OnControlGoto() {
    m_bFollowPosition = true;
    setRate(0, false);
    setPlayPauseCaption(false);
    const CTimeCode tc = askTimeCode(QStringLiteral("Aller à"), getTimeCode());
    if (!tc.isValid()) return;
    Log("Goto %s\n", tc.getText());
    gotoTime(tc);
}

void CTavorinApp::OnPositionMark() {
    setRate(0, false);
    setPlayPauseCaption(false);
    const CTimeCode tc = getTimeCode();
    if (const CBookmark* p = m_bookmarks.find(tc)) {
        prompts().information(
            QStringLiteral("Cette position a déjà été mémorisée sous le nom « %1 ».").arg(p->strLabel));
        return;
    }
    QString strLabel = m_bookmarks.proposeLabel();
    if (prompts().askBookmarkLabel(strLabel)) m_bookmarks.add(tc, strLabel);
}

void CTavorinApp::OnPositionDelete() {
    setRate(0, false);
    setPlayPauseCaption(false);
    prompts().deleteBookmarks(m_bookmarks);
}

void CTavorinApp::gotoBookmark(int nId) {
    if (const CBookmarkList::Entry* p = m_bookmarks.findById(nId)) gotoTime(p->first);
}

void CTavorinApp::OnAudioVolumeUp() {
    const int nVolume = m_qt.getVolume();
    if (!m_qt.hasMovie() || nVolume >= CQuickTime::FULL_VOLUME) {
        Click::play();
        return;
    }
    m_qt.setVolume(nVolume + 16);
}

void CTavorinApp::OnAudioVolumeDown() {
    const int nVolume = m_qt.getVolume();
    if (!m_qt.hasMovie() || nVolume <= 0) {
        Click::play();
        return;
    }
    m_qt.setVolume(nVolume - 16);
}

void CTavorinApp::OnAudioMute() {
    if (!m_qt.hasMovie()) return;
    m_qt.setMute(!m_qt.isMuted()); // the player traces the call
    updateCommandStates();
}

void CTavorinApp::OnAudioVersion() {
    m_bVI = !m_bVI;
    m_qt.setAudioVersion(m_bVI);
    updateCommandStates();
    updateAudioIndicators();
}

void CTavorinApp::updateAudioIndicators() {
    if (m_pControlView)
        m_pControlView->setAudioVersion(m_qt.hasMovie() ? m_qt.getAudioChannelCount() : 0, m_bVI);
}

void CTavorinApp::OnViewDeinterlace() {
    m_bDeinterlace = !m_bDeinterlace;
    m_qt.setPlayHints(m_bDeinterlace ? CQuickTime::HINT_DEINTERLACE_FIELDS : 0,
                      CQuickTime::HINT_DEINTERLACE_FIELDS);
    updateCommandStates();
}

void CTavorinApp::OnViewHighQuality() {
    m_bHighQuality = !m_bHighQuality;
    m_qt.setPlayHints(m_bHighQuality ? CQuickTime::HINT_HIGH_QUALITY : 0, CQuickTime::HINT_HIGH_QUALITY);
    updateCommandStates();
}

void CTavorinApp::updateCommandStates() {
    CCommands& c = *m_pCommands;
    QAction* pVI = c.action(Cmd::AUDIO_VI);
    pVI->setText(QStringLiteral("Passer en &V%1\tF2").arg(m_bVI ? QLatin1Char('O') : QLatin1Char('I')));
    pVI->setEnabled(m_qt.hasMovie() && m_qt.getAudioChannelCount() == 4);
    c.action(Cmd::AUDIO_MUTE)->setChecked(m_qt.hasMovie() && m_qt.isMuted());
    c.action(Cmd::VIEW_DEINTERLACE)->setChecked(m_bDeinterlace);
    c.action(Cmd::VIEW_HIGH_QUALITY)->setChecked(m_bHighQuality);
    c.action(Cmd::VIEW_WORKING_COPY)->setEnabled(m_pWorkingCopy->canSwitch());
    c.action(Cmd::VIEW_WORKING_COPY)->setChecked(m_pWorkingCopy->isPlayingCopy());
}

// ---------------------------------------------------------------------------------------------------
// Files

void CTavorinApp::OnFileOpenBackup() {
    const QString strBackup = prompts().getOpenFileName(
        QStringLiteral("Ouvrir une sauvegarde"), autoSaveFolder(),
        QStringLiteral("Fichiers de sauvegarde automatique (*.bak);;Tous les fichiers (*)"));
    if (strBackup.isEmpty()) return;
    const QString strName = QFileInfo(strBackup).completeBaseName(); // "film 2008-03-14 09h05.vare"
    const QString strBase = strName.left(std::max<qsizetype>(strName.size() - 22, 0));
    const QString strTarget = prompts().getSaveFileName(
        QStringLiteral("Enregistrer sous"), QDir(dataFolder()).filePath(strBase + ".vare"),
        QStringLiteral("Fichiers VarE (*.vare);;Tous les fichiers (*)"), QStringLiteral("vare"));
    if (strTarget.isEmpty()) return;
    if (!m_pDoc->SaveModified()) return;
    if (QFileInfo(strTarget).absoluteFilePath() == QFileInfo(strBackup).absoluteFilePath()) {
        if (!prompts().yesNo(QStringLiteral("Ce fichier existe déjà. Êtes-vous sûr de vouloir l'écraser ?"),
                             IPrompts::ICON_EXCLAMATION, QMessageBox::No))
            return;
        // The backup itself is the target: nothing to copy.
    } else {
        // Copy beside the target first, so that a failed copy leaves the existing file whole.
        const QString strTemp = strTarget + QStringLiteral(".tmp");
        QFile::remove(strTemp);
        if (!QFile::copy(strBackup, strTemp)) {
            prompts().error(QStringLiteral("Impossible d'enregistrer le fichier %1").arg(strTarget));
            return;
        }
        QFile::remove(strTarget);
        if (!QFile::rename(strTemp, strTarget)) {
            QFile::remove(strTemp);
            prompts().error(QStringLiteral("Impossible d'enregistrer le fichier %1").arg(strTarget));
            return;
        }
    }
    m_pDoc->openDocumentFile(strTarget);
}

// ---------------------------------------------------------------------------------------------------

void CTavorinApp::OnControlCorvel() {
    if (m_link.isEnabled()) {
        m_link.disconnect();
        m_linkTimer.stop();
        settings().set(Settings::CorvelActive, 0);
    } else if (m_link.configure(settings(), logFolder())) {
        resetLink();
        m_linkTimer.start();
        settings().set(Settings::CorvelActive, 1);
    } else {
        prompts().error(
            QStringLiteral("Impossible d'établir la communication avec la machine Corvel. Vérifiez "
                           "qu'elle est bien connectée."));
        settings().set(Settings::CorvelActive, 0);
    }
    if (QAction* p = commands().action(Cmd::CONTROL_CORVEL)) p->setChecked(m_link.isEnabled());
}

void CTavorinApp::resetLink(bool bNewScript) {
    if (m_link.isEnabled()) m_link.reset(bNewScript ? 0 : getTimeCode().getFrames());
}

void CTavorinApp::registerCommands() {
    CCommands& c = *m_pCommands;
    CVarEDoc& d = *m_pDoc;
    CMainFrame& f = *m_pMainFrame;

    c.handle(Cmd::FILE_NEW, [&d] { d.newDocument(); });
    c.handle(Cmd::FILE_OPEN, [&d] { d.OnFileOpen(); });
    c.handle(Cmd::FILE_OPEN_BACKUP, [this] { OnFileOpenBackup(); });
    c.handle(Cmd::FILE_SAVE, [&d] { d.DoFileSave(); });
    c.handle(Cmd::FILE_SAVE_AS, [&d] { d.OnFileSaveAs(); });
    c.handle(Cmd::FILE_SAVE_COPY, [&d] { d.OnFileSaveCopy(); });
    c.handle(Cmd::FILE_VIDEO, [&d] { d.OnFileVideo(); });
    c.handle(Cmd::APP_EXIT, [&f] { f.close(); });
    c.handle(Cmd::CONTROL_TIMESTAMP, [&d] { d.OnEditTimestamp(); });

    c.handle(Cmd::CONTROL_PLAY_PAUSE, [this] { OnControlPlayPause(); });
    c.handle(Cmd::CONTROL_PLAY, [this] { OnControlPlay(); });
    c.handle(Cmd::CONTROL_REVERSE, [this] { OnControlReverse(); });
    c.handle(Cmd::CONTROL_STOP, [this] { OnControlStop(); });
    c.handle(Cmd::CONTROL_FAST_FORWARD, [this] { OnControlFastForward(); });
    c.handle(Cmd::CONTROL_REWIND, [this] { OnControlRewind(); });
    c.handle(Cmd::CONTROL_NEXT_FRAME, [this] { OnControlNextFrame(); });
    c.handle(Cmd::CONTROL_PREVIOUS_FRAME, [this] { OnControlPreviousFrame(); });
    c.handle(Cmd::CONTROL_NEXT_SECOND, [this] { OnControlNextSecond(); });
    c.handle(Cmd::CONTROL_PREVIOUS_SECOND, [this] { OnControlPreviousSecond(); });
    c.handle(Cmd::CONTROL_NEXT_10_SECONDS, [this] { OnControlNext10Seconds(); });
    c.handle(Cmd::CONTROL_PREVIOUS_10_SECONDS, [this] { OnControlPrevious10Seconds(); });
    c.handle(Cmd::CONTROL_JOG_FORWARD, [this] { OnControlJogForward(); });
    c.handle(Cmd::CONTROL_JOG_BACKWARD, [this] { OnControlJogBackward(); });
    for (int i = 0; i < 14; ++i) {
        const int nSpeed = SHUTTLE_SPEEDS[i];
        c.handle(Cmd::CONTROL_SHUTTLE_FIRST + i, [this, nSpeed] { shuttle(nSpeed); });
    }
    c.handle(Cmd::CONTROL_GOTO, [this] { OnControlGoto(); });
    c.handle(Cmd::POSITION_MARK, [this] { OnPositionMark(); });
    c.handle(Cmd::POSITION_DELETE, [this] { OnPositionDelete(); });

    c.handle(Cmd::AUDIO_VOLUME_UP, [this] { OnAudioVolumeUp(); });
    c.handle(Cmd::AUDIO_VOLUME_DOWN, [this] { OnAudioVolumeDown(); });
    c.handle(Cmd::AUDIO_MUTE, [this] { OnAudioMute(); });
    c.handle(Cmd::AUDIO_VI, [this] { OnAudioVersion(); });
    c.handle(Cmd::AUDIO_RECORD, [] {}); // does nothing, by design
    c.handle(Cmd::VIEW_DEINTERLACE, [this] { OnViewDeinterlace(); });
    c.handle(Cmd::VIEW_HIGH_QUALITY, [this] { OnViewHighQuality(); });
    c.handle(Cmd::VIEW_WORKING_COPY, [this] { m_pWorkingCopy->OnViewWorkingCopy(); });
    c.handle(Cmd::VIEW_FULL_SCREEN, [&f] { f.OnViewFullScreen(); });
    c.handle(Cmd::CONTROL_CORVEL, [this] { OnControlCorvel(); });
    if (QAction* pCorvel = c.action(Cmd::CONTROL_CORVEL)) pCorvel->setCheckable(true);

    // Check marks and the VI entry follow the movie: refreshed when their menus open.
    for (int nMenu : {4, 5})
        if (QMenu* p = f.menu(nMenu))
            connect(p, &QMenu::aboutToShow, this, &CTavorinApp::updateCommandStates);
    updateCommandStates();
}
