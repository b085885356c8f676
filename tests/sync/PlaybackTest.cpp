#include "FrameNumber.h"
#include "MediaFiles.h"
#include "sync/ClockDriver.h"
#include "sync/QuickTime.h"
#include "sync/SyncManager.h"

#include <chrono>
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

    // Runs the loop for a wall-clock duration, or until the clock stops when bUntilStop is set.
    void run(milliseconds duration, bool bUntilStop = false) {
        const auto tEnd = steady_clock::now() + duration;
        while (steady_clock::now() < tEnd) {
            m_driver.tick();
            m_qt.onIdle();
            if (bUntilStop && m_sync.getRate() == 0) return;
            std::this_thread::sleep_for(milliseconds(5));
        }
    }

    // Media time travelled while playing at a rate for a wall-clock duration.
    int travel(int nRate, milliseconds duration) {
        const int nFrom = m_sync.getTime(0);
        m_sync.setRate(nRate);
        run(duration);
        const int nTo = m_sync.getTime(0);
        m_sync.setRate(0);
        return nTo - nFrom;
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
    EXPECT_NEAR(travel(24, milliseconds(2000)), 2 * 600, 3 * FRAME);
    expectPictureMatchesClock();
    go("10:00:05:00");
    EXPECT_NEAR(travel(72, milliseconds(2000)), 6 * 600, 4 * FRAME);
    expectPictureMatchesClock();
}

TEST_F(PlaybackTest, ReversePlayMovesBackwards) {
    go("10:00:20:00");
    EXPECT_NEAR(travel(-24, milliseconds(1500)), -900, 4 * FRAME);
    expectPictureMatchesClock();
}

TEST_F(PlaybackTest, ShuttleAtTenTimesSpeedStepsAndPinsAtTheLimits) {
    go("10:00:03:00");
    m_sync.setRate(240);
    EXPECT_EQ(m_qt.getMovieRate(), 0.0f); // the player does not play ten times speed itself
    const int nFrom = m_sync.getTime(0);
    run(milliseconds(1000));
    EXPECT_NEAR(m_sync.getTime(0) - nFrom, 6000, 2 * 80); // a step is 80 units at this speed

    go("10:00:28:00");
    run(milliseconds(700)); // past the end
    EXPECT_EQ(m_sync.getTime(0), m_qt.getEndTime());
    EXPECT_EQ(m_sync.getRate(), 240);
    ASSERT_TRUE(m_qt.waitForSeek());
    EXPECT_EQ(shownFrameNumber(m_qt), 749);

    go("10:00:02:00");
    m_sync.setRate(-240);
    run(milliseconds(700)); // back past the start
    EXPECT_EQ(m_sync.getTime(0), m_qt.getStartTime());
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
    run(milliseconds(5000), true);
    EXPECT_EQ(m_sync.getRate(), 0);
    EXPECT_EQ(m_sync.getTimeCode(0), tc("10:00:10:03"));
    expectPictureMatchesClock();
    EXPECT_EQ(shownFrameNumber(m_qt), 253);

    m_sync.jogBackward();
    run(milliseconds(5000), true);
    EXPECT_EQ(m_sync.getTimeCode(0), tc("10:00:10:02"));
    expectPictureMatchesClock();
}

TEST_F(PlaybackTest, PlayingStopsOneFrameBeforeTheEnd) {
    go("10:00:29:00");
    m_sync.setRate(24);
    run(milliseconds(3000), true);
    EXPECT_EQ(m_sync.getRate(), 0);
    EXPECT_EQ(m_sync.getTimeCode(0), tc("10:00:29:24"));
    expectPictureMatchesClock();
}
