// Browsing a long-GOP 1080p H.264 movie, and its working copy: exact seeks to random frames, single
// frame steps forwards and backwards, the start of reverse play and the rate it then holds, measured
// from the call until mpv shows the picture. Then the making of the working copy (in-process, and the
// same coding by the ffmpeg program for comparison), and the cost of one clock step.
//
// Usage: bench_seek [MOVIE] [SEEKS] [--width W] [--no-original] [--no-copy] [--no-ffmpeg]
//        (default: the generated bench movie, 200 seeks, copy width 960)
#include "sync/QuickTime.h"
#include "sync/SyncManager.h"
#include "sync/WorkingCopyCache.h"
#include "sync/WorkingCopyMaker.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

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

void print(const char* pszWho, const char* pszWhat, const std::vector<double>& v) {
    const CFigures f = figures(v);
    std::printf("%-9s %-26s n=%4zu  median %7.1f ms  p95 %7.1f ms  mean %7.1f ms  max %7.1f ms\n", pszWho,
                pszWhat, v.size(), f.dMedian, f.dP95, f.dMean, f.dMax);
    std::fflush(stdout);
}

// Resident memory of the process, in MiB.
double residentMiB() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0.0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0.0;
}

double timedSeek(CQuickTime& qt, int t) {
    const auto t0 = Clock::now();
    if (!qt.GoToTime(t) || !qt.waitForSeek(20000)) {
        std::fprintf(stderr, "seek to %d failed\n", t);
        std::exit(1);
    }
    return msSince(t0);
}

// Waits until mpv shows a picture before the one it stood on; false after a minute.
bool waitForBackwardPicture(CQuickTime& qt, long long nFrom) {
    const auto t0 = Clock::now();
    while (msSince(t0) < 60000.0) {
        const long long n = qt.getShownFrame();
        if (n >= 0 && n < nFrom) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

void browse(const char* pszWho, const QString& strMovie, int nSeeks, std::mt19937& rng) {
    CQuickTime qt;
    if (!qt.initialize() || !qt.open(strMovie)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(strMovie));
        std::exit(1);
    }
    const int nFrames = int(qt.getDuration() * qt.getFrameRate() / 600.0 + 0.5);
    const int nUnits = int(600.0 / qt.getFrameRate() + 0.5);
    const int nStart = qt.getStartTime();
    std::uniform_int_distribution<int> frame(0, nFrames - 1);
    std::uniform_int_distribution<int> late(nFrames / 4, nFrames - 1);
    timedSeek(qt, nStart); // warm up the decoder

    std::vector<double> random, next, back, reverse;
    for (int i = 0; i < nSeeks; ++i)
        random.push_back(timedSeek(qt, nStart + frame(rng) * nUnits));
    for (int nRun = 0; nRun < 4; ++nRun) {
        int n = late(rng);
        timedSeek(qt, nStart + n * nUnits);
        for (int i = 0; i < nSeeks / 8; ++i)
            next.push_back(timedSeek(qt, nStart + std::min(++n, nFrames - 1) * nUnits));
        for (int i = 0; i < nSeeks / 8; ++i)
            back.push_back(timedSeek(qt, nStart + std::max(--n, 0) * nUnits));
    }
    print(pszWho, "exact seek, random frame", random);
    print(pszWho, "step, next frame", next);
    print(pszWho, "step, previous frame", back);

    // Reverse play from a standing picture: until the first earlier picture is shown; then the rate
    // it holds over three seconds and the memory it takes.
    const double dMemory = residentMiB();
    double dPeak = dMemory, dRate = 0.0;
    for (int i = 0; i < 6; ++i) {
        // Back to forward play first: a movie that last played backwards also seeks backwards, which
        // moves the start of reverse play into the seek.
        qt.play(1.0f);
        qt.play(0.0f);
        const int n = late(rng);
        timedSeek(qt, nStart + n * nUnits);
        const auto t0 = Clock::now();
        qt.play(-1.0f);
        if (!waitForBackwardPicture(qt, n))
            std::printf("%-9s reverse play did not start within a minute\n", pszWho);
        reverse.push_back(msSince(t0));
        if (i == 0) {
            const long long nFirst = qt.getShownFrame();
            const auto t1 = Clock::now();
            while (msSince(t1) < 3000.0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                dPeak = std::max(dPeak, residentMiB());
            }
            dRate = double(nFirst - qt.getShownFrame()) / (msSince(t1) / 1000.0);
        }
        qt.play(0.0f);
    }
    print(pszWho, "reverse play, start", reverse);
    std::printf("%-9s reverse play held %.1f frames/s (movie %.1f), memory +%.0f MiB\n", pszWho, dRate,
                qt.getFrameRate(), dPeak - dMemory);
}

// The same coding made by the ffmpeg program: the other way the program could make its copies.
void ffmpegMaking(const QString& strMovie, const QString& strFolder, int nWidth, int nHeight,
                  double dSeconds) {
    QStringList args = {QStringLiteral("-v"),
                        QStringLiteral("error"),
                        QStringLiteral("-nostdin"),
                        QStringLiteral("-y"),
                        QStringLiteral("-i"),
                        strMovie,
                        QStringLiteral("-map"),
                        QStringLiteral("0:v:0"),
                        QStringLiteral("-map"),
                        QStringLiteral("0:a?"),
                        QStringLiteral("-vf"),
                        QStringLiteral("scale=%1:%2").arg(nWidth).arg(nHeight),
                        QStringLiteral("-c:v"),
                        QStringLiteral("libx264"),
                        QStringLiteral("-preset"),
                        QStringLiteral("ultrafast"),
                        QStringLiteral("-crf"),
                        QStringLiteral("20"),
                        QStringLiteral("-g"),
                        QStringLiteral("1"),
                        QStringLiteral("-c:a"),
                        QStringLiteral("copy"),
                        QStringLiteral("-fps_mode"),
                        QStringLiteral("passthrough"),
                        strFolder + QStringLiteral("/ffmpeg.mov")};
    QProcess p;
    const auto t0 = Clock::now();
    p.start(QStringLiteral("ffmpeg"), args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::printf("ffmpeg       (not run: %s)\n", p.readAllStandardError().constData());
        return;
    }
    const double dTook = msSince(t0) / 1000.0;
    std::printf("making   ffmpeg program: %.1f s, %.1f frames/s, %.2fx real time\n", dTook,
                dSeconds * 25.0 / dTook, dSeconds / dTook);
}
} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    int nWidth = CWorkingCopyCache::DEFAULT_WIDTH;
    const int iWidth = int(args.indexOf(QStringLiteral("--width")));
    if (iWidth >= 0 && iWidth + 1 < args.size()) {
        nWidth = args[iWidth + 1].toInt();
        args.remove(iWidth, 2);
    }
    const bool bOriginal = !args.removeAll(QStringLiteral("--no-original"));
    const bool bCopy = !args.removeAll(QStringLiteral("--no-copy"));
    const bool bFfmpeg = !args.removeAll(QStringLiteral("--no-ffmpeg"));
    const QString strMovie =
        !args.isEmpty() ? args[0] : QStringLiteral(TAVORIN_BINARY_DIR "/bench-media/longgop1080.mov");
    const int nSeeks = args.size() > 1 ? std::max(16, args[1].toInt()) : 200;
    if (!QFileInfo::exists(strMovie)) {
        std::printf("generating %s ...\n", qPrintable(strMovie));
        const QByteArray cmd = QByteArrayLiteral(TAVORIN_SOURCE_DIR "/tools/make-bench-media ") +
                               QFileInfo(strMovie).absolutePath().toLocal8Bit();
        if (std::system(cmd.constData()) != 0) return 1;
    }
    std::printf("%s, %d seeks\n", qPrintable(strMovie), nSeeks);

    std::mt19937 rng(7);
    if (bOriginal) browse("original", strMovie, nSeeks, rng);

    if (bCopy) {
        QTemporaryDir dir;
        const QString strCopy = dir.filePath(QStringLiteral("copy.mov"));
        CWorkingCopyMaker maker;
        const CWorkingCopyMaker::EResult e = maker.make(strMovie, strCopy, nWidth);
        if (e != CWorkingCopyMaker::MADE) {
            std::fprintf(stderr, "%s\n", qPrintable(CWorkingCopyMaker::message(e, strMovie)));
            return 1;
        }
        std::printf("making   in-process: %s %dx%d, %lld frames in %.1f s, %.1f frames/s, %.2fx real time, "
                    "%.0f MiB\n",
                    maker.codecName(), maker.width(), maker.height(), (long long)maker.frames(),
                    maker.seconds(), double(maker.frames()) / maker.seconds(),
                    maker.movieSeconds() / maker.seconds(),
                    double(QFileInfo(strCopy).size()) / (1024.0 * 1024.0));
        if (bFfmpeg) ffmpegMaking(strMovie, dir.path(), maker.width(), maker.height(), maker.movieSeconds());
        browse("copy", strCopy, nSeeks, rng);
    }

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
