// Exact-seek latency of the player on a long-GOP 1080p H.264 movie: the time from GoToTime until
// the sought picture is decoded and shown (mpv's playback restart), for random frames and for the
// next frame. Also the cost of one clock step as the band pays it every frame.
//
// Usage: seek_latency [MOVIE] [SEEKS]   (default: the generated bench movie, 200 seeks)
#include "sync/QuickTime.h"
#include "sync/SyncManager.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct CFigures {
    double dMedian, dP95, dMean, dMax;
};

CFigures figures(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double dSum = 0;
    for (const double d : v)
        dSum += d;
    const size_t n = v.size();
    return {v[n / 2], v[std::min(n - 1, size_t(double(n) * 0.95))], dSum / double(n), v.back()};
}

void print(const char* pszWhat, const CFigures& f, size_t n) {
    std::printf("%-28s n=%4zu  median %7.1f ms  p95 %7.1f ms  mean %7.1f ms  max %7.1f ms\n", pszWhat, n,
                f.dMedian, f.dP95, f.dMean, f.dMax);
}

double timedSeek(CQuickTime& qt, int t) {
    const auto t0 = Clock::now();
    if (!qt.GoToTime(t) || !qt.waitForSeek(20000)) {
        std::fprintf(stderr, "seek to %d failed\n", t);
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}
} // namespace

int main(int argc, char** argv) {
    QString strMovie = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                : QStringLiteral(TAVORIN_BINARY_DIR "/bench-media/longgop1080.mov");
    const int nSeeks = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
    if (!QFileInfo::exists(strMovie)) {
        std::printf("generating %s ...\n", qPrintable(strMovie));
        const QByteArray cmd = QByteArrayLiteral(TAVORIN_SOURCE_DIR "/tools/make-bench-media ") +
                               QFileInfo(strMovie).absolutePath().toLocal8Bit();
        if (std::system(cmd.constData()) != 0) return 1;
    }

    CQuickTime qt;
    if (!qt.initialize() || !qt.open(strMovie)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(strMovie));
        return 1;
    }
    const int nFrames = int(qt.getDuration() * qt.getFrameRate() / 600.0 + 0.5);
    const int nUnits = int(600.0 / qt.getFrameRate() + 0.5);
    std::printf("%s: %d frames at %.3f fps\n", qPrintable(strMovie), nFrames, qt.getFrameRate());

    std::mt19937 rng(7);
    std::uniform_int_distribution<int> frame(0, nFrames - 1);
    std::vector<double> random, next;
    timedSeek(qt, qt.getStartTime()); // warm up the decoder
    for (int i = 0; i < nSeeks; ++i)
        random.push_back(timedSeek(qt, qt.getStartTime() + frame(rng) * nUnits));
    int n = frame(rng);
    for (int i = 0; i < nSeeks / 2; ++i) {
        n = std::min(n + 1, nFrames - 1);
        next.push_back(timedSeek(qt, qt.getStartTime() + n * nUnits));
    }
    print("exact seek, random frame", figures(random), random.size());
    print("exact seek, next frame", figures(next), next.size());

    // The clock step and the position query, as run once per displayed frame.
    CSyncManager sync;
    sync.setMaster(CSyncManager::MASTER_INTERNAL);
    sync.setRate(24);
    const int nSteps = 10000000;
    const auto t0 = Clock::now();
    long long nSum = 0;
    for (int i = 0; i < nSteps; ++i) {
        sync.compute();
        nSum += sync.getTime(1);
    }
    const double dNs = std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / nSteps;
    std::printf("clock step + getTime          %.1f ns per frame (checksum %lld)\n", dNs, nSum % 1000);
    return 0;
}
