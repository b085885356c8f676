// Speed of the cut search on a 1080p long-GOP H.264 movie, against FFmpeg's own scene detector
// ("ffmpeg -vf scdet -f null -") on the same file in the same run. Prints frames per second of both
// (wall clock and CPU time) and the ratios: of the best runs, and the median of back-to-back pairs.
// Then the floor under any search that decodes every frame: two single-threaded decodes side by side.
//
//   bench_shot_search [--repeat N] [MOVIE]
//
// Without MOVIE, a 60 s movie with six cuts and film grain is made with tools/make-cut-movie in the
// build tree (once).

#include "sync/FrameReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {
struct CRun {
    double dWall = 0; // seconds
    double dCpu = 0;  // user + system seconds
    long long nFrames = 0;
    long long nDecoded = 0;
    int nCuts = 0;
};

double cpuSeconds(int who) {
    rusage ru{};
    getrusage(who, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

CRun runSearch(const QString& strPath) {
    CRun run;
    const double dCpu0 = cpuSeconds(RUSAGE_SELF);
    const auto t0 = std::chrono::steady_clock::now();
    CFrameReader reader;
    if (!reader.open(strPath)) return run;
    CTimeCode position = reader.getStartTimeCode();
    while (reader.findNextShot(position, CFrameReader::DEFAULT_THRESHOLD))
        ++run.nCuts;
    run.dWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.dCpu = cpuSeconds(RUSAGE_SELF) - dCpu0;
    // Frames of the movie; the decoders may decode a few more (after seeks).
    run.nFrames = reader.getEndTimeCode().getFrames() - reader.getStartTimeCode().getFrames() + 1;
    run.nDecoded = reader.getDecodedFrames();
    return run;
}

CRun runFfmpeg(const QString& strPath, long long nFrames) {
    CRun run;
    const double dCpu0 = cpuSeconds(RUSAGE_CHILDREN);
    const auto t0 = std::chrono::steady_clock::now();
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-i", strPath, "-vf", "scdet", "-f", "null", "-"});
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0) return run;
    run.dWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.dCpu = cpuSeconds(RUSAGE_CHILDREN) - dCpu0;
    run.nFrames = nFrames;
    return run;
}

// What decoding alone costs, the floor under any search that looks at every frame (on two cores, where
// the search runs two single-threaded decoders): the movie decoded without deblocking, which the search
// skips, by two single-threaded ffmpeg processes side by side. Returns the seconds one copy of the
// movie takes at that rate.
double decodeFloor(const QString& strPath) {
    const QStringList args{"-v",  "error", "-nostdin", "-threads", "1",    "-skip_loop_filter",
                           "all", "-i",    strPath,    "-f",       "null", "-"};
    const auto t0 = std::chrono::steady_clock::now();
    QProcess first, second;
    first.start("ffmpeg", args);
    second.start("ffmpeg", args);
    const bool bOk = first.waitForFinished(-1) && second.waitForFinished(-1) && first.exitCode() == 0 &&
                     second.exitCode() == 0;
    const double dWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return bOk ? dWall / 2 : 0;
}

QString makeMovie() {
    const QString strDir = QStringLiteral(TAVORIN_BINARY_DIR "/bench-media");
    const QString strPath = strDir + "/cuts-1080p-longgop.mp4";
    if (QFileInfo::exists(strPath)) return strPath;
    QDir().mkpath(strDir);
    std::printf("making %s ...\n", qPrintable(strPath));
    std::fflush(stdout);
    const QString strPart = strDir + "/part-cuts-1080p-longgop.mp4";
    const int rc = QProcess::execute(QStringLiteral(TAVORIN_SOURCE_DIR "/tools/make-cut-movie"),
                                     {"--size", "1920x1080", "--codec", "h264-longgop", "--frames", "1500",
                                      "--cuts", "100,350,600,900,1200,1400", "--noise", "8", strPart});
    if (rc != 0 || !QFile::rename(strPart, strPath)) return {};
    return strPath;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int nRepeat = 3;
    if (const int i = int(args.indexOf("--repeat")); i >= 0 && i + 1 < args.size()) {
        nRepeat = std::max(1, args.at(i + 1).toInt());
        args.remove(i, 2);
    }
    const QString strPath = args.isEmpty() ? makeMovie() : args.first();
    if (strPath.isEmpty() || !QFileInfo::exists(strPath)) {
        std::fprintf(stderr, "no movie\n");
        return 1;
    }
    CFrameReader::quietLibraryMessages();

    CRun best, bestFfmpeg;
    std::vector<double> ratios; // of each back-to-back pair: steadier than the best runs on a busy machine
    for (int i = 0; i < nRepeat; ++i) {
        const CRun run = runSearch(strPath);
        const CRun ref = runFfmpeg(strPath, run.nFrames);
        if (run.nFrames == 0 || ref.dWall == 0) {
            std::fprintf(stderr, "run failed\n");
            return 1;
        }
        std::printf("run %i: cut search %.2f s (cpu %.2f s, %d cuts, %lld frames decoded), "
                    "ffmpeg scdet %.2f s (cpu %.2f s)\n",
                    i + 1, run.dWall, run.dCpu, run.nCuts, run.nDecoded, ref.dWall, ref.dCpu);
        std::fflush(stdout);
        ratios.push_back(ref.dWall / run.dWall);
        if (best.dWall == 0 || run.dWall < best.dWall) best = run;
        if (bestFfmpeg.dWall == 0 || ref.dWall < bestFfmpeg.dWall) bestFfmpeg = ref;
    }
    const double n = double(best.nFrames);
    std::printf("movie: %s, %lld frames\n", qPrintable(QFileInfo(strPath).fileName()), best.nFrames);
    std::printf("cut search:   %7.1f frames/s wall, %7.1f frames/s of cpu time\n", n / best.dWall,
                n / best.dCpu);
    std::printf("ffmpeg scdet: %7.1f frames/s wall, %7.1f frames/s of cpu time\n", n / bestFfmpeg.dWall,
                n / bestFfmpeg.dCpu);
    std::printf("ratio (ffmpeg time / cut search time): %.2f wall, %.2f cpu\n", bestFfmpeg.dWall / best.dWall,
                bestFfmpeg.dCpu / best.dCpu);
    std::sort(ratios.begin(), ratios.end());
    std::printf("median ratio of back-to-back runs: %.2f wall\n", ratios[ratios.size() / 2]);
    if (const double dFloor = decodeFloor(strPath); dFloor > 0)
        std::printf("decoding alone, two decoders, no deblocking: %7.1f frames/s wall; best ratio any search "
                    "decoding every frame could reach: %.2f\n",
                    n / dFloor, bestFfmpeg.dWall / dFloor);
    return 0;
}
