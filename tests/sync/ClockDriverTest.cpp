#include "sync/ClockDriver.h"
#include "ManualClock.h"
#include "sync/SyncManager.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {
using namespace std::chrono;

struct CDriven {
    CManualClock clock;
    CSyncManager sync;
    CClockDriver driver{sync, clock.source()};
    CDriven() { sync.setMaster(CSyncManager::MASTER_INTERNAL); }

    // Ticks every period, n times; returns the media time travelled.
    int run(microseconds period, int nTicks) {
        const int nFrom = sync.getTime(0);
        for (int i = 0; i < nTicks; ++i) {
            clock.now += period;
            driver.tick();
        }
        return sync.getTime(0) - nFrom;
    }
};
} // namespace

TEST(ClockDriverTest, RealSpeedWhateverTheFrameRate) {
    // Frames twice as fast as the compute frequency (no retrace), at it, and late (25 fps).
    for (const microseconds period :
         {microseconds(6667), microseconds(13333), microseconds(40000), microseconds(110000)}) {
        CDriven d;
        d.sync.setRate(24);
        d.driver.tick();
        const int nTicks = int(4000000 / period.count());
        const double dExpected = 600.0 * double(nTicks * period.count()) / 1e6;
        EXPECT_NEAR(d.run(period, nTicks), dExpected, 8) << period.count();
    }
    CDriven d;
    d.sync.setComputeFrequency(60);
    d.sync.setRate(240);
    d.driver.tick();
    EXPECT_NEAR(d.run(microseconds(7000), 3000 / 7), 6000.0 * 7 * (3000 / 7) / 1000.0, 100);
}

TEST(ClockDriverTest, OneStepPerFrameDespiteJitter) {
    CDriven d;
    d.sync.setRate(24);
    d.driver.tick();
    // 75 Hz frames, each shown up to 4 ms early or late around its regular time.
    const auto tStart = d.clock.now;
    for (int i = 1; i <= 300; ++i) {
        const auto jitter = microseconds(std::lround(4000.0 * std::sin(i * 1.7)));
        d.clock.now = tStart + microseconds(13333) * i + jitter;
        EXPECT_EQ(d.driver.tick(), 1) << i;
    }
}

TEST(ClockDriverTest, StallsAreCappedAndStartsDoNotReplayIdleTime) {
    CDriven d;
    d.sync.setRate(24);
    d.driver.tick();
    d.clock.now += seconds(5);
    EXPECT_EQ(d.driver.tick(), d.driver.getMaxCatchUp());

    // Stopped for a minute (the loop idles), then play: one step, not a catch-up.
    d.sync.setRate(0);
    d.driver.tick();
    d.clock.now += seconds(60);
    d.sync.setRate(24);
    EXPECT_EQ(d.driver.tick(), 1);
    d.clock.now += milliseconds(40);
    EXPECT_EQ(d.driver.tick(), 3);

    d.driver.setMaxCatchUp(0);
    EXPECT_EQ(d.driver.getMaxCatchUp(), 1);
}
