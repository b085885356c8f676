// The update check and the download against a local HTTPS server: versions, messages, the window kept
// usable, the download with its progress, cancel, retry and checksum.
#include "app/UpdateChecker.h"
#include "HttpsServer.h"
#include "TestApp.h"
#include "app/Commands.h"
#include "app/DownloadDlg.h"
#include "app/HelpCommands.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
const QString s_strUpToDate = QString::fromUtf8("Tavorin est à jour.");
const QString s_strNew =
    QString::fromUtf8("Une nouvelle version de Tavorin est disponible. Voulez-vous la télécharger ?");
const QString s_strInstall =
    QString::fromUtf8("La mise à jour a été téléchargée sur le Bureau. Voulez-vous l'installer maintenant ?");
const QString s_strCheckFailed = QString::fromUtf8("La recherche des mises à jour à échoué.\n");
const QString s_strDownloadFailed = QString::fromUtf8("Le téléchargement de la mise à jour a échoué.\n");

QByteArray versionFile(const QString& strNumber, const QString& strPath, const QByteArray& sha256 = {}) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<version>";
    if (!strNumber.isEmpty()) xml += "<number>" + strNumber.toUtf8() + "</number>";
    xml += "<path>" + strPath.toUtf8() + "</path>";
    if (!sha256.isEmpty()) xml += "<sha256>" + sha256 + "</sha256>";
    return xml + "</version>\n";
}

QByteArray installer(int nSize) {
    QByteArray data(nSize, Qt::Uninitialized);
    for (int i = 0; i < nSize; ++i)
        data[i] = char((i * 131 + i / 7) & 0xFF);
    return data;
}

class UpdateCheck : public ::testing::Test {
protected:
    STestApp t;
    CHttpsTestServer server;
    CUpdateChecker* m_pChecker = nullptr;
    QString m_strDesktop;
    int m_nChecked = 0;
    int m_nQuit = 0;

    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.strError.toStdString();
        ASSERT_TRUE(t.start());
        m_pChecker = &t.app().help().updates();
        m_strDesktop = t.path("Bureau");
        QDir().mkpath(m_strDesktop);
        m_pChecker->m_strDownloadFolder = m_strDesktop;
        m_pChecker->m_quit = [this] { ++m_nQuit; };
        QObject::connect(m_pChecker, &CUpdateChecker::checked, [this] { ++m_nChecked; });
        QString strSite = server.url("/tavorin/").toString();
        t.app().settings().set(Settings::UpdateURL, strSite);
    }
    void serveVersion(const QByteArray& xml) {
        server.routes["/tavorin/bin/version.xml"] = [xml](int) { return CHttpsTestServer::SRoute{200, xml}; };
    }
    // Runs a check to its end (the event loop turning meanwhile).
    void check(bool bSilent = false) {
        const int n = m_nChecked;
        m_pChecker->check(bSilent);
        ASSERT_TRUE(waitUntil([&] { return m_nChecked > n; }, 30000));
    }
    QStringList desktopFiles() const { return QDir(m_strDesktop).entryList(QDir::Files | QDir::Hidden); }
};
} // namespace

TEST_F(UpdateCheck, SaysWhetherANewerVersionExistsComparingNumbers) {
    // The same version, an older one, one the text comparison would call older, no number.
    serveVersion(versionFile("3.7.0", "https://x/y.deb"));
    check();
    EXPECT_TRUE(t.prompts.told(s_strUpToDate));
    serveVersion(versionFile("3.6.9", "https://x/y.deb"));
    t.prompts.m_messages.clear();
    check();
    EXPECT_TRUE(t.prompts.told(s_strUpToDate));
    serveVersion(versionFile("", "https://x/y.deb"));
    t.prompts.m_messages.clear();
    check();
    EXPECT_TRUE(t.prompts.told(s_strUpToDate));
    serveVersion(versionFile("3.10.0", server.url("/bin/tavorin.deb").toString()));
    t.prompts.m_messages.clear();
    check(); // answered "Non"
    EXPECT_TRUE(t.prompts.told(s_strNew));
    EXPECT_EQ(t.prompts.m_messages.back().eIcon, IPrompts::ICON_QUESTION);
    EXPECT_EQ(server.hits["/bin/tavorin.deb"], 0);
    EXPECT_EQ(server.hits["/tavorin/bin/version.xml"], 4);

    // Silent (the start-up check): only a new version speaks.
    t.prompts.m_messages.clear();
    check(true);
    EXPECT_TRUE(t.prompts.told(s_strNew));
    serveVersion(versionFile("3.7.0", "https://x/y.deb"));
    t.prompts.m_messages.clear();
    check(true);
    EXPECT_TRUE(t.prompts.m_messages.empty());
}

TEST_F(UpdateCheck, TheWindowStaysUsableAndASilentSiteTimesOut) {
    server.routes["/tavorin/bin/version.xml"] = [](int) {
        CHttpsTestServer::SRoute r;
        r.bSilent = true;
        return r;
    };
    m_pChecker->m_nTimeoutMs = 1500;
    // Back at once, the site still silent: a check that waited would have timed out by now.
    m_pChecker->check(false);
    EXPECT_TRUE(m_pChecker->isChecking()) << "the check must not wait for the site";
    EXPECT_EQ(m_nChecked, 0);
    EXPECT_FALSE(t.app().commands().isEnabled(Cmd::HELP_UPDATES)) << "one check at a time";
    // The program goes on meanwhile: a command runs.
    EXPECT_TRUE(t.app().commands().trigger(Cmd::APP_ABOUT));
    ASSERT_TRUE(waitUntil([&] { return m_nChecked == 1; }, 20000));
    EXPECT_TRUE(t.prompts.told(s_strCheckFailed + "Connexion au serveur impossible."));
    EXPECT_TRUE(t.app().commands().isEnabled(Cmd::HELP_UPDATES));
}

TEST_F(UpdateCheck, FailuresAreSaidUnlessSilentAndOnlyHttpsIsFetched) {
    // Nothing configured.
    t.app().settings().set(Settings::UpdateURL, "");
    check();
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Aucune adresse de mise à jour n'est configurée.")));
    t.prompts.m_messages.clear();
    check(true);
    EXPECT_TRUE(t.prompts.m_messages.empty());

    // No version file there, or one that is not XML.
    t.app().settings().set(Settings::UpdateURL, server.url("/ailleurs").toString());
    check();
    EXPECT_TRUE(t.prompts.told(s_strCheckFailed + "Connexion au serveur impossible."));
    EXPECT_EQ(t.prompts.m_messages.back().eIcon, IPrompts::ICON_ERROR);
    t.app().settings().set(Settings::UpdateURL, server.url("/tavorin").toString());
    serveVersion("<html><body>Maintenance</body>");
    t.prompts.m_messages.clear();
    check();
    EXPECT_TRUE(t.prompts.told(s_strCheckFailed + "Connexion au serveur impossible."));
    t.prompts.m_messages.clear();
    check(true);
    EXPECT_TRUE(t.prompts.m_messages.empty());

    // Plain HTTP is never fetched: neither the version file nor the installer.
    t.app().settings().set(Settings::UpdateURL, "http://127.0.0.1:1/tavorin");
    check();
    ASSERT_FALSE(t.prompts.m_messages.empty());
    EXPECT_TRUE(t.prompts.m_messages.back().strText.startsWith(s_strCheckFailed));
    EXPECT_TRUE(t.prompts.m_messages.back().strText.contains("HTTPS"));
    t.app().settings().set(Settings::UpdateURL, server.url("/tavorin").toString());
    serveVersion(versionFile("4.0.0", "http://127.0.0.1/tavorin.deb"));
    t.prompts.m_messages.clear();
    check();
    EXPECT_FALSE(t.prompts.told(s_strNew));
    EXPECT_TRUE(t.prompts.m_messages.back().strText.contains("HTTPS"));
}

TEST_F(UpdateCheck, DownloadsToTheDesktopAndOffersToInstall) {
    const QByteArray data = installer(1536 * 1024);
    server.routes["/bin/tavorin_4.0.0_amd64.deb"] = [data](int) {
        return CHttpsTestServer::SRoute{200, data, 256 * 1024, 20};
    };
    serveVersion(versionFile("4.0.0", "/bin/tavorin_4.0.0_amd64.deb", // relative to the version file
                             QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toUpper()));
    QStringList statuses;
    m_pChecker->m_runDownloadDialog = [&](CDownloadDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "0 % - Mise à jour de Tavorin");
        EXPECT_EQ(dlg.statusLabel()->text(), QString::fromUtf8("0 ko téléchargés sur 0 ko — temps inconnu"));
        QObject::connect(dlg.progressBar(), &QProgressBar::valueChanged,
                         [&] { statuses.append(dlg.statusLabel()->text()); });
        dlg.exec();
    };
    t.prompts.m_answers = {QMessageBox::Yes, QMessageBox::Yes};
    check();
    EXPECT_TRUE(t.prompts.told(s_strInstall));
    const QString strFile = m_strDesktop + "/tavorin_4.0.0_amd64.deb";
    EXPECT_EQ(desktopFiles(), QStringList{"tavorin_4.0.0_amd64.deb"});
    QFile f(strFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == data);
    // Opened with the desktop's program, then the program is asked to close.
    ASSERT_EQ(t.opened.size(), 1u);
    EXPECT_EQ(t.opened[0], QUrl::fromLocalFile(strFile));
    EXPECT_EQ(m_nQuit, 1);
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_TRUE(statuses.last().startsWith(QString::fromUtf8("1.5 Mo sur 1.5 Mo — ")))
        << statuses.last().toStdString();
    EXPECT_TRUE(statuses.first().contains(QString::fromUtf8(" ko sur 1.5 Mo — ")))
        << statuses.first().toStdString();
}

TEST_F(UpdateCheck, AWrongChecksumLeavesNothingAndNothingIsOpened) {
    const QByteArray data = installer(300 * 1024);
    server.routes["/bin/tavorin.deb"] = [data](int) { return CHttpsTestServer::SRoute{200, data}; };
    serveVersion(versionFile("4.0.0", server.url("/bin/tavorin.deb").toString(), QByteArray(64, 'a')));
    t.prompts.m_answers = {QMessageBox::Yes, QMessageBox::Cancel};
    check();
    ASSERT_GE(t.prompts.m_messages.size(), 2u);
    const QString strFailure = t.prompts.m_messages[1].strText;
    EXPECT_TRUE(strFailure.startsWith(s_strDownloadFailed)) << strFailure.toStdString();
    EXPECT_TRUE(strFailure.contains("SHA-256"));
    EXPECT_FALSE(t.prompts.told(s_strInstall));
    EXPECT_TRUE(desktopFiles().isEmpty());
    EXPECT_TRUE(t.opened.empty());
    EXPECT_EQ(m_nQuit, 0);
}

TEST_F(UpdateCheck, AFailedDownloadIsTriedAgainOnRetry) {
    const QByteArray data = installer(200 * 1024);
    server.routes["/bin/tavorin.deb"] = [data](int nHit) {
        CHttpsTestServer::SRoute r{200, data};
        if (nHit == 1) r.bCutShort = true; // the first attempt breaks off
        return r;
    };
    serveVersion(versionFile("4.0.0", server.url("/bin/tavorin.deb").toString(),
                             QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()));
    t.prompts.m_answers = {QMessageBox::Yes, QMessageBox::Retry, QMessageBox::No};
    check();
    EXPECT_EQ(server.hits["/bin/tavorin.deb"], 2);
    ASSERT_GE(t.prompts.m_messages.size(), 3u);
    EXPECT_TRUE(t.prompts.m_messages[1].strText.startsWith(s_strDownloadFailed));
    EXPECT_EQ(t.prompts.m_messages[2].strText, s_strInstall);
    EXPECT_EQ(desktopFiles(), QStringList{"tavorin.deb"});
    EXPECT_TRUE(t.opened.empty()) << "\"Non\" to installing now";
}

TEST_F(UpdateCheck, CancellingAsksFirstAndLeavesNoPartialFile) {
    const QByteArray data = installer(2 * 1024 * 1024);
    server.routes["/bin/slow.deb"] = [data](int) {
        return CHttpsTestServer::SRoute{200, data, 32 * 1024, 40};
    };
    const QUrl url = server.url("/bin/slow.deb");

    // "Non" to the question: the download goes on to its end.
    {
        CDownloadDlg dlg(t.app(), url, m_strDesktop, {});
        dlg.startDownload();
        ASSERT_TRUE(waitUntil([&] { return dlg.progressBar()->value() > 0; }, 20000));
        t.prompts.m_answers = {QMessageBox::No};
        dlg.cancelButton()->click();
        EXPECT_TRUE(t.prompts.told(
            QString::fromUtf8("Êtes-vous sûr(e) de vouloir annuler le téléchargement de la mise à jour ?")));
        ASSERT_TRUE(
            waitUntil([&] { return dlg.downloadResult() != CDownloadDlgThread::RESULT_FAILED; }, 60000));
        EXPECT_EQ(dlg.downloadResult(), CDownloadDlgThread::RESULT_DONE);
        EXPECT_EQ(QFileInfo(m_strDesktop + "/slow.deb").size(), data.size());
        QFile::remove(m_strDesktop + "/slow.deb");
    }
    // "Oui": it stops, and nothing is left on the desktop.
    CDownloadDlg dlg(t.app(), url, m_strDesktop, {});
    dlg.startDownload();
    ASSERT_TRUE(waitUntil([&] { return dlg.progressBar()->value() > 0; }, 20000));
    t.prompts.m_answers = {QMessageBox::Yes};
    dlg.cancelButton()->click();
    ASSERT_TRUE(
        waitUntil([&] { return dlg.downloadResult() == CDownloadDlgThread::RESULT_CANCELLED; }, 10000));
    EXPECT_LT(dlg.progressBar()->value(), 100);
    EXPECT_TRUE(desktopFiles().isEmpty()) << desktopFiles().join(' ').toStdString();

    // A folder where nothing can be created.
    CDownloadDlg nowhere(t.app(), url, t.path("absent/Bureau"), {});
    t.prompts.m_answers = {QMessageBox::Cancel};
    t.prompts.m_messages.clear();
    nowhere.startDownload();
    ASSERT_TRUE(waitUntil([&] { return !t.prompts.m_messages.empty(); }, 10000));
    EXPECT_EQ(t.prompts.m_messages[0].strText,
              s_strDownloadFailed + QString::fromUtf8("Impossible de créer le fichier « %1 ».")
                                        .arg(t.path("absent/Bureau/slow.deb")));
}

TEST(DownloadTexts, SizesInKoBelowOneMebibyteAndTheTimeLeftInMinutes) {
    EXPECT_EQ(CDownloadDlg::sizeText(0), "0 ko");
    EXPECT_EQ(CDownloadDlg::sizeText(1048575), "1023 ko");
    EXPECT_EQ(CDownloadDlg::sizeText(1048576), "1.0 Mo");
    EXPECT_EQ(CDownloadDlg::sizeText(1572864), "1.5 Mo");
    EXPECT_EQ(CDownloadDlg::timeText(10000, 100, 200), QString::fromUtf8("moins d'une minute"));
    EXPECT_EQ(CDownloadDlg::timeText(60000, 100, 200), "environ 1 minute");
    EXPECT_EQ(CDownloadDlg::timeText(60000, 100, 400), "environ 3 minutes");
    EXPECT_EQ(CDownloadDlg::timeText(60000, 0, 400), "temps inconnu");
    EXPECT_EQ(CDownloadDlgThread::fileNameOf(QUrl("https://h/a/b/setup.deb?x=1")), "setup.deb");
    EXPECT_EQ(CDownloadDlgThread::fileNameOf(QUrl("https://h/")), "Tavorin-mise-a-jour");
    EXPECT_EQ(CDownloadDlgThread::fileNameOf(QUrl("https://h/a/..")), "Tavorin-mise-a-jour");
    EXPECT_EQ(CUpdateChecker::versionFileUrl("https://www.example.org/"),
              QUrl("https://www.example.org/bin/version.xml"));
    EXPECT_EQ(CUpdateChecker::versionFileUrl("https://h/tavorin"), QUrl("https://h/tavorin/bin/version.xml"));
}

TEST(UpdateCheckAtStartup, RunsSilentlyWhenAskedAndNeverBlocksTheStart) {
    CHttpsTestServer server;
    ASSERT_TRUE(server.start()) << server.strError.toStdString();
    server.routes["/bin/version.xml"] = [](int) {
        return CHttpsTestServer::SRoute{200, versionFile("3.7.0", "/x")};
    };
    STestApp t(QStringLiteral("[Misc]\nFirstRun=0\n[Settings]\nCheckForUpdatesAtStartup=1\nUpdateURL=%1\n")
                   .arg(server.url("").toString()));
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.app().help().updates().isChecking());
    ASSERT_TRUE(waitUntil(
        [&] { return server.hits["/bin/version.xml"] == 1 && !t.app().help().updates().isChecking(); }));
    EXPECT_TRUE(t.prompts.m_messages.empty()) << "up to date, silently";

    STestApp off(
        QStringLiteral("[Misc]\nFirstRun=0\n[Settings]\nUpdateURL=%1\n").arg(server.url("").toString()));
    ASSERT_TRUE(off.start());
    EXPECT_FALSE(off.app().help().updates().isChecking());
}
