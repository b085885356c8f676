#include "CliRun.h"
#include "MediaFiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
SCliRun mediaInfo(const QString& strPath) {
    return runCli({"media-info", strPath}, 30000);
}
} // namespace

TEST(MediaInfoCommandTest, DescribesMoviesAndSounds) {
    SCliRun r = mediaInfo(testMedia("frames.mov"));
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    QJsonObject o = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(o["timestamp"].toString(), "10:00:00:00");
    EXPECT_EQ(o["end"].toString(), "10:00:30:00");
    EXPECT_EQ(o["durationFrames"].toInt(), 750);
    EXPECT_EQ(o["frameRate"].toDouble(), 25.0);
    EXPECT_EQ(o["audioChannels"].toInt(), 2);
    EXPECT_TRUE(o["hasVideo"].toBool());
    EXPECT_TRUE(o["hasAudio"].toBool());

    r = mediaInfo(testMedia("plain.mov"));
    o = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(o["timestamp"].toString(), "88:88:88:88");
    EXPECT_EQ(o["end"].toString(), "88:88:88:88");
    EXPECT_EQ(o["durationFrames"].toInt(), 100);
    EXPECT_FALSE(o["hasAudio"].toBool());

    r = mediaInfo(testMedia("bwf44.wav"));
    o = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(o["timestamp"].toString(), "10:00:00:00");
    EXPECT_EQ(o["end"].toString(), "10:00:01:00");
    EXPECT_FALSE(o["hasVideo"].toBool());
    EXPECT_EQ(o["audioChannels"].toInt(), 1);
}

TEST(MediaInfoCommandTest, UnreadableFilesGiveOneFrenchLine) {
    QTemporaryDir dir;
    for (const QString& strPath :
         {dir.filePath("absent.mov"), QStringLiteral(TAVORIN_SOURCE_DIR "/CMakeLists.txt")}) {
        const SCliRun r = mediaInfo(strPath);
        EXPECT_EQ(r.nExit, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(QString::fromUtf8(r.err),
                  QStringLiteral("Impossible de lire le fichier média « %1 ».\n").arg(strPath));
    }
}
