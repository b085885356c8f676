#include "app/TavorinApp.h"

#include "app/BandEditing.h"
#include "app/Commands.h"
#include "app/DaptImport.h"
#include "app/DecalageDlg.h"
#include "app/ExportCommands.h"
#include "app/FrameLoop.h"
#include "app/HelpCommands.h"
#include "app/LinkControl.h"
#include "app/MainFrame.h"
#include "app/MediaSession.h"
#include "app/PropertySheet.h"
#include "app/RoleImport.h"
#include "app/ScriptViewHost.h"
#include "app/SettingsDlg.h"
#include "app/ShotDetectDlg.h"
#include "app/SingleInstance.h"
#include "app/Transport.h"
#include "app/UpdateChecker.h"
#include "app/VarEDoc.h"
#include "app/WorkingCopyPrompts.h"
#include "base/DataFolder.h"
#include "rythmo/BandTimeSource.h"
#include "sync/ClickSound.h"
#include "sync/WorkingCopyController.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

CTavorinApp::CTavorinApp(SAppOptions options, QObject* pParent) : CSyncApp(std::move(options), pParent) {}

CTavorinApp::~CTavorinApp() {
    m_qt.setWakeupCallback(nullptr, nullptr);
    if (m_pClick) Click::setSound({});
    delete m_pWorkingCopy; // its making stops before the player goes
    // The window (with the views) and the document go before the clock, the player and the log.
    delete m_pHelp;
    delete m_pExports;
    m_pProperties.reset();
    m_pPreferences.reset();
    m_pRoleImport.reset();
    m_pDaptImport.reset();
    delete m_pMainFrame;
    delete m_pMedia;
    delete m_pDoc;
    delete m_pTransport;
    delete m_pLink;
    delete m_pFrameLoop;
}

bool CTavorinApp::InitInstance(const QString& strFile) {
    if (!CSyncApp::InitInstance(strFile)) return false;
    Log("CTavorinApp::InitInstance()\n");
    CLogIndent indent(*this);

    m_recent.load(settings());
    if (!m_options.bHeadless) {
        // The click is heard through the sound output; without it, the desktop's bell.
        m_pClick = std::make_unique<CClickSound>();
        CClickSound* pClick = m_pClick.get();
        if (pClick->open(CDataFolder::program().filePath(QStringLiteral("click.wav"))))
            Click::setSound([pClick] { pClick->play(); });
    }

    Log("Creation du document template\n");
    {
        CLogIndent inner(*this);
        m_pCommands = new CCommandTable(this);
        m_pDoc = new CVarEDoc(*this, m_bookmarks, m_recent, this);
        m_pFrameLoop = new CFrameLoop(m_sync, *this, this);
        if (QScreen* pScreen = QGuiApplication::primaryScreen())
            if (pScreen->refreshRate() > 1.0)
                m_pFrameLoop->setRefreshPeriod(int(std::lround(1000.0 / pScreen->refreshRate())));
        m_pTransport = new CTransport(m_sync, *m_pFrameLoop, m_bookmarks, prompts(), *this, this);
        m_pMedia = new CMediaSession(*this, m_qt, m_sync, *m_pTransport, *m_pDoc, this);
        m_pLink = new CLinkControl(*this, m_sync, this);
        m_pMainFrame = new CMainFrame(*this);
        m_defaultPrompts.setParent(m_pMainFrame);
        m_pExports = new CExportCommands(*this, *m_pDoc, m_pMainFrame, this);
        m_pHelp = new CHelpCommands(
            *this, m_pMainFrame, [this] { m_pMainFrame->close(); }, this);
        m_pRoleImport = std::make_unique<CRoleImport>(*this, *m_pDoc, m_pMainFrame);
        m_pDaptImport = std::make_unique<CDaptImport>(*this, *m_pDoc);
        m_pProperties =
            std::make_unique<CScriptProperties>(*this, *m_pDoc, *m_pMedia, *m_pRoleImport, m_pMainFrame);
        m_pPreferences = std::make_unique<CPreferences>(*this);
        m_pCopyPrompts = std::make_unique<CWorkingCopyPrompts>(prompts(), m_pMainFrame);
        m_pWorkingCopy = new CWorkingCopyController(m_qt, settings(), *m_pCopyPrompts);
        connectParts();
        if (m_options.bViews) createViews();
        m_pLink->restore();
    }
    Log("Creation du document template (%p) => Ok\n", static_cast<void*>(m_pDoc));

    connect(singleInstance(), &CSingleInstance::messageReceived, this, &CTavorinApp::openFromOtherCopy);
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
        if (strFile.isEmpty() || !m_pDoc->openDocumentFile(strFile)) {
            m_pDoc->OnNewDocument();
            // Work on a script that never had a file, left by a session that did not end.
            m_pDoc->offerUntitledBackup();
        }
    }
    Log("ProcessShellCommand() => Ok\n");

    Log("m_pMainWnd : %s\n", qUtf8Printable(m_pMainFrame->windowTitle()));
    Log("UpdateWindow(%p)\n", static_cast<void*>(m_pMainFrame));
    Log("ShowWindow(%p)\n", static_cast<void*>(m_pMainFrame));
    if (m_options.bShowWindow) m_pMainFrame->showWithCommand(settings().get(Settings::ShowCmd));

    if (settings().get(Settings::EnableAutoSave) != 0)
        m_pMainFrame->startAutoSave(settings().get(Settings::AutoSaveTimer));

    // The check runs in the background: the window is usable meanwhile.
    if (settings().get(Settings::CheckForUpdatesAtStartup) != 0) m_pHelp->updates().check(true);

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

void CTavorinApp::connectParts() {
    CCommandTable& c = *m_pCommands;
    m_pDoc->setViewState([this] { return m_pTransport->getTimeCode(); }, [this] { return m_nActiveTrack; });
    m_pDoc->bindCommands(c);
    m_pTransport->bindCommands(c);
    m_pMedia->bindCommands(c);
    m_pLink->bindCommands(c);
    m_pExports->bindCommands(c);
    m_pHelp->bindCommands(c);
    m_pRoleImport->bindCommands(c);
    m_pDaptImport->bindCommands(c);
    m_pProperties->bindCommands(c);
    m_pPreferences->bindCommands(c);
    bindShiftCommand(c, *m_pDoc, prompts(), m_pMainFrame);
    c.bind(Cmd::EDIT_SHOT_DETECTION, [this] {
        CShotDetectDlg dlg(*this, *m_pDoc, SShotMovie::ofPlayer(m_qt), m_pMainFrame);
        dlg.exec();
    });
    c.bind(Cmd::APP_EXIT, [this] { m_pMainFrame->close(); });
    c.bind(Cmd::VIEW_WORKING_COPY,
           {[this] { m_pWorkingCopy->OnViewWorkingCopy(); }, [this] { return m_pWorkingCopy->canSwitch(); },
            [this] { return m_pWorkingCopy->isPlayingCopy(); }});
    connect(m_pWorkingCopy, &CWorkingCopyController::stateChanged, &c, &CCommandTable::refresh);
    connect(m_pMedia, &CMediaSession::movieOpened, m_pWorkingCopy, &CWorkingCopyController::movieOpened);
    auto label = [](const char* pszVerb, const QString& strStep, const char* pszKey) {
        return QString::fromUtf8(pszVerb) + (strStep.isEmpty() ? QString() : QLatin1Char(' ') + strStep) +
               QLatin1Char('\t') + QLatin1String(pszKey);
    };
    c.bind(Cmd::EDIT_UNDO,
           {[this] { m_pDoc->undo(); },
            [this] { return m_pDoc->canUndo(); },
            {},
            [this, label] { return label("&Annuler", m_pDoc->journal().getUndoLabel(), "Ctrl+Z"); }});
    c.bind(Cmd::EDIT_REDO,
           {[this] { m_pDoc->redo(); },
            [this] { return m_pDoc->canRedo(); },
            {},
            [this, label] { return label("&Rétablir", m_pDoc->journal().getRedoLabel(), "Ctrl+Y"); }});

    // A new script runs on the clock alone; an opened one gets its media. Either way the synchroniser
    // starts again from the clock's frame.
    connect(m_pDoc, &CVarEDoc::created, this, [this] {
        m_pMedia->closeMedia();
        m_pLink->reset(true);
    });
    // After the media are closed: the property sheet of a new script, its title and its save.
    connect(m_pDoc, &CVarEDoc::created, this, [this] { m_pProperties->afterNewDocument(); });
    connect(m_pDoc, &CVarEDoc::opened, this, [this] {
        m_pMedia->attachScriptMedia();
        m_pDoc->forgetHistory();
        m_pLink->reset();
    });
    connect(m_pMedia, &CMediaSession::mediaChanged, this, [this] {
        m_pLink->reset();
        m_pCommands->refresh();
    });
    connect(m_pDoc, &CVarEDoc::updated, &c, &CCommandTable::refresh);
    connect(m_pDoc, &CVarEDoc::modifiedChanged, &c, &CCommandTable::refresh);
}

int CTavorinApp::ExitInstance() {
    if (m_pLink) m_pLink->close();
    if (m_pDoc) m_pDoc->OnCloseDocument();
    m_recent.save(settings());
    return CSyncApp::ExitInstance();
}

void CTavorinApp::openFromOtherCopy(const QString& strPath) {
    m_pMainFrame->showNormal();
    m_pMainFrame->raise();
    m_pMainFrame->activateWindow();
    if (!strPath.isEmpty() && m_pDoc->SaveModified()) m_pDoc->openDocumentFile(strPath);
}
