#include "CliRun.h"
#include "MediaFiles.h"
#include "sync/WorkingCopyCache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {
// tavorin-cli with its cache in a folder of the test's own.
class WorkingCopyCliTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString cacheFolder() const { return dir.filePath(QStringLiteral("cache/Morvath/Tavorin/proxies")); }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
        return env;
    }
    SCliRun run(const QStringList& args, const QString& strShellPrefix = {}) const {
        QProcess p;
        p.setProcessEnvironment(environment());
        if (strShellPrefix.isEmpty()) {
            p.start(QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli"), args);
        } else {
            QString strCommand =
                strShellPrefix + QStringLiteral(" exec '" TAVORIN_BINARY_DIR "/cli/tavorin-cli'");
            for (const QString& a : args)
                strCommand += QStringLiteral(" '") + a + QLatin1Char('\'');
            p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), strCommand});
        }
        SCliRun r;
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.nExit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }
    QStringList files() const { return QDir(cacheFolder()).entryList(QDir::Files | QDir::Hidden); }
};
} // namespace

TEST_F(WorkingCopyCliTest, MakesTheProgramsCopyOnceAndReusesIt) {
    const QString strMovie = testMedia("longgop.mov");
    const SCliRun first = run({QStringLiteral("proxy"), strMovie});
    ASSERT_EQ(first.nExit, 0) << first.err.constData();
    const QString strCopy = QString::fromUtf8(first.out).trimmed();
    // The same name the program looks for.
    EXPECT_EQ(strCopy, CWorkingCopyCache(cacheFolder()).copyPath(strMovie));
    EXPECT_TRUE(first.err.contains("h264 320x240 : 500 images en")) << first.err.constData();
    const QDateTime tMade = QFileInfo(strCopy).lastModified();

    const SCliRun again = run({QStringLiteral("proxy"), strMovie});
    ASSERT_EQ(again.nExit, 0);
    EXPECT_EQ(QString::fromUtf8(again.out).trimmed(), strCopy);
    EXPECT_FALSE(again.err.contains("images en")); // found, not made again
    EXPECT_EQ(QFileInfo(strCopy).lastModified(), tMade);

    const SCliRun small =
        run({QStringLiteral("proxy"), strMovie, QStringLiteral("--width"), QStringLiteral("160")});
    ASSERT_EQ(small.nExit, 0) << small.err.constData();
    EXPECT_TRUE(small.err.contains("h264 160x120")) << small.err.constData();
    EXPECT_EQ(files().size(), 2);

    const SCliRun bad =
        run({QStringLiteral("proxy"), strMovie, QStringLiteral("--width"), QStringLiteral("large")});
    EXPECT_EQ(bad.nExit, 1);
    EXPECT_EQ(bad.err, QStringLiteral("Largeur invalide : « large » (64 à 7680).\n").toUtf8());
    const SCliRun missing = run({QStringLiteral("proxy"), dir.filePath(QStringLiteral("absent.mov"))});
    EXPECT_EQ(missing.nExit, 1);
    EXPECT_TRUE(missing.err.startsWith("Fichier introuvable"));
}

TEST_F(WorkingCopyCliTest, AKilledMakingIsNeverUsed) {
    const QString strMovie = testMedia("long.mov");
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli"), {QStringLiteral("proxy"), strMovie});
    ASSERT_TRUE(p.waitForStarted());
    // Killed once a good part of the copy is written.
    QElapsedTimer timer;
    timer.start();
    QString strPart;
    while (timer.elapsed() < 60000 && p.state() == QProcess::Running) {
        const QFileInfoList parts =
            QDir(cacheFolder()).entryInfoList({QStringLiteral("*.part")}, QDir::Files);
        if (!parts.isEmpty() && parts.first().size() > 200000) {
            strPart = parts.first().absoluteFilePath();
            break;
        }
        QThread::msleep(5);
    }
    ASSERT_FALSE(strPart.isEmpty()) << "the making ended before it could be killed";
    p.kill();
    ASSERT_TRUE(p.waitForFinished());

    CWorkingCopyCache cache(cacheFolder());
    const QString strCopy = cache.copyPath(strMovie);
    EXPECT_TRUE(QFileInfo::exists(strPart));
    EXPECT_FALSE(QFileInfo::exists(strCopy));
    EXPECT_TRUE(cache.find(strMovie).isEmpty());

    // The next making starts again from the beginning and leaves the half copy alone.
    const SCliRun r = run({QStringLiteral("proxy"), strMovie});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), strCopy);
    EXPECT_EQ(cache.find(strMovie), strCopy);
    EXPECT_TRUE(r.err.contains(": 7500 images en")) << r.err.constData();
}

TEST_F(WorkingCopyCliTest, AFullDiskGetsItsMessageAndLeavesNothing) {
    // A file size limit stands for the full disk: writes fail past 1 MB.
    const QString strMovie = testMedia("long.mov");
    const SCliRun r =
        run({QStringLiteral("proxy"), strMovie}, QStringLiteral("ulimit -f 2048; trap '' XFSZ;"));
    EXPECT_EQ(r.nExit, 1);
    // Progress lines, then the message.
    EXPECT_TRUE(r.err.trimmed().split('\n').last().startsWith(
        QStringLiteral("Le disque est plein : la copie de travail de « long.mov » n'a pas été créée.")
            .toUtf8()))
        << r.err.constData();
    EXPECT_TRUE(files().isEmpty()) << qPrintable(files().join(' '));
    EXPECT_TRUE(r.out.isEmpty());
}
