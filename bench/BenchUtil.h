#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

// A small timing harness: runs a body several times and reports the median in milliseconds.
namespace bench {
using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The calling thread's processor time in milliseconds: what other processes of a shared machine do in
// the meantime does not count.
inline double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

template <class F> double medianMs(int nRuns, F&& body) {
    std::vector<double> v;
    for (int i = 0; i < nRuns; ++i) {
        const auto t0 = Clock::now();
        body();
        v.push_back(msSince(t0));
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The value after "--name" on the command line, at least nMin; nDefault when absent.
inline int intOption(int argc, char** argv, const char* pszName, int nDefault, int nMin) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], pszName) == 0) return std::max(nMin, std::atoi(argv[i + 1]));
    return nDefault;
}

inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}
} // namespace bench
