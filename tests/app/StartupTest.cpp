#include "TestApp.h"

#include "app/Commands.h"
#include "app/MainFrame.h"
#include "app/MediaSession.h"
#include "app/SingleInstance.h"

#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

TEST(Startup, DefaultsFromAnEmptySettingsFile) {
    STestApp t(QString{}); // no value at all: a first start
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(t.start());
    CTavorinApp& app = t.app();

    EXPECT_TRUE(app.settings().isIniMode());
    EXPECT_EQ(app.settings().fileName(), t.iniPath());
    EXPECT_TRUE(app.mainFrame().isAutoSaveOn());
    EXPECT_EQ(app.settings().get(Settings::Theme), 1);
    EXPECT_EQ(app.settings().get(Settings::CheckForUpdatesAtStartup), 0);
    EXPECT_EQ(app.settings().get(Settings::PrefixSaveCopyAs), 1);
    EXPECT_FALSE(app.isLogOn());
    EXPECT_EQ(app.dataFolder(), t.documentsFolder() + "/Tavorin");
    EXPECT_TRUE(QDir(app.autoSaveFolder()).exists());
    EXPECT_TRUE(QDir(app.logFolder()).exists());
    // Logs are off: the log folder stays empty.
    EXPECT_TRUE(QDir(app.logFolder()).entryList(QDir::Files).isEmpty());

    // The welcome question comes once.
    ASSERT_EQ(t.prompts.m_messages.size(), 1u);
    EXPECT_EQ(
        t.prompts.m_messages[0].strText,
        QString::fromUtf8("Bienvenue dans Tavorin 3.7.0 !\nVoulez-vous consulter les notes de version ?"));
    EXPECT_EQ(app.mainFrame().windowTitle(), QStringLiteral("Sans titre - Tavorin"));
    t.pApp->ExitInstance();
    t.pApp.reset();

    EXPECT_EQ(QSettings(t.iniPath(), QSettings::IniFormat).value("Misc/FirstRun").toInt(), 0);
    t.prompts.m_messages.clear();
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.prompts.m_messages.empty());
}

TEST(Startup, ControlScreenSettingsReadZeroAfterEveryStart) {
    STestApp t(
        QStringLiteral("[Misc]\nFirstRun=0\n[Settings]\nShowControlScreenAtStartup=1\nMainScreenDelay=120\n"
                       "ControlScreenDelay=40\nEnableAutoSave=0\nTheme=0\n"));
    ASSERT_TRUE(t.start());
    EXPECT_FALSE(t.app().mainFrame().isAutoSaveOn());
    EXPECT_EQ(t.app().settings().get(Settings::Theme), 0);
    t.app().settings().sync();
    QSettings ini(t.iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Settings/ShowControlScreenAtStartup").toInt(), 0);
    EXPECT_EQ(ini.value("Settings/MainScreenDelay").toInt(), 0);
    EXPECT_EQ(ini.value("Settings/ControlScreenDelay").toInt(), 0);
    // There is no control screen, and no entry for it (nor a separator left before it).
    QMenu* pView = t.app().mainFrame().menu(4);
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(pView->title(), QStringLiteral("&Affichage"));
    for (const QAction* p : pView->actions())
        EXPECT_NE(p->text(), QString::fromUtf8("Écran de contrôle"));
    EXPECT_FALSE(pView->actions().last()->isSeparator());
}

TEST(Startup, ASecondCopyHandsItsFileToTheFirst) {
    STestApp first;
    ASSERT_TRUE(first.start());
    // A script to hand over.
    const QString strScript = first.path("handed.vare");
    first.doc().script().addLoop(CLoop(CTimeCode("00:00:10:00"), 1));
    ASSERT_TRUE(first.doc().OnSaveDocument(strScript));

    STestApp second;
    second.strInstance = first.strInstance;
    EXPECT_FALSE(second.start(strScript));
    EXPECT_TRUE(second.app().isSecondCopy());

    EXPECT_TRUE(waitUntil([&] { return first.doc().GetPathName() == strScript; }));
    EXPECT_EQ(first.doc().script().getLoops().size(), 1u);
}

TEST(Startup, PlacementIsKeptBetweenRuns) {
    STestApp t;
    ASSERT_TRUE(t.start());
    t.app().mainFrame().setGeometry(40, 50, 900, 700);
    t.app().mainFrame().close();
    const QRect r = t.app().mainFrame().geometry();
    t.pApp->ExitInstance();
    t.pApp.reset();
    ASSERT_TRUE(t.start());
    EXPECT_EQ(t.app().mainFrame().geometry(), r);
}

TEST(Startup, TheApplicationLogTracesStartUpAndOpening) {
    STestApp t(QStringLiteral("[Misc]\nFirstRun=0\n[Logs]\nAppLogLevel=1\nAppLogType=1\n"));
    ASSERT_TRUE(t.start());
    CVarE s;
    s.setVideoFile(t.path("absent.mov"));
    ASSERT_TRUE(s.store(t.path("film.vare")));
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("film.vare")));
    // A missing picture is offered for search; "No" shows the still image and goes on.
    EXPECT_TRUE(
        t.prompts.told(QString::fromUtf8("Impossible d'ouvrir la séquence « %1 » associée à ce fichier. "
                                         "Voulez-vous la chercher vous-même ?")
                           .arg(t.path("absent.mov"))));
    EXPECT_EQ(t.app().media().stillImage(), t.programFolder() + "/mire.jpg");
    const QString strLog = t.app().getLogPath();
    t.pApp->ExitInstance();
    t.pApp.reset();

    QFile f(strLog);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(strLog);
    const QString str = QString::fromUtf8(f.readAll());
    for (const QString& strLine :
         {QStringLiteral("Log initialised"), QStringLiteral("CSyncApp::InitInstance() => Ok"),
          QStringLiteral("CTavorinApp::InitInstance() => Ok"),
          QStringLiteral("CVarEDoc::OnNewDocument() => Ok"),
          QStringLiteral("CVarEDoc::OnOpenDocument(%1) => Ok").arg(t.path("film.vare")),
          QStringLiteral("CSyncApp::ExitInstance()")})
        EXPECT_TRUE(str.contains(strLine)) << qPrintable(strLine);
}

TEST(Startup, RecentFilesFullScreenAndTheAutoSaveTimer) {
    STestApp t(QStringLiteral("[Misc]\nFirstRun=0\n[Settings]\nAutoSaveTimer=50\n"));
    ASSERT_TRUE(t.start());
    CVarE s;
    s.addLoop(CLoop(CTimeCode("00:00:10:00"), 1));
    for (const char* psz : {"a.vare", "b.vare", "c.vare", "d.vare", "e.vare"}) {
        ASSERT_TRUE(s.store(t.path(psz)));
        ASSERT_TRUE(t.doc().openDocumentFile(t.path(psz)));
    }
    // Four entries, newest first, in the "&Fichier" menu.
    EXPECT_EQ(t.app().recentFiles().files(),
              (QStringList{t.path("e.vare"), t.path("d.vare"), t.path("c.vare"), t.path("b.vare")}));
    bool bFound = false;
    for (QAction* p : t.app().mainFrame().menu(0)->actions())
        if (p->text() == QStringLiteral("&1 e.vare")) bFound = true;
    EXPECT_TRUE(bFound);

    // The timer writes a backup of the modified script.
    t.doc().SetModifiedFlag(true);
    const QString strFolder = CAutoSave::backupFolder(t.app().autoSaveFolder(), t.path("e.vare"));
    EXPECT_TRUE(waitUntil([&] { return !QDir(strFolder).entryList({"*.bak"}, QDir::Files).isEmpty(); }));
    t.doc().autoSaver().waitForAll();

    // Full screen: the picture alone, kept for the next start with the recent files.
    ASSERT_TRUE(t.app().commands().trigger(Cmd::VIEW_FULL_SCREEN));
    EXPECT_TRUE(t.app().mainFrame().isFullScreenLayout());
    EXPECT_TRUE(t.app().commands().action(Cmd::VIEW_FULL_SCREEN)->isChecked());
    t.prompts.m_answers = {QMessageBox::No};
    t.app().mainFrame().close();
    t.pApp->ExitInstance();
    t.pApp.reset();
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.app().mainFrame().isFullScreenLayout());
    EXPECT_EQ(t.app().recentFiles().files().value(0), t.path("e.vare"));
}

TEST(Startup, OneRunningCopyPerGraphicalSession) {
    QTemporaryDir runtime;
    const QString strHere = CSingleInstance::nameFor(runtime.path(), QStringLiteral(":0"));
    const QString strThere = CSingleInstance::nameFor(runtime.path(), QStringLiteral(":1"));
    EXPECT_NE(strHere, strThere);
    EXPECT_TRUE(strHere.startsWith(runtime.path() + QLatin1Char('/')));
    // Another login's runtime folder is another session too.
    QTemporaryDir otherRuntime;
    EXPECT_NE(CSingleInstance::nameFor(otherRuntime.path(), QStringLiteral(":0")), strHere);

    // A copy on another display starts as a first copy of its own; on the same display it hands over.
    CSingleInstance first(strHere), elsewhere(strThere), again(strHere);
    EXPECT_TRUE(first.start({}));
    EXPECT_TRUE(elsewhere.start({}));
    QString strReceived;
    QObject::connect(&first, &CSingleInstance::messageReceived,
                     [&](const QString& str) { strReceived = str; });
    QObject::connect(&elsewhere, &CSingleInstance::messageReceived,
                     [&](const QString&) { ADD_FAILURE() << "handed to the other display"; });
    bool bSecond = true;
    std::thread client([&] { bSecond = !again.start(QStringLiteral("/films/a.vare")); });
    EXPECT_TRUE(waitUntil([&] { return !strReceived.isEmpty(); }));
    client.join();
    EXPECT_TRUE(bSecond);
    EXPECT_EQ(strReceived, QStringLiteral("/films/a.vare"));
}
