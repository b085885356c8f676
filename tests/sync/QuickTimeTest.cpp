#include "sync/QuickTime.h"
#include "FrameNumber.h"
#include "MediaFiles.h"
#include "WaitFor.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <mpv/client.h>
#include <mpv/render.h>
#include <thread>

namespace {
CTimeCode tc(const char* psz) {
    return CTimeCode(psz);
}

QByteArray logText(const CTraceLog& log) {
    QFile f(log.getLogPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(QuickTimeTest, TimecodeTrackBoundsAndSeeks) {
    QTemporaryDir dir;
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    qt.openLog(1, CTraceLog::TYPE_FILE, dir.path());
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    EXPECT_STREQ(qt.getTimeStamp().getText(), "10:00:00:00");
    EXPECT_EQ(qt.getStartTimeCode(), tc("10:00:00:00"));
    EXPECT_EQ(qt.getEndTimeCode(), tc("10:00:30:00"));
    EXPECT_EQ(qt.getStartTime(), 900000 * 24);
    EXPECT_EQ(qt.getEndTime(), 900000 * 24 + 30 * 600);
    EXPECT_EQ(qt.getTime(), qt.getStartTime());
    EXPECT_DOUBLE_EQ(qt.getFrameRate(), 25.0);
    EXPECT_TRUE(qt.hasVideo());
    EXPECT_TRUE(qt.hasAudio());
    EXPECT_EQ(qt.getAudioChannelCount(), 2);

    EXPECT_FALSE(qt.Goto(tc("09:59:59:24")));
    EXPECT_TRUE(qt.Goto(tc("10:00:00:00")));
    EXPECT_FALSE(qt.Goto(tc("10:00:30:00"))); // the end itself is excluded here
    EXPECT_TRUE(qt.Goto(tc("10:00:29:24")));
    EXPECT_TRUE(qt.GoToTime(qt.getEndTime()));
    EXPECT_FALSE(qt.GoToTime(qt.getEndTime() + 1));
    EXPECT_FALSE(qt.GoToTime(qt.getStartTime() - 1));
    ASSERT_TRUE(qt.waitForSeek());
    EXPECT_EQ(qt.getTime(), qt.getEndTime());
    EXPECT_EQ(shownFrameNumber(qt), 749); // the last picture stays on screen at the end

    ASSERT_TRUE(qt.GoToTime(qt.getStartTime() + 5 * 600 + 13));
    EXPECT_EQ(qt.getTime(), qt.getStartTime() + 5 * 600 + 13); // known at once, before mpv has seeked
    ASSERT_TRUE(qt.waitForSeek());
    EXPECT_EQ(qt.getCurrentTimeCode(), tc("10:00:05:00"));
    EXPECT_EQ(shownFrameNumber(qt), 125);

    // An empty path opens nothing and leaves the movie open.
    EXPECT_FALSE(qt.open(QString()));
    EXPECT_TRUE(qt.hasMovie());

    const QByteArray text = logText(qt);
    EXPECT_TRUE(text.contains("Goto(09:59:59:24) => out of bound!!!\n")) << text.constData();
    EXPECT_TRUE(text.contains("Goto(10:00:00:00)\n"));
    EXPECT_TRUE(text.contains("CQuickTime::open(" + testMedia("frames.mov").toUtf8() + ") => Ok\n"));
    EXPECT_TRUE(text.contains("' is not a RIFF file\n"));

    qt.close();
    EXPECT_FALSE(qt.hasMovie());
    EXPECT_EQ(qt.getTime(), 0);
    EXPECT_EQ(qt.getEndTime(), 0);
    EXPECT_EQ(qt.getTimeStamp(), TC_ZERO);
    EXPECT_FALSE(qt.Goto(tc("10:00:00:00")));
}

TEST(QuickTimeTest, TimestampsOfFilesWithoutTimecodeTrack) {
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    ASSERT_TRUE(qt.open(testMedia("plain.mov")));
    EXPECT_FALSE(qt.getTimeStamp().isValid());
    EXPECT_STREQ(qt.getTimeStamp().getText(), "88:88:88:88");
    EXPECT_FALSE(qt.hasAudio());
    EXPECT_EQ(qt.getAudioChannelCount(), 0);

    struct {
        const char* pszFile;
        const char* pszStamp;
    } const cases[] = {{"bwf48.wav", "10:00:00:00"},
                       {"bwf44.wav", "10:00:00:00"},
                       {"bwf48late.wav", "13:00:00:00"},
                       {"bwf96far.wav", "20:00:00:00"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(qt.open(testMedia(c.pszFile))) << c.pszFile;
        EXPECT_STREQ(qt.getTimeStamp().getText(), c.pszStamp) << c.pszFile;
        EXPECT_FALSE(qt.hasVideo());
        EXPECT_EQ(qt.getEndTime() - qt.getStartTime(), 600) << c.pszFile; // one second of sound
    }
    ASSERT_TRUE(qt.open(testMedia("quad.wav")));
    EXPECT_EQ(qt.getAudioChannelCount(), 4);
}

TEST(QuickTimeTest, FilesThatCannotBeOpened) {
    QTemporaryDir dir;
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    ASSERT_TRUE(qt.open(testMedia("plain.mov")));
    const QString strText = dir.filePath("notes.txt");
    QFile f(strText);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Ceci n'est pas un film.\n");
    f.close();
    EXPECT_FALSE(qt.open(strText));
    EXPECT_FALSE(qt.hasMovie()); // the previous movie was closed first
    EXPECT_FALSE(qt.open(dir.filePath("absent.mov")));
    EXPECT_EQ(qt.getTime(), 0);
    EXPECT_FALSE(qt.GoToTime(0));
    qt.play(1.0f);
    EXPECT_EQ(qt.getMovieRate(), 0.0f);
}

TEST(QuickTimeTest, EveryFrameIsReachedExactly) {
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    const CTimeCode tcStart = qt.getStartTimeCode();
    std::vector<int> frames = {0, 749, 1, 748, 50, 49, 51};
    QRandomGenerator rng(20261207);
    for (int i = 0; i < 300; ++i)
        frames.push_back(int(rng.bounded(750)));
    const auto t0 = std::chrono::steady_clock::now();
    int nWrong = 0;
    for (const int n : frames) {
        ASSERT_TRUE(qt.Goto(tcStart + n)) << n;
        ASSERT_TRUE(qt.waitForSeek()) << n;
        const int nShown = shownFrameNumber(qt);
        EXPECT_EQ(nShown, n);
        nWrong += nShown != n;
        EXPECT_EQ(qt.getCurrentTimeCode(), tcStart + n);
        if (nWrong > 5) break;
    }
    // Frame by frame forward (the next picture is decoded without a new seek), then back.
    ASSERT_TRUE(qt.Goto(tcStart + 95));
    for (int n = 96; n <= 130; ++n) {
        ASSERT_TRUE(qt.Goto(tcStart + n));
        ASSERT_TRUE(qt.waitForSeek()) << n;
        EXPECT_EQ(shownFrameNumber(qt), n);
        EXPECT_EQ(qt.getCurrentTimeCode(), tcStart + n);
    }
    for (int n = 129; n >= 120; --n) {
        ASSERT_TRUE(qt.Goto(tcStart + n));
        ASSERT_TRUE(qt.waitForSeek()) << n;
        EXPECT_EQ(shownFrameNumber(qt), n);
    }
    ASSERT_TRUE(qt.Goto(tcStart + 748));
    ASSERT_TRUE(qt.waitForSeek());
    ASSERT_TRUE(qt.Goto(tcStart + 749));
    ASSERT_TRUE(qt.waitForSeek());
    EXPECT_EQ(shownFrameNumber(qt), 749);
    // Seeks to a media time inside a frame show that frame.
    for (const int n : {3, 400, 749}) {
        ASSERT_TRUE(qt.GoToTime(qt.getStartTime() + n * 24 + 23));
        ASSERT_TRUE(qt.waitForSeek());
        EXPECT_EQ(shownFrameNumber(qt), n);
    }
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%zu exact seeks in %.2f s\n", frames.size() + 3, dSeconds);
}

TEST(QuickTimeTest, PlayRefusesFastFactorsAndStopsBeforeTurning) {
    QTemporaryDir dir;
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    qt.openLog(1, CTraceLog::TYPE_FILE, dir.path());
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    qt.play(-1.0f); // at the first frame
    EXPECT_EQ(qt.getMovieRate(), 0.0f);
    qt.play(10.0f);
    EXPECT_EQ(qt.getMovieRate(), 0.0f);
    qt.play(3.0f);
    EXPECT_EQ(qt.getMovieRate(), 3.0f);
    // Moving forward (its speed is checked against the wall clock with the playback tests).
    EXPECT_TRUE(waitFor([&] { return qt.getTime() - qt.getStartTime() > 100; }));
    qt.play(-1.0f);
    EXPECT_EQ(qt.getMovieRate(), -1.0f);
    const QByteArray text = logText(qt);
    EXPECT_TRUE(text.contains("QuickTime::play(3.000000)\n"));
    const int nForcing = int(text.indexOf("Forcing zero rate\n"));
    EXPECT_GT(nForcing,
              int(text.indexOf("QuickTime::play(-1.000000)\n", text.indexOf("QuickTime::play(3.0"))));
    qt.play(0.0f);
    EXPECT_EQ(qt.getMovieRate(), 0.0f);
}

TEST(QuickTimeTest, SlowPlayPositionMovesBetweenFrames) {
    // At one eighth of normal speed mpv moves on a frame every 320 ms: the position read in between moves
    // (how, the position estimate's own tests say), never backwards, and the picture does not leap ahead
    // when slow play starts. A loaded machine can only make mpv late, never early.
    using namespace std::chrono;
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    ASSERT_TRUE(qt.Goto(tc("10:00:10:00")));
    ASSERT_TRUE(qt.waitForSeek());
    const int nFrom = qt.getTime();
    const auto tStart = steady_clock::now();
    qt.play(0.125f);
    std::vector<int> samples;
    double dMostAhead = -1e9; // units travelled beyond what the time elapsed allows
    // 1.2 s of slow play (90 units); the limit only guards against a player that does not move.
    while ((samples.empty() || samples.back() - nFrom < 90) && steady_clock::now() - tStart < seconds(20)) {
        samples.push_back(qt.getTime());
        const double dAllowed = duration<double>(steady_clock::now() - tStart).count() * 600 / 8;
        dMostAhead = std::max(dMostAhead, samples.back() - nFrom - dAllowed);
        std::this_thread::sleep_for(milliseconds(10));
    }
    qt.play(0.0f);
    ASSERT_GE(samples.back() - nFrom, 90) << "slow play did not move";
    int nBackwards = 0, nBetween = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        nBackwards += samples[i] < samples[i - 1];
        nBetween += (samples[i] - nFrom) % 24 != 0;
    }
    EXPECT_EQ(nBackwards, 0);
    EXPECT_GE(nBetween, 3) << "whole frames only";
    // The frame shown may be due a little early, and the position runs up to a frame past it.
    EXPECT_LE(dMostAhead, 2 * 24);
}

// Between two pictures the position moves on within the frame mpv shows, forwards and backwards: read at
// any moment, it names that frame, never the next one to come (backwards, the one before).
TEST(QuickTimeTest, PositionStaysOnTheFrameShownBothWays) {
    using namespace std::chrono;
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    const int nStamp = qt.getStartTime();
    for (const float fRate : {0.25f, -0.25f}) {
        SCOPED_TRACE(fRate);
        ASSERT_TRUE(qt.Goto(tc("10:00:10:00")));
        ASSERT_TRUE(qt.waitForSeek());
        qt.play(fRate);
        int nChecked = 0, nApart = 0, nMoving = 0, nLast = -1;
        QString strFirst;
        const auto tEnd = steady_clock::now() + milliseconds(1500);
        while (steady_clock::now() < tEnd) {
            const long long nBefore = qt.getShownFrame();
            const int t = qt.getTime();
            if (nBefore >= 0 && qt.getShownFrame() == nBefore) {
                ++nChecked;
                nMoving += t != nLast;
                nLast = t;
                if ((t - nStamp) / 24 != nBefore) {
                    ++nApart;
                    if (strFirst.isEmpty())
                        strFirst = QStringLiteral("%1 on frame %2").arg(t - nStamp).arg(nBefore);
                }
            }
            std::this_thread::sleep_for(milliseconds(5));
        }
        qt.play(0.0f);
        EXPECT_GT(nChecked, 50);
        EXPECT_GT(nMoving, 10) << "the position moves between the pictures";
        EXPECT_EQ(nApart, 0) << qPrintable(strFirst);
    }
}

TEST(QuickTimeTest, VolumeMuteAndHints) {
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize());
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    EXPECT_EQ(qt.getVolume(), 256);
    qt.setVolume(128);
    double dVolume = 0;
    ASSERT_GE(mpv_get_property(qt.getHandle(), "volume", MPV_FORMAT_DOUBLE, &dVolume), 0);
    EXPECT_NEAR(dVolume, 50.0, 0.01);
    qt.setVolume(266); // a step up from 250 may pass full volume
    EXPECT_EQ(qt.getVolume(), 266);
    EXPECT_FALSE(qt.isMuted());
    qt.setMute(true);
    EXPECT_TRUE(qt.isMuted());
    // The next movie starts at full volume, sound on.
    qt.setMute(true);
    ASSERT_TRUE(qt.open(testMedia("plain.mov")));
    EXPECT_FALSE(qt.isMuted());
    EXPECT_EQ(qt.getVolume(), 256);

    qt.setPlayHints(CQuickTime::HINT_DEINTERLACE_FIELDS, CQuickTime::HINT_DEINTERLACE_FIELDS);
    int nDeinterlace = 0;
    mpv_get_property(qt.getHandle(), "deinterlace", MPV_FORMAT_FLAG, &nDeinterlace);
    EXPECT_EQ(nDeinterlace, 1);
    qt.setPlayHints(CQuickTime::HINT_HIGH_QUALITY, CQuickTime::HINT_HIGH_QUALITY);
    qt.setPlayHints(0, CQuickTime::HINT_DEINTERLACE_FIELDS);
    EXPECT_EQ(qt.getPlayHints(), int(CQuickTime::HINT_HIGH_QUALITY));
    mpv_get_property(qt.getHandle(), "deinterlace", MPV_FORMAT_FLAG, &nDeinterlace);
    EXPECT_EQ(nDeinterlace, 0);
}

TEST(QuickTimeTest, RenderContextAttachedAfterOpening) {
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize(CQuickTime::OUTPUT_RENDER, {{"ao", "null"}}));
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    EXPECT_EQ(qt.getTimeStamp(), tc("10:00:00:00"));
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* pRender = qt.createRenderContext(params);
    ASSERT_NE(pRender, nullptr);
    ASSERT_TRUE(qt.Goto(tc("10:00:04:00")));
    ASSERT_TRUE(qt.waitForSeek());

    int size[2] = {320, 240};
    const size_t nStride = 320 * 4;
    std::vector<unsigned char> pixels(nStride * 240, 0);
    char szFormat[] = "bgr0";
    size_t stride = nStride;
    mpv_render_param render[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, szFormat},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, pixels.data()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    int nShown = -1;
    for (int i = 0; i < 100 && nShown != 100; ++i) {
        mpv_render_context_update(pRender);
        if (mpv_render_context_render(pRender, render) >= 0)
            nShown = readFrameNumber(pixels.data(), 320, 240, int(nStride));
        if (nShown != 100) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        qt.onIdle();
    }
    EXPECT_EQ(nShown, 100);
    qt.freeRenderContext();
    EXPECT_EQ(qt.getRenderContext(), nullptr);
}

namespace {
// A video view drawn in memory by mpv's software renderer, which reads the frame number printed on each
// picture it draws.
struct SMemoryView {
    CQuickTime& qt;
    mpv_render_context* pRender = nullptr;
    int size[2] = {320, 240};
    size_t stride = 320 * 4;
    std::vector<unsigned char> pixels = std::vector<unsigned char>(stride * 240, 0);
    char szFormat[5] = "bgr0";
    mpv_render_param render[5] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                  {MPV_RENDER_PARAM_SW_FORMAT, szFormat},
                                  {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                  {MPV_RENDER_PARAM_SW_POINTER, pixels.data()},
                                  {MPV_RENDER_PARAM_INVALID, nullptr}};

    explicit SMemoryView(CQuickTime& player) : qt(player) {
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        pRender = qt.createRenderContext(params);
    }
    bool hasPicture() { return mpv_render_context_update(pRender) & MPV_RENDER_UPDATE_FRAME; }
    // Whether the picture mpv has for the view is a new one (not the last one drawn again).
    bool nextIsNew() {
        mpv_render_frame_info info{};
        mpv_render_param param{MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info};
        return mpv_render_context_get_info(pRender, param) < 0 ||
               !(info.flags & MPV_RENDER_FRAME_INFO_REDRAW);
    }
    // Draws the picture; nNumber is the frame number printed on it (-1 when it cannot be read).
    bool draw(int& nNumber) {
        if (mpv_render_context_render(pRender, render) < 0) return false;
        nNumber = readFrameNumber(pixels.data(), size[0], size[1], int(stride));
        return true;
    }
};
} // namespace

// Played into a view (here one drawn in memory), the position is the picture the view drew, read from
// the frame number printed on it, not the one mpv has decoded ahead; at the end of the movie it stands
// on the last picture. This view draws each picture as soon as mpv hands it over; one drawn late is the
// next test's.
TEST(QuickTimeTest, PlayedIntoAViewThePositionIsThePictureDrawnToTheEnd) {
    using namespace std::chrono;
    CQuickTime qt;
    ASSERT_TRUE(qt.initialize(CQuickTime::OUTPUT_RENDER, {{"ao", "null"}}));
    ASSERT_TRUE(qt.open(testMedia("frames.mov")));
    SMemoryView view(qt);
    ASSERT_NE(view.pRender, nullptr);
    const int nStamp = qt.getStartTime(), nLastFrame = (qt.getEndTime() - nStamp) / 24 - 1;
    ASSERT_TRUE(qt.GoToTime(qt.getEndTime() - 2 * 600));
    ASSERT_TRUE(qt.waitForSeek());

    qt.play(1.0f);
    int nDrawn = 0, nApart = 0, nPicture = -1;
    QString strFirst;
    const auto tEnd = steady_clock::now() + milliseconds(6000);
    while (steady_clock::now() < tEnd && qt.getMovieRate() != 0.0f) {
        qt.onIdle();
        if (view.hasPicture()) {
            qt.onPictureDue();
            if (view.draw(nPicture)) {
                qt.onPictureRendered();
                ++nDrawn;
                // While it plays (the end, once told, is checked below).
                const int nAt = (qt.getTime() - nStamp) / 24;
                if (qt.getMovieRate() != 0.0f && nAt != nPicture && ++nApart == 1)
                    strFirst = QStringLiteral("position on %1, picture %2").arg(nAt).arg(nPicture);
            }
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    EXPECT_EQ(qt.getMovieRate(), 0.0f) << "the end was reached";
    // The last picture may come just after the end is told.
    for (int i = 0; i < 50; ++i) {
        qt.onIdle();
        int nRead = -1;
        if (view.hasPicture() && view.draw(nRead) && nRead >= 0) nPicture = nRead;
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_GT(nDrawn, 20);
    EXPECT_LE(nApart * 20, nDrawn) << nApart << " of " << nDrawn << ", first " << qPrintable(strFirst);
    EXPECT_EQ(nPicture, nLastFrame);
    EXPECT_EQ((qt.getTime() - nStamp) / 24, nLastFrame);
    qt.freeRenderContext();
}

// A view that draws each picture late, as the program's window does on a busy machine (here up to 100 ms
// after mpv hands it over): by then mpv has often queued and reported the next picture, yet the position
// is on the picture drawn, forwards and backwards.
TEST(QuickTimeTest, AViewThatDrawsLateKeepsThePositionOnThePictureDrawn) {
    using namespace std::chrono;
    for (const float fRate : {1.0f, -1.0f}) {
        CQuickTime qt;
        ASSERT_TRUE(qt.initialize(CQuickTime::OUTPUT_RENDER, {{"ao", "null"}}));
        ASSERT_TRUE(qt.open(testMedia("frames.mov")));
        SMemoryView view(qt);
        ASSERT_NE(view.pRender, nullptr);
        const int nStamp = qt.getStartTime();
        ASSERT_TRUE(qt.GoToTime(nStamp + (fRate > 0 ? 2 : 8) * 600));
        ASSERT_TRUE(qt.waitForSeek());
        qt.play(fRate);
        QRandomGenerator rng(17);
        int nNew = 0, nChecked = 0, nApart = 0, nReportApart = 0;
        QString strFirst;
        const auto tEnd = steady_clock::now() + milliseconds(4000);
        while (steady_clock::now() < tEnd && qt.getMovieRate() != 0.0f) {
            qt.onIdle();
            if (!view.hasPicture()) {
                std::this_thread::sleep_for(milliseconds(1));
                continue;
            }
            const bool bNew = view.nextIsNew();
            std::this_thread::sleep_for(milliseconds(rng.bounded(100)));
            qt.onPictureDue();
            const long long nReported = qt.getShownFrame();
            int nPicture = -1;
            if (!view.draw(nPicture)) continue;
            qt.onPictureRendered();
            // The series' first picture is the standing one again, and the second may be one off.
            if (!bNew || ++nNew <= 2 || nPicture < 0) continue;
            ++nChecked;
            const int nAt = (qt.getTime() - nStamp) / 24;
            if (nAt != nPicture && ++nApart == 1)
                strFirst = QStringLiteral("position on %1, picture %2").arg(nAt).arg(nPicture);
            if (nReported != nPicture) ++nReportApart;
        }
        qt.play(0.0f);
        EXPECT_GT(nChecked, 20) << fRate;
        // Forwards, every picture. Backwards, mpv corrects its timing against the sound in its first
        // pictures more than forwards (target times 36 to 144 ms apart for 40 ms frames were measured),
        // which can miscount one of them.
        if (fRate > 0)
            EXPECT_EQ(nApart, 0) << nApart << " of " << nChecked << ", first " << qPrintable(strFirst);
        else
            EXPECT_LE(nApart * 20, nChecked)
                << nApart << " of " << nChecked << ", first " << qPrintable(strFirst);
        // What the player's frame replaces: the report alone is the next picture in most of them.
        EXPECT_GT(nReportApart * 2, nChecked) << fRate;
        qt.freeRenderContext();
    }
}
