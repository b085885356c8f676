#include "FrameNumber.h"
#include "MediaFiles.h"
#include "sync/ClockDriver.h"
#include "sync/QuickTime.h"
#include "sync/SyncManager.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {
using namespace std::chrono;
constexpr int FRAME = 24;

CTimeCode tc(const char* psz) {
    return CTimeCode(psz);
}

// The clock, the player and the driver as the application wires them, run by a loop that renders
// (ticks) about 200 times a second, like a display without retrace.
//
// These run in real time. A loaded machine delays them (the player takes a while to start, reverse play
// decodes back from a key frame, the loop's turns come late) but must not fail them: speeds are measured
// once the picture moves, from the wall-clock time of each sample, and waits are for conditions.
class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_qt.initialize());
        ASSERT_TRUE(m_qt.open(testMedia("frames.mov")));
        m_sync.setPlayer(&m_qt);
        m_sync.setMaster(CSyncManager::MASTER_PLAYER);
    }

    void go(const char* psz) {
        ASSERT_TRUE(m_sync.gotoTime(tc(psz)));
        ASSERT_TRUE(m_qt.waitForSeek());
    }

    void turn() {
        m_driver.tick();
        m_qt.onIdle();
    }

    // Runs the loop until the condition holds (true) or 20 s have passed (false).
    bool runUntil(const std::function<bool()>& condition) {
        const auto tEnd = steady_clock::now() + seconds(20);
        while (!condition()) {
            if (steady_clock::now() > tEnd) return false;
            turn();
            std::this_thread::sleep_for(milliseconds(5));
        }
        return true;
    }

    // Runs the loop for a while, and two turns at least however late they come.
    void runFor(milliseconds duration) {
        const auto tEnd = steady_clock::now() + duration;
        turn();
        runUntil([&] { return steady_clock::now() >= tEnd; });
        turn();
    }

    // The clock's position and when it was read, from a turn of the loop that was not interrupted.
    struct CSample {
        steady_clock::time_point t;
        int nTime;
    };
    CSample sample() {
        for (;;) {
            const auto t0 = steady_clock::now();
            turn();
            const int nTime = m_sync.getTime(0);
            const auto t1 = steady_clock::now();
            if (t1 - t0 < milliseconds(3)) return {t0 + (t1 - t0) / 2, nTime};
        }
    }

    // Plays at a rate; once the clock moves, the media time it travels in about a second and a half
    // against what the wall-clock time allows, in 1/600 s.
    struct CTravel {
        int nTravelled;
        double dExpected;
    };
    CTravel travel(int nRate) {
        const int nFrom = m_sync.getTime(0);
        m_sync.setRate(nRate);
        EXPECT_TRUE(runUntil([&] { return std::abs(m_sync.getTime(0) - nFrom) >= 2 * FRAME; }))
            << "the clock did not start";
        const CSample a = sample();
        runFor(milliseconds(1500));
        const CSample b = sample();
        m_sync.setRate(0);
        return {b.nTime - a.nTime, duration<double>(b.t - a.t).count() * 600.0 * nRate / 24.0};
    }

    // A speed is right within a tenth (and three frames): a clock read wrongly (the player's position
    // taken as the clock's, a scale or a rate off) is further out; the exact step is for ClockDriverTest.
    static void expectSpeed(const CTravel& travel) {
        EXPECT_NEAR(travel.nTravelled, travel.dExpected,
                    std::max(3.0 * FRAME, std::abs(travel.dExpected) / 10));
    }

    // After a stop the picture shown is the frame of the clock's timecode.
    void expectPictureMatchesClock() {
        ASSERT_TRUE(m_qt.waitForSeek());
        const int nFrame = m_sync.getTimeCode(0).getFrames() - m_qt.getStartTimeCode().getFrames();
        EXPECT_EQ(shownFrameNumber(m_qt), nFrame);
    }

    CQuickTime m_qt;
    CSyncManager m_sync;
    CClockDriver m_driver{m_sync};
};
} // namespace

TEST_F(PlaybackTest, NormalAndTripleSpeedKeepWallClockTime) {
    go("10:00:02:00");
    expectSpeed(travel(24));
    expectPictureMatchesClock();
    go("10:00:05:00");
    expectSpeed(travel(72));
    expectPictureMatchesClock();
}

TEST_F(PlaybackTest, ReversePlayMovesBackwards) {
    go("10:00:20:00");
    const CTravel back = travel(-24);
    EXPECT_LT(back.nTravelled, 0);
    expectSpeed(back);
    expectPictureMatchesClock();
}

TEST_F(PlaybackTest, ShuttleAtTenTimesSpeedStepsAndPinsAtTheLimits) {
    go("10:00:03:00");
    m_sync.setRate(240);
    EXPECT_EQ(m_qt.getMovieRate(), 0.0f); // the player does not play ten times speed itself
    m_sync.setRate(0);
    expectSpeed(travel(240));

    go("10:00:28:00");
    m_sync.setRate(240);
    EXPECT_TRUE(runUntil([&] { return m_sync.getTime(0) == m_qt.getEndTime(); })) << "up to the end";
    runFor(milliseconds(200)); // and past it: some more steps (the driver catches up on late turns)
    EXPECT_EQ(m_sync.getTime(0), m_qt.getEndTime());
    EXPECT_EQ(m_sync.getRate(), 240);
    ASSERT_TRUE(m_qt.waitForSeek());
    EXPECT_EQ(shownFrameNumber(m_qt), 749);

    go("10:00:02:00");
    m_sync.setRate(-240);
    EXPECT_TRUE(runUntil([&] { return m_sync.getTime(0) == m_qt.getStartTime(); })) << "back to the start";
    runFor(milliseconds(200));
    EXPECT_EQ(m_sync.getRate(), -240);
    m_sync.setRate(0);
    expectPictureMatchesClock();
    EXPECT_EQ(shownFrameNumber(m_qt), 0);
}

TEST_F(PlaybackTest, JogStopsExactlyOnItsTarget) {
    go("10:00:10:00");
    m_sync.jogForward();
    m_sync.jogForward();
    m_sync.jogForward();
    EXPECT_EQ(m_sync.getRate(), 9);
    EXPECT_TRUE(runUntil([&] { return m_sync.getRate() == 0; }));
    EXPECT_EQ(m_sync.getTimeCode(0), tc("10:00:10:03"));
    expectPictureMatchesClock();
    EXPECT_EQ(shownFrameNumber(m_qt), 253);

    m_sync.jogBackward();
    EXPECT_TRUE(runUntil([&] { return m_sync.getRate() == 0; }));
    EXPECT_EQ(m_sync.getTimeCode(0), tc("10:00:10:02"));
    expectPictureMatchesClock();
}

TEST_F(PlaybackTest, PlayingStopsOneFrameBeforeTheEnd) {
    go("10:00:29:00");
    m_sync.setRate(24);
    EXPECT_TRUE(runUntil([&] { return m_sync.getRate() == 0; }));
    EXPECT_EQ(m_sync.getTimeCode(0), tc("10:00:29:24"));
    expectPictureMatchesClock();
}
