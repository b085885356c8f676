#include "FrameNumber.h"
#include "MediaFiles.h"
#include "sync/MediaProbe.h"
#include "sync/QuickTime.h"
#include "sync/SeekCost.h"
#include "sync/WorkingCopyCache.h"
#include "sync/WorkingCopyMaker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace {
// What the container holds, counted packet by packet.
struct SStreams {
    int nVideoFrames = 0;
    int nKeyFrames = 0;
    double dVideoStart = 0.0; // seconds
    double dAudioStart = 0.0;
    int nAudioStreams = 0;
};

SStreams countStreams(const QString& strPath) {
    SStreams s;
    AVFormatContext* p = nullptr;
    if (avformat_open_input(&p, QFile::encodeName(strPath).constData(), nullptr, nullptr) < 0) return s;
    avformat_find_stream_info(p, nullptr);
    const int nVideo = av_find_best_stream(p, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    int nAudio = -1;
    for (unsigned i = 0; i < p->nb_streams; ++i)
        if (p->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (nAudio < 0) nAudio = int(i);
            ++s.nAudioStreams;
        }
    if (nVideo >= 0 && p->streams[nVideo]->start_time != AV_NOPTS_VALUE)
        s.dVideoStart = double(p->streams[nVideo]->start_time) * av_q2d(p->streams[nVideo]->time_base);
    if (nAudio >= 0 && p->streams[nAudio]->start_time != AV_NOPTS_VALUE)
        s.dAudioStart = double(p->streams[nAudio]->start_time) * av_q2d(p->streams[nAudio]->time_base);
    AVPacket* pPacket = av_packet_alloc();
    while (av_read_frame(p, pPacket) >= 0) {
        if (pPacket->stream_index == nVideo) {
            ++s.nVideoFrames;
            if (pPacket->flags & AV_PKT_FLAG_KEY) ++s.nKeyFrames;
        }
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    avformat_close_input(&p);
    return s;
}

// The picture's turn (degrees) that the file asks the player for; 0 when none.
double rotationOf(const QString& strPath) {
    AVFormatContext* p = nullptr;
    if (avformat_open_input(&p, QFile::encodeName(strPath).constData(), nullptr, nullptr) < 0) return 0.0;
    avformat_find_stream_info(p, nullptr);
    double d = 0.0;
    const int nVideo = av_find_best_stream(p, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (nVideo >= 0)
        if (const std::uint8_t* pMatrix =
                av_stream_get_side_data(p->streams[nVideo], AV_PKT_DATA_DISPLAYMATRIX, nullptr))
            d = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(pMatrix));
    avformat_close_input(&p);
    return d;
}

// Copies a movie's picture into a QuickTime file that asks the player to turn it by 90 degrees, as
// telephones film.
bool writeTurnedMovie(const QString& strSource, const QString& strTarget) {
    AVFormatContext* pIn = nullptr;
    AVFormatContext* pOut = nullptr;
    if (avformat_open_input(&pIn, QFile::encodeName(strSource).constData(), nullptr, nullptr) < 0)
        return false;
    avformat_find_stream_info(pIn, nullptr);
    const int nVideo = av_find_best_stream(pIn, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    bool bOk = nVideo >= 0 && avformat_alloc_output_context2(&pOut, nullptr, "mov",
                                                             QFile::encodeName(strTarget).constData()) >= 0;
    AVStream* pStream = bOk ? avformat_new_stream(pOut, nullptr) : nullptr;
    bOk = pStream && avcodec_parameters_copy(pStream->codecpar, pIn->streams[nVideo]->codecpar) >= 0;
    if (bOk) {
        pStream->codecpar->codec_tag = 0;
        pStream->time_base = pIn->streams[nVideo]->time_base;
        auto* pMatrix = reinterpret_cast<std::int32_t*>(
            av_stream_new_side_data(pStream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
        bOk = pMatrix != nullptr;
        if (bOk) av_display_rotation_set(pMatrix, 90.0);
    }
    bOk = bOk && avio_open(&pOut->pb, QFile::encodeName(strTarget).constData(), AVIO_FLAG_WRITE) >= 0 &&
          avformat_write_header(pOut, nullptr) >= 0;
    AVPacket* pPacket = av_packet_alloc();
    while (bOk && av_read_frame(pIn, pPacket) >= 0) {
        if (pPacket->stream_index == nVideo) {
            av_packet_rescale_ts(pPacket, pIn->streams[nVideo]->time_base, pStream->time_base);
            pPacket->stream_index = 0;
            pPacket->pos = -1;
            bOk = av_interleaved_write_frame(pOut, pPacket) >= 0;
        }
        av_packet_unref(pPacket);
    }
    bOk = bOk && av_write_trailer(pOut) >= 0;
    av_packet_free(&pPacket);
    if (pOut) {
        if (pOut->pb) avio_closep(&pOut->pb);
        avformat_free_context(pOut);
    }
    avformat_close_input(&pIn);
    return bOk;
}

// Waits until the player's time passes a mark (in the direction it plays); false after the time given.
bool movesWithin(CQuickTime& qt, int nMark, int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    const bool bBackward = qt.getMovieRate() < 0.0f;
    while (timer.elapsed() < nTimeoutMs) {
        const int t = qt.getTime();
        if (bBackward ? t < nMark : t > nMark) return true;
        QThread::msleep(10);
    }
    return false;
}

class WorkingCopyTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    CWorkingCopyCache cache{dir.filePath(QStringLiteral("proxies"))};

    // Makes the copy of a test movie into the cache; empty on failure.
    QString make(const QString& strSource, int nWidth = CWorkingCopyCache::DEFAULT_WIDTH) {
        EXPECT_TRUE(cache.prepare());
        const QString strTarget = cache.copyPath(strSource, nWidth);
        CWorkingCopyMaker maker;
        const CWorkingCopyMaker::EResult e = maker.make(strSource, strTarget, nWidth);
        EXPECT_EQ(e, CWorkingCopyMaker::MADE) << qPrintable(CWorkingCopyMaker::message(e, strSource));
        return e == CWorkingCopyMaker::MADE ? strTarget : QString();
    }

    QStringList cacheFiles() const {
        return QDir(cache.folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};
} // namespace

TEST_F(WorkingCopyTest, CopyKeepsFramesTimecodeAndSound) {
    struct SCase {
        const char* pszMovie;
        int nWidth;
    } cases[] = {
        {"longgop.mov", 960},   // long GOPs, B-frames, AAC copied as it is
        {"quadsound.mov", 960}, // MJPEG and 4-channel PCM
        {"opus.mkv", 960},      // Matroska: Opus re-coded as PCM, no timecode
        {"frames.mov", 160},    // made smaller than the movie
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszMovie);
        const QString strSource = testMedia(c.pszMovie);
        const QString strCopy = make(strSource, c.nWidth);
        ASSERT_FALSE(strCopy.isEmpty());
        CMediaProbe source, copy;
        ASSERT_TRUE(source.open(strSource));
        ASSERT_TRUE(copy.open(strCopy));
        EXPECT_EQ(copy.m_timeCode, source.m_timeCode);
        EXPECT_EQ(copy.m_nAudioChannels, source.m_nAudioChannels);
        EXPECT_EQ(copy.m_nChannelMask, source.m_nChannelMask);
        EXPECT_EQ(copy.m_nFrameRateNum * source.m_nFrameRateDen,
                  source.m_nFrameRateNum * copy.m_nFrameRateDen);
        // Within half a frame: a container without the picture's own length gives its overall one.
        EXPECT_NEAR(copy.m_dDuration, source.m_dDuration, 0.02);

        const SStreams s = countStreams(strSource), d = countStreams(strCopy);
        EXPECT_GT(s.nVideoFrames, 0);
        EXPECT_EQ(d.nVideoFrames, s.nVideoFrames);
        EXPECT_EQ(d.nKeyFrames, d.nVideoFrames); // every frame a key frame
        EXPECT_EQ(d.nAudioStreams, s.nAudioStreams);
        // The sound keeps its place against the picture.
        EXPECT_NEAR(d.dAudioStart - d.dVideoStart, s.dAudioStart - s.dVideoStart, 0.008);

        CSeekCost cost;
        ASSERT_TRUE(cost.read(strCopy));
        EXPECT_EQ(cost.m_nKeyInterval, 1);
        EXPECT_FALSE(cost.isSlow());
        EXPECT_LE(cost.m_nWidth, c.nWidth);
        EXPECT_EQ(cost.m_nWidth * 240, cost.m_nHeight * 320); // the shape of the picture
    }
    EXPECT_EQ(cacheFiles().filter(QStringLiteral(".part")).size(), 0);

    // A picture the player turns is turned in the copy too.
    const QString strTurned = dir.filePath(QStringLiteral("turned.mov"));
    ASSERT_TRUE(writeTurnedMovie(testMedia("plain.mov"), strTurned));
    const double dTurn = rotationOf(strTurned);
    ASSERT_DOUBLE_EQ(std::fabs(dTurn), 90.0);
    const QString strCopy = make(strTurned);
    ASSERT_FALSE(strCopy.isEmpty());
    EXPECT_DOUBLE_EQ(rotationOf(strCopy), dTurn);
}

TEST_F(WorkingCopyTest, RandomExactSeeksShowTheSameFramesOnTheCopy) {
    const QString strSource = testMedia("longgop.mov");
    const QString strCopy = make(strSource);
    ASSERT_FALSE(strCopy.isEmpty());
    CQuickTime original, copy;
    ASSERT_TRUE(original.initialize());
    ASSERT_TRUE(copy.initialize());
    ASSERT_TRUE(original.open(strSource));
    ASSERT_TRUE(copy.open(strCopy));
    EXPECT_EQ(copy.getStartTimeCode(), original.getStartTimeCode());
    EXPECT_EQ(copy.getEndTimeCode(), original.getEndTimeCode());
    const int nFrames = 500;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> frame(0, nFrames - 1);
    int nMismatches = 0;
    for (int i = 0; i < 300; ++i) {
        const int n = frame(rng);
        const int t = original.getStartTime() + n * 24;
        ASSERT_TRUE(original.GoToTime(t));
        ASSERT_TRUE(copy.GoToTime(t));
        ASSERT_TRUE(original.waitForSeek());
        ASSERT_TRUE(copy.waitForSeek());
        const int nOriginal = shownFrameNumber(original), nCopy = shownFrameNumber(copy);
        EXPECT_EQ(nOriginal, n);
        if (nCopy != nOriginal && ++nMismatches <= 5)
            ADD_FAILURE() << "frame " << n << ": copy shows " << nCopy;
    }
    EXPECT_EQ(nMismatches, 0);
}

TEST_F(WorkingCopyTest, PlayerSwitchesToTheCopyAndBackWithoutLosingItsPlace) {
    const QString strSource = testMedia("longgop.mov");
    const QString strCopy = make(strSource);
    ASSERT_FALSE(strCopy.isEmpty());
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    ASSERT_TRUE(qt.open(strSource));
    qt.setVolume(128);
    ASSERT_TRUE(qt.Goto(CTimeCode("10:00:07:13")));
    ASSERT_TRUE(qt.waitForSeek());

    ASSERT_TRUE(qt.playFile(strCopy));
    EXPECT_EQ(qt.getPlayedPath(), strCopy);
    EXPECT_EQ(qt.getPath(), strSource); // what the cut search and the photos read
    EXPECT_EQ(qt.getCurrentTimeCode(), CTimeCode("10:00:07:13"));
    EXPECT_EQ(shownFrameNumber(qt), 7 * 25 + 13);
    EXPECT_EQ(qt.getStartTimeCode(), CTimeCode("10:00:00:00"));
    EXPECT_EQ(qt.getVolume(), 128);
    EXPECT_EQ(qt.getAudioChannelCount(), 2);

    // Playing backwards on: the direction and the speed survive the switch.
    qt.play(-1.0f);
    QThread::msleep(400);
    const int tBefore = qt.getTime();
    ASSERT_TRUE(qt.playFile(strSource));
    EXPECT_EQ(qt.getPlayedPath(), strSource);
    EXPECT_FLOAT_EQ(qt.getMovieRate(), -1.0f);
    EXPECT_NEAR(qt.getTime(), tBefore, 3 * 24);
    // The movie's long groups of pictures take a moment to decode backwards.
    EXPECT_TRUE(movesWithin(qt, tBefore - 4 * 24, 5000));
    qt.play(0.0f);

    // A file that cannot be played leaves the movie playing from its own file.
    ASSERT_TRUE(qt.Goto(CTimeCode("10:00:03:00")));
    ASSERT_TRUE(qt.waitForSeek());
    EXPECT_FALSE(qt.playFile(dir.filePath(QStringLiteral("missing.mov"))));
    EXPECT_TRUE(qt.hasMovie());
    EXPECT_EQ(qt.getPlayedPath(), strSource);
    EXPECT_EQ(shownFrameNumber(qt), 75);
}

TEST_F(WorkingCopyTest, CacheFindsFinishedCopiesOnlyAndFollowsChangedMovies) {
    const QString strMovie = dir.filePath(QStringLiteral("film à copier.mov"));
    ASSERT_TRUE(QFile::copy(testMedia("quadsound.mov"), strMovie));
    EXPECT_TRUE(cache.find(strMovie).isEmpty());
    const QString strCopy = make(strMovie);
    ASSERT_FALSE(strCopy.isEmpty());
    EXPECT_EQ(cache.find(strMovie), strCopy);
    EXPECT_TRUE(QFileInfo(strCopy).fileName().startsWith(QStringLiteral("film___copier.")));
    EXPECT_EQ(cache.copyPath(strMovie, 640).isEmpty(), false);
    EXPECT_NE(cache.copyPath(strMovie, 640), strCopy);

    // A truncated copy under the finished name is not played, and goes.
    QFile::copy(strCopy, strCopy + QStringLiteral(".keep"));
    {
        QFile f(strCopy);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.resize(f.size() / 2);
    }
    EXPECT_TRUE(cache.find(strMovie).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(strCopy));
    // Nor is a whole copy of another length (another movie's).
    ASSERT_TRUE(QFile::copy(make(testMedia("opus.mkv")), strCopy));
    EXPECT_TRUE(cache.find(strMovie).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(strCopy));
    QFile::rename(strCopy + QStringLiteral(".keep"), strCopy);

    // The movie changes (its end rewritten): another name, no copy found, and the old copy goes once
    // the new one is asked for.
    {
        QFile f(strMovie);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(f.size() - 4);
        f.write("XXXX");
    }
    EXPECT_NE(cache.copyPath(strMovie), strCopy);
    EXPECT_TRUE(cache.find(strMovie).isEmpty());
    cache.removeLeftovers(strMovie);
    EXPECT_FALSE(QFileInfo::exists(strCopy));

    // Leftovers: a fresh temporary file is someone's making and stays; an old one goes.
    const QString strFresh = cache.folder() + QStringLiteral("/a.mov.1.part");
    const QString strOld = cache.folder() + QStringLiteral("/b.mov.2.part");
    for (const QString& str : {strFresh, strOld}) {
        QFile f(str);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half");
    }
    {
        QFile f(strOld);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-2 * CWorkingCopyCache::STALE_SECONDS),
                                  QFileDevice::FileModificationTime));
    }
    cache.removeLeftovers();
    EXPECT_TRUE(QFileInfo::exists(strFresh));
    EXPECT_FALSE(QFileInfo::exists(strOld));

    // Clearing keeps what plays and what is being made.
    const QString strPlaying = make(testMedia("opus.mkv"));
    make(testMedia("quadsound.mov"));
    EXPECT_GT(cache.size(), QFileInfo(strPlaying).size());
    EXPECT_TRUE(cache.clear(strPlaying));
    EXPECT_EQ(cacheFiles(), QStringList({QStringLiteral("a.mov.1.part"), QFileInfo(strPlaying).fileName()}));
    EXPECT_EQ(cache.size(), QFileInfo(strPlaying).size() + 4);
}

TEST_F(WorkingCopyTest, FailuresLeaveNothingInTheCache) {
    ASSERT_TRUE(cache.prepare());
    const QString strText = dir.filePath(QStringLiteral("notes.mov"));
    {
        QFile f(strText);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ceci n'est pas un film\n");
    }
    CWorkingCopyMaker maker;
    EXPECT_EQ(maker.make(strText, cache.copyPath(strText), 960), CWorkingCopyMaker::UNREADABLE);
    EXPECT_EQ(maker.make(testMedia("quad.wav"), cache.copyPath(testMedia("quad.wav")), 960),
              CWorkingCopyMaker::NO_PICTURE);
    EXPECT_EQ(
        CWorkingCopyMaker::message(CWorkingCopyMaker::UNREADABLE, strText),
        QStringLiteral("Impossible de lire le film « notes.mov » : la copie de travail n'a pas été créée."));

    // Cancelled halfway: no copy, no temporary file.
    std::atomic<bool> bStop{false};
    std::int64_t nSeen = 0;
    const QString strLong = testMedia("long.mov");
    EXPECT_EQ(maker.make(strLong, cache.copyPath(strLong), 960, &bStop,
                         [&](const CWorkingCopyMaker::SProgress& p) {
                             nSeen = p.nFrames;
                             EXPECT_EQ(p.nTotal, 7500);
                             if (p.nFrames > 500) bStop = true;
                         }),
              CWorkingCopyMaker::CANCELLED);
    EXPECT_GT(nSeen, 500);
    EXPECT_LT(nSeen, 7500);

    // A folder that cannot be written.
    const QString strNowhere = dir.filePath(QStringLiteral("absent/copy.mov"));
    EXPECT_EQ(maker.make(testMedia("quadsound.mov"), strNowhere, 960), CWorkingCopyMaker::WRITE_FAILED);
    EXPECT_TRUE(cacheFiles().isEmpty()) << qPrintable(cacheFiles().join(' '));
}

TEST(SeekCostTest, LongGroupsOfPicturesAndLargePicturesAreSlow) {
    struct SCase {
        const char* pszMovie;
        int nInterval;
        bool bSlow;
    } cases[] = {
        {"frames.mov", 50, false},   // from the index
        {"longgop.mov", 250, true},  // from the index
        {"quadsound.mov", 1, false}, // MJPEG: every frame a key frame
        {"opus.mkv", 25, false},     // Matroska: from the packets
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszMovie);
        CSeekCost cost;
        ASSERT_TRUE(cost.read(testMedia(c.pszMovie)));
        EXPECT_EQ(cost.m_nWidth, 320);
        EXPECT_EQ(cost.m_nKeyInterval, c.nInterval);
        EXPECT_EQ(cost.isSlow(), c.bSlow);
    }
    CSeekCost cost;
    EXPECT_FALSE(cost.read(testMedia("quad.wav")));
    EXPECT_FALSE(cost.read(testMedia("absent.mov")));
    cost.m_nWidth = 3840, cost.m_nHeight = 2160, cost.m_nKeyInterval = 1;
    EXPECT_TRUE(cost.isSlow()); // beyond what the pane needs, even intra
    cost.m_nWidth = 1920, cost.m_nHeight = 1080, cost.m_nKeyInterval = 12;
    EXPECT_TRUE(cost.isSlow());
    cost.m_nKeyInterval = 1;
    EXPECT_FALSE(cost.isSlow());
}
