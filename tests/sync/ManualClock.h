#pragma once

#include "sync/SteadyTime.h"

// A monotonic clock that the test moves by hand.
struct CManualClock {
    CSteadyTime::TimePoint now{std::chrono::seconds(1000)};
    CSteadyTime::Source source() {
        return [this] { return now; };
    }
    void advance(std::chrono::microseconds d) { now += d; }
};
