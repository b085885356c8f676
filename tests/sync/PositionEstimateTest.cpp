#include "sync/PositionEstimate.h"
#include "ManualClock.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
using namespace std::chrono;
constexpr int FRAME = 24;
constexpr long long DURATION = 750 * FRAME;

struct CEstimated {
    CManualClock clock;
    CPositionEstimate position{clock.source()};
    CEstimated() { position.setMovie(DURATION, FRAME); }
};
} // namespace

// At one eighth of normal speed mpv moves on a frame every 320 ms: in between, the position moves with the
// speed, never backwards and never onto the next frame before mpv shows it.
TEST(PositionEstimateTest, SlowPlayMovesBetweenTheFramesThePlayerReports) {
    CEstimated e;
    const long long nFrom = 240 * FRAME;
    e.position.anchor(nFrom);
    EXPECT_EQ(e.position.at(0.125f), nFrom);
    e.clock.advance(milliseconds(100));
    EXPECT_EQ(e.position.at(0.125f), nFrom + 8); // 7.5 units
    e.clock.advance(milliseconds(300));
    EXPECT_EQ(e.position.at(0.125f), nFrom + FRAME - 1) << "mpv has not shown the next frame yet";

    // 1.2 s sampled every 10 ms, with mpv's reports of the frames it shows every 320 ms.
    CEstimated p;
    p.position.anchor(nFrom);
    std::vector<long long> samples;
    long long nShown = nFrom;
    for (int ms = 10; ms <= 1200; ms += 10) {
        p.clock.advance(milliseconds(10));
        if (ms % 320 == 0) p.position.anchor(nShown += FRAME);
        samples.push_back(p.position.at(0.125f));
    }
    int nDistinct = 1, nBackwards = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        nDistinct += samples[i] != samples[i - 1];
        nBackwards += samples[i] < samples[i - 1];
    }
    EXPECT_EQ(nBackwards, 0);
    EXPECT_GT(nDistinct, 60); // whole frames alone would give four values
    EXPECT_NEAR(samples.back() - nFrom, 1.2 * 600 / 8, 2);
}

TEST(PositionEstimateTest, StandingReverseAndTheMovieLimits) {
    CEstimated e;
    e.position.anchor(100 * FRAME);
    e.clock.advance(seconds(5));
    EXPECT_EQ(e.position.at(0.0f), 100 * FRAME) << "a standing movie stays where it is";
    EXPECT_EQ(e.position.at(-1.0f), 100 * FRAME - (FRAME - 1)) << "backwards, up to the frame before";
    e.position.restart(); // the picture of the seek is shown: the movement starts from now
    e.clock.advance(milliseconds(20));
    EXPECT_EQ(e.position.at(-1.0f), 100 * FRAME - 12);
    EXPECT_EQ(e.position.at(3.0f), 100 * FRAME + 23);

    e.position.anchor(10);
    e.clock.advance(milliseconds(30));
    EXPECT_EQ(e.position.at(-1.0f), 0) << "never before the movie's start";
    e.position.anchor(DURATION - 5);
    e.clock.advance(milliseconds(100));
    EXPECT_EQ(e.position.at(1.0f), DURATION) << "never after its end";

    // Frames of 40 units (15 fps): the position may move up to 39 units past the last report.
    e.position.setMovie(DURATION, 40);
    e.position.anchor(4000);
    e.clock.advance(seconds(1));
    EXPECT_EQ(e.position.at(1.0f), 4039);
}
