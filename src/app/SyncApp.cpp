#include "app/SyncApp.h"

#include "app/SingleInstance.h"
#include "base/FileSaver.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

CSyncApp::CSyncApp(SAppOptions options, QObject* pParent)
    : QObject(pParent), m_options(std::move(options)),
      m_pPrompts(m_options.pPrompts ? m_options.pPrompts : &m_defaultPrompts),
      m_shell(*m_pPrompts, m_options.openUrl) {}

CSyncApp::~CSyncApp() = default;

bool CSyncApp::InitInstance(const QString& strFile) {
    m_strProgramFolder = m_options.strProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                              : m_options.strProgramFolder;
    m_pSettings = std::make_unique<CSettingsStore>(m_strProgramFolder);

    QString strDocuments = m_options.strDocumentsFolder;
    if (strDocuments.isEmpty())
        strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    m_strDataFolder = strDocuments + QStringLiteral("/Tavorin");
    m_strAutoSaveFolder = m_strDataFolder + QStringLiteral("/Autosave");
    m_strLogFolder = m_strDataFolder + QStringLiteral("/Log");
    QDir().mkpath(m_strAutoSaveFolder);
    // The old text of a file written in place is kept with the backups, where the user looks for them.
    CFileSaver::setCopyFolder(m_strAutoSaveFolder + QStringLiteral("/Copies"));
    QDir().mkpath(m_strLogFolder);

    // The console is the terminal the program was started from; nothing to create.
    const int nLevel = m_pSettings->get(Settings::AppLogLevel);
    if (nLevel != 0)
        Open(m_pSettings->get(Settings::AppLogType), nLevel, m_strLogFolder, QStringLiteral("app"));
    Log("Log initialised\n");
    CLogIndent indent(*this);

    const QString strInstance =
        m_options.strInstanceName.isEmpty() ? CSingleInstance::defaultName() : m_options.strInstanceName;
    m_pInstance = new CSingleInstance(strInstance, this);
    if (!m_pInstance->start(strFile)) {
        m_bSecondCopy = true;
        return false;
    }
    m_qt.setProbe(&m_probe);

    Log("Application path : %s\n", qUtf8Printable(m_strProgramFolder));
    Log("Data path : %s\n", qUtf8Printable(m_strDataFolder));
    Log("Log path : %s\n", qUtf8Printable(m_strLogFolder));

    m_sync.init(&m_qt, m_pSettings->get(Settings::SyncManagerLogLevel),
                m_pSettings->get(Settings::SyncManagerLogType), m_strLogFolder);

    m_qt.openLog(m_pSettings->get(Settings::QTLogLevel), m_pSettings->get(Settings::QTLogType),
                 m_strLogFolder);
    if (!m_qt.initialize(m_options.bHeadless ? CQuickTime::OUTPUT_NONE : CQuickTime::OUTPUT_RENDER)) {
        m_pPrompts->message(
            QStringLiteral("Tavorin nécessite que la bibliothèque libmpv soit installée pour fonctionner."),
            IPrompts::ICON_EXCLAMATION);
        return false;
    }

    // The control screen is not offered: its settings read 0 after every start.
    m_pSettings->set(Settings::ShowControlScreenAtStartup, 0);
    m_pSettings->set(Settings::MainScreenDelay, 0);
    m_pSettings->set(Settings::ControlScreenDelay, 0);

    indent.release();
    Log("CSyncApp::InitInstance() => Ok\n");
    return true;
}

int CSyncApp::ExitInstance() {
    Log("CSyncApp::ExitInstance()\n");
    if (m_pSettings) m_pSettings->sync();
    return 0;
}
