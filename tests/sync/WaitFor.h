#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Polls a condition (every 5 ms) until it holds or the time runs out; whether it held. The limits are
// generous: they only bound a test that would otherwise hang, a loaded machine just takes longer.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto tEnd = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > tEnd) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
