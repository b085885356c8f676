#include "sync/SyncManager.h"
#include "FakePlayer.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {
constexpr int TEN_HOURS = 10 * 3600 * 600;
constexpr int FRAME = 24;
constexpr int SECOND = 600;

CTimeCode tc(const char* psz) {
    return CTimeCode(psz);
}

// The internal clock moves by exactly the increment of each step, so it shows the step sizes.
int stepOnce(int nFrequency, int nRate, int nFrom = 6000) {
    CSyncManager sync;
    sync.setMaster(CSyncManager::MASTER_INTERNAL);
    sync.setComputeFrequency(nFrequency);
    CTimeCode at;
    at.fromMediaTime(nFrom);
    sync.gotoTime(at);
    sync.setRate(nRate);
    const int nBefore = sync.getTime(0);
    sync.compute();
    return sync.getTime(0) - nBefore;
}
} // namespace

TEST(SyncManagerTest, IncrementFollowsRateAndComputeFrequency) {
    EXPECT_EQ(stepOnce(75, 24), 8);
    EXPECT_EQ(stepOnce(75, 3), 1);
    EXPECT_EQ(stepOnce(75, -3), -1);
    EXPECT_EQ(stepOnce(50, 3), 1);
    EXPECT_EQ(stepOnce(60, 24), 10);
    EXPECT_EQ(stepOnce(85, 24), 7);
    EXPECT_EQ(stepOnce(25, 24), 24);
    EXPECT_EQ(stepOnce(75, 240), 80);
    EXPECT_EQ(stepOnce(75, 0), 0);

    CSyncManager sync;
    sync.setMaster(CSyncManager::MASTER_INTERNAL);
    sync.setRate(24);
    for (int i = 0; i < 75; ++i)
        sync.compute();
    EXPECT_EQ(sync.getTime(0), SECOND);
}

TEST(SyncManagerTest, InternalClockLimitsAndLookAhead) {
    CSyncManager sync;
    sync.setMaster(CSyncManager::MASTER_INTERNAL);
    sync.setRate(-24);
    CTimeCode at;
    at.setFrames(0);
    sync.gotoTime(at);
    sync.setRate(-24);
    // From 5 units a reverse step of 8 stops at 0.
    sync.compute(); // 0
    sync.setRate(24);
    sync.compute(); // 8
    sync.setRate(-24);
    EXPECT_EQ(sync.getTime(0), 8);
    sync.compute();
    sync.compute();
    EXPECT_EQ(sync.getTime(0), 0);

    sync.setRate(24);
    EXPECT_EQ(sync.getTime(1), 1);
    sync.setRate(72);
    EXPECT_EQ(sync.getTime(1), 3);
    // Without media the clock covers the day: it stops at its end rather than running past midnight.
    EXPECT_EQ(sync.getStartTimeCode(), TC_ZERO);
    EXPECT_EQ(sync.getEndTimeCode(), TC_MAX);
    sync.gotoTime(tc("23:59:58:20"));
    sync.setRate(240);
    for (int i = 0; i < 30; ++i)
        sync.compute();
    EXPECT_EQ(sync.getTimeCode(0), TC_MAX);
    EXPECT_EQ(sync.getRate(), 0);

    // An invalid timecode sends the clock to -24 until the next step clamps it.
    CSyncManager other;
    other.setMaster(CSyncManager::MASTER_INTERNAL);
    other.gotoTime(TC_INVALID);
    EXPECT_EQ(other.getTime(0), -24);
    other.compute();
    EXPECT_EQ(other.getTime(0), 0);
}

TEST(SyncManagerTest, SteppedPlaySeeksOneStepInThreeAndPinsAtTheLimits) {
    CFakePlayer player(TEN_HOURS, 60 * SECOND);
    CSyncManager sync;
    sync.setPlayer(&player);
    sync.gotoTime(tc("10:00:58:00"));
    player.m_seeks.clear();
    sync.setRate(240);
    // The player refuses ten times speed and stands still.
    ASSERT_FALSE(player.m_plays.empty());
    EXPECT_EQ(player.m_plays.back(), 0.0f);
    EXPECT_EQ(sync.getRate(), 240);

    const int nFrom = TEN_HOURS + 58 * SECOND;
    player.m_seeks.clear();
    for (int i = 0; i < 9; ++i)
        sync.compute();
    ASSERT_EQ(player.m_seeks.size(), 3u);
    EXPECT_EQ(player.m_seeks[0], nFrom + 80);
    EXPECT_EQ(player.m_seeks[1], nFrom + 4 * 80);
    EXPECT_EQ(player.m_seeks[2], nFrom + 7 * 80);
    EXPECT_EQ(sync.getTime(0), nFrom + 9 * 80); // the clock, not the player, is the position

    for (int i = 0; i < 30; ++i)
        sync.compute();
    EXPECT_EQ(sync.getTime(0), TEN_HOURS + 60 * SECOND);
    EXPECT_EQ(sync.getRate(), 240);
    // The picture was sent to the end once on arrival, and is left alone while pinned there.
    EXPECT_EQ(player.m_seeks.back(), TEN_HOURS + 60 * SECOND);
    EXPECT_EQ(std::count(player.m_seeks.begin(), player.m_seeks.end(), TEN_HOURS + 60 * SECOND), 1);

    // A player that started playing again is stopped by the next stepped step.
    player.m_fRate = 1.0f;
    sync.compute();
    EXPECT_EQ(player.m_fRate, 0.0f);

    sync.setRate(-240);
    for (int i = 0; i < 500; ++i)
        sync.compute();
    EXPECT_EQ(sync.getTime(0), TEN_HOURS);
    EXPECT_EQ(sync.getRate(), -240);
}

TEST(SyncManagerTest, PlayerDrivenPlayStopsOneFrameBeforeTheEnd) {
    CFakePlayer player(0, 60 * SECOND);
    CSyncManager sync;
    sync.setPlayer(&player);
    sync.gotoTime(tc("00:00:59:23"));
    sync.setRate(24);
    EXPECT_EQ(player.m_plays.back(), 1.0f);
    // The clock integrates beside the (fake, motionless) player: 59 s 23 frames is end - 48, so the
    // third step lands on end - 24 and the fourth crosses it.
    for (int i = 0; i < 3; ++i)
        sync.compute();
    EXPECT_EQ(sync.getRate(), 24);
    sync.compute();
    EXPECT_EQ(sync.getRate(), 0);
    EXPECT_EQ(player.m_plays.back(), 0.0f);
    EXPECT_EQ(player.m_seeks.back(), 60 * SECOND - FRAME);
    EXPECT_EQ(player.m_nTime, 60 * SECOND - FRAME);

    // Reverse play stops on the first frame of a movie with a timestamp.
    CFakePlayer late(TEN_HOURS, 60 * SECOND);
    sync.setPlayer(&late);
    sync.gotoTime(tc("10:00:00:01"));
    sync.setRate(-24);
    for (int i = 0; i < 3; ++i)
        sync.compute();
    EXPECT_EQ(sync.getRate(), -24);
    sync.compute();
    EXPECT_EQ(sync.getRate(), 0);
    EXPECT_EQ(late.m_seeks.back(), TEN_HOURS);
}

TEST(SyncManagerTest, StoppingAlignsOnTheFrameThePlayerShows) {
    CFakePlayer player(0, 60 * SECOND);
    CSyncManager sync;
    sync.setPlayer(&player);
    sync.setRate(24);
    player.m_nTime = 6000 + 13; // between two frames
    sync.setRate(0);
    EXPECT_EQ(player.m_seeks.back(), 6000);
    EXPECT_EQ(sync.getTime(0), 6000);
    EXPECT_EQ(sync.getTimeCode(0), tc("00:00:10:00"));
}

TEST(SyncManagerTest, StartingToPlayHonoursTheScreenDelays) {
    CFakePlayer player(0, 60 * SECOND), control(0, 60 * SECOND);
    CSyncManager sync;
    sync.setPlayer(&player);
    sync.setControlPlayer(&control);
    sync.setScreenDelays(48, 0);
    sync.gotoTime(tc("00:00:10:00"));
    sync.setRate(24);
    EXPECT_EQ(player.m_gotos.back(), 250 - 2);
    EXPECT_EQ(control.m_gotos.back(), 250);
    EXPECT_EQ(control.m_plays.back(), 1.0f);
    sync.setRate(0);
    sync.setScreenDelays(0, 24);
    sync.setRate(-24);
    // Stopping re-aligned on the main player, which had been sent two frames early.
    EXPECT_EQ(player.m_gotos.back(), 248);
    EXPECT_EQ(control.m_gotos.back(), 249);
    EXPECT_EQ(control.m_plays.back(), -1.0f);
}

TEST(SyncManagerTest, JogAccumulatesAndStopsOnItsTarget) {
    CFakePlayer player(0, 60 * SECOND);
    CSyncManager sync;
    sync.setPlayer(&player);
    sync.gotoTime(tc("00:00:10:00"));
    sync.jogForward();
    EXPECT_EQ(sync.getRate(), 3);
    EXPECT_EQ(sync.getJogState(), 1);
    EXPECT_EQ(sync.getJogTarget(), tc("00:00:10:01"));
    int nSteps = 0;
    while (sync.getRate() != 0 && nSteps < 1000) {
        sync.compute();
        ++nSteps;
    }
    EXPECT_EQ(nSteps, 25); // one frame at one eighth of normal speed
    EXPECT_EQ(sync.getJogState(), 0);
    EXPECT_EQ(player.m_seeks.back(), 6000 + FRAME);
    EXPECT_EQ(sync.getTimeCode(0), tc("00:00:10:01"));

    // Three quick presses: target three frames ahead, rate 9; eight frames ahead reach normal speed.
    sync.jogForward();
    sync.jogForward();
    sync.jogForward();
    EXPECT_EQ(sync.getJogTarget(), tc("00:00:10:04"));
    EXPECT_EQ(sync.getRate(), 9);
    for (int i = 0; i < 6; ++i)
        sync.jogForward();
    EXPECT_EQ(sync.getRate(), 24);

    // Backward after forward starts again from the current position.
    sync.jogBackward();
    EXPECT_EQ(sync.getJogState(), -1);
    EXPECT_EQ(sync.getJogTarget(), tc("00:00:10:00"));
    EXPECT_EQ(sync.getRate(), -3);
    while (sync.getRate() != 0)
        sync.compute();
    EXPECT_EQ(player.m_nTime, 6000);

    // At the media's end the target stays on the end.
    sync.gotoTime(tc("00:01:00:00"));
    sync.jogForward();
    EXPECT_EQ(sync.getJogTarget(), tc("00:01:00:00"));
}

TEST(SyncManagerTest, JogNeverWrapsAroundMidnight) {
    CSyncManager sync; // no player: start and end are 00:00:00:00
    sync.setMaster(CSyncManager::MASTER_INTERNAL);
    sync.jogBackward();
    EXPECT_EQ(sync.getJogTarget(), TC_ZERO);
    EXPECT_EQ(sync.getRate(), 0);
    sync.gotoTime(tc("23:59:59:24"));
    sync.jogForward();
    EXPECT_EQ(sync.getJogTarget(), tc("23:59:59:24"));
    EXPECT_EQ(sync.getRate(), 0);
}

TEST(SyncManagerTest, MastersChooseWhatDrivesTime) {
    CFakePlayer player(0, 60 * SECOND);
    CSyncManager sync;
    sync.setPlayer(&player);
    sync.gotoTime(tc("00:00:02:00"));
    sync.setRate(24);
    player.m_nTime = 1500;
    EXPECT_EQ(sync.getTime(0), 1500); // the player is the position
    EXPECT_EQ(sync.getEndTimeCode(), tc("00:01:00:00"));

    sync.setMaster(CSyncManager::MASTER_INTERNAL);
    EXPECT_EQ(player.m_plays.back(), 0.0f);
    EXPECT_EQ(sync.getTime(0), 1200);
    EXPECT_EQ(sync.getEndTimeCode(), TC_MAX);
    sync.compute();
    EXPECT_EQ(sync.getTime(0), 1208);

    sync.setMaster(CSyncManager::MASTER_PLAYER);
    EXPECT_EQ(player.m_plays.back(), 1.0f);

    sync.setMaster(7);
    EXPECT_EQ(sync.getTime(0), 0);
    const size_t nPlays = player.m_plays.size();
    sync.setRate(48);
    EXPECT_EQ(sync.getRate(), 48);
    EXPECT_EQ(player.m_plays.size(), nPlays);
    sync.compute();
    sync.setMaster(CSyncManager::MASTER_INTERNAL);
    EXPECT_EQ(sync.getTime(0), 1208 + 16);
}

TEST(SyncManagerTest, WithoutMediaThePlayerMasterStaysAtZero) {
    CFakePlayer player(0, 0);
    player.m_bMovie = false;
    CSyncManager sync;
    sync.setPlayer(&player);
    EXPECT_FALSE(sync.gotoTime(tc("00:00:10:00")));
    sync.setRate(24);
    for (int i = 0; i < 10; ++i)
        sync.compute();
    EXPECT_EQ(sync.getTime(0), 0);
    EXPECT_EQ(sync.getRate(), 0); // crossed the (empty) media's limit
}

TEST(SyncManagerTest, TracesStopsAndJogs) {
    QTemporaryDir dir;
    CFakePlayer player(0, 60 * SECOND);
    CSyncManager sync;
    sync.init(&player, 1, CTraceLog::TYPE_FILE, dir.path());
    sync.gotoTime(tc("00:00:10:00"));
    sync.jogForward();
    while (sync.getRate() != 0)
        sync.compute();
    QFile log(sync.getLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("CSyncManager::jogTo(00:00:10:01) => 3\n")) << text.constData();
    EXPECT_TRUE(text.contains("Stop at 00:00:10:01 (6024)\n"));
    // Level 1 does not include the masked per-step line.
    EXPECT_FALSE(text.contains("compute : "));
}
