#pragma once

#include <chrono>
#include <functional>

// "Now" on the monotonic clock, from a source that tests replace to move time by hand.
struct CSteadyTime {
    using TimePoint = std::chrono::steady_clock::time_point;
    using Source = std::function<TimePoint()>;

    // The source's time, or the steady clock's without a source.
    static TimePoint now(const Source& source) {
        return source ? source() : std::chrono::steady_clock::now();
    }
};
