#include "sync/FrameReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace {
// Test movies are made by tools/make-cut-movie into the build tree, once per run.
QString movie(const QString& strName, const QStringList& options) {
    const QString strDir = QStringLiteral(TAVORIN_BINARY_DIR "/test-media/cuts");
    QDir().mkpath(strDir);
    const QString strPath = strDir + QLatin1Char('/') + strName;
    if (!QFileInfo::exists(strPath)) {
        // Made under a name of this process and renamed once complete: tests may run in parallel.
        const QString strPart =
            strDir + QStringLiteral("/%1-").arg(QCoreApplication::applicationPid()) + strName;
        QProcess tool;
        tool.start(QStringLiteral(TAVORIN_SOURCE_DIR "/tools/make-cut-movie"),
                   options + QStringList{strPart});
        if (!tool.waitForFinished(120000) || tool.exitCode() != 0)
            ADD_FAILURE() << "make-cut-movie failed: " << tool.readAllStandardError().toStdString();
        else if (!QFile::rename(strPart, strPath) && !QFileInfo::exists(strPath))
            ADD_FAILURE() << "cannot rename " << strPart.toStdString();
        QFile::remove(strPart);
    }
    return strPath;
}

// MJPEG (full-range pictures), 320 x 240, shots starting at 30, 70 and 125.
QString mjpegMovie() {
    return movie("cuts-mjpeg.avi", {"--codec", "mjpeg", "--cuts", "30,70,125"});
}
// H.264 with B-frames and a start timecode, a one-frame first shot.
QString h264Movie() {
    return movie("cuts-h264.mp4", {"--codec", "h264-longgop", "--size", "160x120", "--frames", "120",
                                   "--cuts", "1,40,99", "--timecode", "10:00:00:00"});
}

// H.264 with B-frames and a key frame every 50 frames: cuts on, just after and just before key frames.
QString gopMovie() {
    return movie("cuts-gop50.mp4", {"--codec", "h264-longgop", "--gop", "50", "--size", "160x120", "--frames",
                                    "400", "--cuts", "100,151,199,302,350"});
}

// 1000 frames with a key frame every 20: many stretches for the two decoders to share out.
QString shortGopMovie() {
    return movie("cuts-gop20.mp4", {"--codec", "h264-longgop", "--gop", "20", "--size", "160x120", "--frames",
                                    "1000", "--cuts", "100,151,199,302,350,420,555,601,777,901"});
}

std::vector<int> allCuts(CFrameReader& reader, int nThreshold = CFrameReader::DEFAULT_THRESHOLD) {
    std::vector<int> cuts;
    CTimeCode position = reader.getStartTimeCode();
    while (reader.findNextShot(position, nThreshold)) {
        cuts.push_back(position.getFrames());
        if (cuts.size() > 50) break;
    }
    return cuts;
}

int pixelDistance(const CFrameImage& image, int x, int y, int r, int g, int b) {
    const std::uint8_t* p = &image.rgb[size_t((y * image.nWidth + x) * 3)];
    return std::max({std::abs(p[0] - r), std::abs(p[1] - g), std::abs(p[2] - b)});
}

// The MJPEG movie with 4000 bytes of garbage a third of the way in.
QString damagedCopy(const QTemporaryDir& dir) {
    QFile whole(mjpegMovie());
    if (!whole.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = whole.readAll();
    for (qsizetype i = bytes.size() / 3; i < bytes.size() / 3 + 4000 && i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) & 0xFF);
    QFile damaged(dir.filePath("damaged.avi"));
    if (!damaged.open(QIODevice::WriteOnly) || damaged.write(bytes) != bytes.size()) return {};
    return damaged.fileName();
}

double meanDifference(const CFrameImage& a, const CFrameImage& b) {
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / double(a.rgb.size());
}
} // namespace

TEST(ShotSearchTest, FindsEveryCutOneFrameAfterTheNewShotStarts) {
    CFrameReader reader;
    ASSERT_TRUE(reader.open(mjpegMovie()));
    EXPECT_EQ(reader.getWidth(), 320);
    EXPECT_EQ(reader.getHeight(), 240);
    EXPECT_EQ(reader.getStartTimeCode().getFrames(), 0);
    EXPECT_EQ(reader.getEndTimeCode().getFrames(), 149);
    EXPECT_EQ(allCuts(reader), (std::vector<int>{31, 71, 126}));

    // A search from the middle of a shot, and one from just before a cut.
    CTimeCode position = CTimeCode::fromFrames(50);
    ASSERT_TRUE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD));
    EXPECT_EQ(position.getFrames(), 71);
    position = CTimeCode::fromFrames(124);
    ASSERT_TRUE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD));
    EXPECT_EQ(position.getFrames(), 126);
    // After the last cut the search runs to the last frame and reports nothing.
    EXPECT_FALSE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD));
    EXPECT_EQ(position.getFrames(), 149);

    // No frame difference can reach this threshold.
    EXPECT_TRUE(allCuts(reader, 3 * 255 * 3600).empty());
}

TEST(ShotSearchTest, CountsFromTheStartTimecodeOnLongGroupsOfPictures) {
    CFrameReader reader;
    ASSERT_TRUE(reader.open(h264Movie()));
    const int nStart = 10 * 3600 * 25;
    EXPECT_EQ(reader.getStartTimeCode().getFrames(), nStart);
    // The cut between the first two frames is found at the third.
    EXPECT_EQ(allCuts(reader), (std::vector<int>{nStart + 2, nStart + 41, nStart + 100}));

    // A position before the start searches from the first frame; a given timestamp replaces the file's.
    reader.setTimeStamp(CTimeCode::fromFrames(1000));
    CTimeCode position = CTimeCode::fromFrames(0);
    ASSERT_TRUE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD));
    EXPECT_EQ(position.getFrames(), 1002);
    EXPECT_STREQ(position.getText(), "00:00:40:02");
}

TEST(ShotSearchTest, GivesTheSameAnswersWhereverASearchStarts) {
    // Decoding is shared out from key frames; the answers must not depend on where that happens.
    CFrameReader reader;
    ASSERT_TRUE(reader.open(gopMovie()));
    EXPECT_EQ(allCuts(reader), (std::vector<int>{101, 152, 200, 303, 351}));

    // Scattered starts on a fresh reader: a search starting on a shot's first frame cannot see that cut.
    const std::pair<int, int> cases[] = {{360, -1},  {151, 200}, {99, 101},  {199, 303},
                                         {100, 152}, {198, 200}, {150, 152}, {0, 101}};
    CFrameReader fresh;
    ASSERT_TRUE(fresh.open(gopMovie()));
    for (const auto& [nFrom, nCut] : cases) {
        CTimeCode position = CTimeCode::fromFrames(nFrom);
        const bool bFound = fresh.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD);
        EXPECT_EQ(bFound, nCut >= 0) << "from " << nFrom;
        EXPECT_EQ(position.getFrames(), bFound ? nCut : 399) << "from " << nFrom;
    }
    // Frames decoded: about the movie once over, plus the short runs to the scattered starts.
    EXPECT_LT(reader.getDecodedFrames(), 420);
}

// Every frame difference a reader traced, by timecode text.
std::map<QString, int> tracedSums(CFrameReader& reader) {
    QFile log(reader.m_log.getLogPath());
    reader.m_log.Open(0, 0, {}, {}); // closes and flushes the file
    std::map<QString, int> sums;
    if (!log.open(QIODevice::ReadOnly)) return sums;
    static const QRegularExpression line("\t([0-9:]{11}) ([0-9]+)\t-?[0-9]+( => shot)?$");
    for (const QString& strLine : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = line.match(strLine);
        if (match.hasMatch()) sums[match.captured(1)] = match.captured(2).toInt();
    }
    return sums;
}

TEST(ShotSearchTest, EveryFrameDifferenceIsTheSameHoweverTheDecodingIsShared) {
    // One search over the whole movie: every frame but the first is compared with the one before.
    QTemporaryDir dir;
    CFrameReader whole;
    whole.m_log.Open(CTraceLog::TYPE_FILE, CTraceLog::MASK_UPDATES, dir.path(), "whole");
    ASSERT_TRUE(whole.open(shortGopMovie()));
    EXPECT_EQ(allCuts(whole), (std::vector<int>{101, 152, 200, 303, 351, 421, 556, 602, 778, 902}));
    const std::map<QString, int> reference = tracedSums(whole);
    ASSERT_EQ(reference.size(), 999u);
    EXPECT_EQ(reference.begin()->first, "00:00:00:01");

    // Searches starting here and there, out of order, so that the two decoders split the movie
    // differently: the same differences, frame by frame.
    CFrameReader scattered;
    scattered.m_log.Open(CTraceLog::TYPE_FILE, CTraceLog::MASK_UPDATES, dir.path(), "scattered");
    ASSERT_TRUE(scattered.open(shortGopMovie()));
    for (const int nFrom : {620, 20, 140, 330, 99, 201, 870, 455, 0}) {
        CTimeCode position = CTimeCode::fromFrames(nFrom);
        scattered.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD);
    }
    const std::map<QString, int> sums = tracedSums(scattered);
    ASSERT_GT(sums.size(), 500u);
    for (const auto& [strFrame, nSum] : sums) {
        const auto it = reference.find(strFrame);
        ASSERT_NE(it, reference.end()) << strFrame.toStdString();
        EXPECT_EQ(nSum, it->second) << strFrame.toStdString();
    }
}

TEST(ShotSearchTest, TracesEveryFrameDifferenceUnderTheUpdatesMask) {
    QTemporaryDir dir;
    CFrameReader reader;
    reader.m_log.Open(CTraceLog::TYPE_FILE, CTraceLog::MASK_UPDATES, dir.path(), "shots");
    ASSERT_TRUE(reader.open(mjpegMovie()));
    CTimeCode position = CTimeCode::fromFrames(20);
    ASSERT_TRUE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD));
    QFile log(reader.m_log.getLogPath());
    reader.m_log.Open(0, 0, {}, {}); // closes and flushes the file
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    // Frames 21 to 31 are compared with the frame before; the last line is the cut.
    ASSERT_GE(lines.size(), 11);
    EXPECT_TRUE(lines.last().contains(QRegularExpression("\t00:00:01:06 [0-9]+\t-[0-9]+ => shot$")))
        << lines.last().toStdString();
    EXPECT_TRUE(lines.at(lines.size() - 11).contains(QRegularExpression("\t00:00:00:21 [0-9]+\t-?[0-9]+$")))
        << lines.at(lines.size() - 11).toStdString();
}

// The stop is looked at before every frame, also while the two decoders share a long cut-free stretch.
TEST(ShotSearchTest, AStopRequestEndsASearchWithoutWaitingForACut) {
    const QString strPath =
        movie("one-shot.avi", {"--codec", "mjpeg", "--size", "64x48", "--frames", "4000", "--cuts", ""});
    CFrameReader reader;
    ASSERT_TRUE(reader.open(strPath));
    ASSERT_EQ(reader.getEndTimeCode().getFrames(), 3999);

    std::atomic<bool> bStop{true};
    CTimeCode position = CTimeCode::fromFrames(10);
    EXPECT_FALSE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD, &bStop));
    EXPECT_EQ(position.getFrames(), 10);

    // Set by the 50th frame read, on whichever of the search's threads reads it.
    bStop = false;
    std::atomic<int> nRead{0}, nReadAfterStop{0};
    reader.setProgress([&](int) {
        if (bStop)
            ++nReadAfterStop;
        else if (++nRead == 50)
            bStop = true;
    });
    position = CTimeCode::fromFrames(0);
    EXPECT_FALSE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD, &bStop));
    EXPECT_LE(nReadAfterStop, 1) << "the other decoder finishes at most the frame it was reading";
    EXPECT_LT(position.getFrames(), 60);
    EXPECT_LT(reader.getDecodedFrames(), 60) << "the search must not run on";
}

// As the cut search's dialog runs it, search after search: a stop in the middle of the third search keeps
// the two cuts found before it, ends that search where it stood, and a new search goes on from there.
TEST(ShotSearchTest, AStopInTheMiddleKeepsTheCutsFoundSoFar) {
    // One key frame: a single decoder reads the frames in order, so that the stop falls at a known read.
    const QString strPath =
        movie("four-shots.mp4", {"--codec", "h264-longgop", "--gop", "5000", "--size", "64x48", "--frames",
                                 "4000", "--cuts", "100,300,2000,3000"});
    CFrameReader reader;
    ASSERT_TRUE(reader.open(strPath));
    std::atomic<bool> bStop{false};
    std::atomic<int> nSearch{0}, nReadInThird{0};
    reader.setProgress([&](int) {
        if (nSearch == 3 && ++nReadInThird == 300) bStop = true;
    });
    std::vector<int> cuts;
    CTimeCode position = reader.getStartTimeCode();
    for (;;) {
        ++nSearch;
        if (!reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD, &bStop)) break;
        cuts.push_back(position.getFrames());
    }
    EXPECT_EQ(nSearch, 3);
    EXPECT_TRUE(bStop) << "the search ended by itself";
    EXPECT_EQ(cuts, (std::vector<int>{101, 301}));
    EXPECT_GT(position.getFrames(), 301) << "where the stopped search stood";
    EXPECT_LT(position.getFrames(), 2001);
    EXPECT_EQ(nReadInThird, 300) << "no frame read after the stop";
    EXPECT_LT(reader.getDecodedFrames(), 1500);

    bStop = false;
    reader.setProgress({});
    std::vector<int> after;
    while (reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD, &bStop))
        after.push_back(position.getFrames());
    EXPECT_EQ(after, (std::vector<int>{2001, 3001}));
    EXPECT_EQ(allCuts(reader), (std::vector<int>{101, 301, 2001, 3001}));
}

TEST(ShotSearchTest, GrabsTheRightPictureAtTheRequestedSize) {
    CFrameReader reader;
    ASSERT_TRUE(reader.open(mjpegMovie()));
    const CFrameImage whole = reader.grabFrame(QRect(), nullptr, CTimeCode::fromFrames(130));
    ASSERT_EQ(whole.nWidth, 320);
    ASSERT_EQ(whole.nHeight, 240);
    ASSERT_EQ(whole.rgb.size(), 320u * 240u * 3u);
    // The fourth shot is a blue field (0x203080) under a yellow grid of 6-pixel lines every 40 pixels.
    EXPECT_LE(pixelDistance(whole, 180, 100, 0x20, 0x30, 0x80), 6);
    EXPECT_LE(pixelDistance(whole, 162, 100, 0xF0, 0xE0, 0x40), 24);

    // The crop rectangle scaled to the output: the inside of one grid cell fills it.
    const QRect output(0, 0, 72, 36);
    const CFrameImage cell = reader.grabFrame(QRect(168, 128, 30, 30), &output, CTimeCode::fromFrames(130));
    ASSERT_EQ(cell.nWidth, 72);
    ASSERT_EQ(cell.nHeight, 36);
    for (int y = 4; y < 32; y += 9)
        for (int x = 6; x < 66; x += 10)
            EXPECT_LE(pixelDistance(cell, x, y, 0x20, 0x30, 0x80), 8) << x << "," << y;

    // Frames either side of a cut differ, frames within a shot hardly; the search's reader is reused.
    const auto at = [&](int n) { return reader.grabFrame(QRect(), nullptr, CTimeCode::fromFrames(n)); };
    EXPECT_GT(meanDifference(at(69), at(70)), 40.0);
    EXPECT_LT(meanDifference(at(70), at(71)), 8.0);
    EXPECT_EQ(allCuts(reader), (std::vector<int>{31, 71, 126}));
}

TEST(ShotSearchTest, MissingAndBrokenFilesFailCleanly) {
    QTemporaryDir dir;
    CFrameReader reader;
    EXPECT_FALSE(reader.open(dir.filePath("absent.mov")));
    CTimeCode position = CTimeCode::fromFrames(0);
    EXPECT_FALSE(reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD));
    EXPECT_TRUE(reader.grabFrame(QRect(), nullptr, position).isNull());

    QFile text(dir.filePath("text.mp4"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("not a movie at all\n").repeated(100));
    text.close();
    EXPECT_FALSE(reader.open(text.fileName()));

    const QString strSound = dir.filePath("sound.wav");
    ASSERT_EQ(
        QProcess::execute("ffmpeg", {"-v", "error", "-nostdin", "-f", "lavfi", "-i", "sine=d=1", strSound}),
        0);
    EXPECT_FALSE(reader.open(strSound)) << "no video stream";

    // The first half of a movie: the frames that are there are searched, then the search ends.
    QFile whole(mjpegMovie());
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile half(dir.filePath("half.avi"));
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write(whole.read(whole.size() / 2));
    half.close();
    if (reader.open(half.fileName())) {
        const std::vector<int> cuts = allCuts(reader);
        EXPECT_LE(cuts.size(), 2u);
        if (!cuts.empty()) {
            EXPECT_EQ(cuts.front(), 31);
        }
        EXPECT_TRUE(reader.grabFrame(QRect(), nullptr, CTimeCode::fromFrames(140)).isNull() ||
                    reader.getEndTimeCode().getFrames() >= 140);
    }

    // Garbage in the middle of the stream: no crash, the cuts outside it are still found.
    // (The demuxer drops the damaged frame and numbers the following ones one lower.)
    if (reader.open(damagedCopy(dir))) {
        const std::vector<int> cuts = allCuts(reader);
        ASSERT_FALSE(cuts.empty());
        EXPECT_EQ(cuts.front(), 31);
        EXPECT_GE(cuts.back(), 125);
        EXPECT_LE(cuts.back(), 126);
    }
}

TEST(ShotSearchTest, CommandLinePrintsOneLinePerCut) {
    const QString strCli = QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli");
    QProcess cli;
    cli.start(strCli, {"shots", h264Movie()});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(cli.readAllStandardOutput(),
              QByteArray("900002\t10:00:00:02\n900041\t10:00:01:16\n900100\t10:00:04:00\n"));

    // No cut: said on stderr, and still a success.
    cli.start(strCli, {"shots", mjpegMovie(), "--threshold", "3000000"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardError()),
              QString::fromUtf8("Aucun changement de plan trouvé.\n"));

    const QStringList failures[] = {
        {"shots", "/nonexistent/film.mov"}, {"shots", mjpegMovie(), "--threshold", "beaucoup"}, {"shots"}};
    for (const QStringList& args : failures) {
        cli.start(strCli, args);
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 1) << args.join(' ').toStdString();
        const QByteArray err = cli.readAllStandardError();
        EXPECT_EQ(err.count('\n'), 1) << err.constData();
        EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
    }
    // A damaged stream: the cuts, and none of the decoder's complaints.
    QTemporaryDir dir;
    cli.start(strCli, {"shots", damagedCopy(dir)});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_TRUE(cli.readAllStandardOutput().startsWith("31\t00:00:01:06\n"));
    EXPECT_EQ(cli.readAllStandardError(), QByteArray());

    cli.start(strCli, {"shots", "/nonexistent/film.mov"});
    cli.waitForFinished(60000);
    EXPECT_EQ(cli.readAllStandardError(),
              QByteArray("Impossible de lire la vidéo « /nonexistent/film.mov ».\n"));
}
