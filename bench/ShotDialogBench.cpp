// The cut search as "Détection des changements de plan..." runs it (its thread, the progress, the status
// text and a shot change added to the script for every cut, through the undo path) against
// "tavorin-cli shots" on the same movie, back to back. Prints the cuts and frames per second of both
// and the ratio of their times.
//
//   bench_shot_dialog [--repeat N] [MOVIE]
//
// Without MOVIE, a 720p long-GOP movie of 3000 frames with a cut every 20 frames is made with
// tools/make-cut-movie in the build tree (once). Then times "Arrêter" in the middle of a movie with a
// single cut. Runs without a display (Qt's offscreen platform).
#include "QuietPrompts.h"
#include "app/PropertySheet.h"
#include "app/ShotDetectDlg.h"
#include "app/TavorinApp.h"
#include "app/VarEDoc.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Lets the program's event loop run, asleep between events as in the program, until done() holds:
// looked at every 5 ms. (processEvents with a time spins, and would take a core from the search.)
template <class F> void runEventsUntil(F&& done) {
    if (done()) return;
    QEventLoop loop;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    look.start();
    loop.exec();
}

struct SRun {
    double dSeconds = 0;
    int nCuts = 0;
};

SRun runDialog(CTavorinApp& app, const SShotMovie& movie) {
    SRun run;
    app.document().OnNewDocument();
    CShotDetectDlg dlg(app, app.document(), movie);
    const auto t0 = std::chrono::steady_clock::now();
    dlg.OnStartStop();
    runEventsUntil([&] { return !dlg.isRunning(); });
    run.dSeconds = secondsSince(t0);
    run.nCuts = int(app.document().script().getShots().size());
    return run;
}

SRun runCli(const QString& strMovie) {
    SRun run;
    const auto t0 = std::chrono::steady_clock::now();
    QProcess cli;
    cli.start(QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli"), {"shots", strMovie});
    if (!cli.waitForFinished(-1) || cli.exitCode() != 0) return run;
    run.dSeconds = secondsSince(t0);
    run.nCuts = int(cli.readAllStandardOutput().count('\n'));
    return run;
}

// A 720p long-GOP movie of 3000 frames made once in the build tree, with cuts at those frames.
QString makeMovie(const QString& strName, const QStringList& cuts) {
    const QString strDir = QStringLiteral(TAVORIN_BINARY_DIR "/bench-media");
    const QString strPath = strDir + QLatin1Char('/') + strName;
    if (QFileInfo::exists(strPath)) return strPath;
    QDir().mkpath(strDir);
    std::printf("making %s ...\n", qPrintable(strPath));
    std::fflush(stdout);
    const QString strPart = strDir + "/part-" + strName;
    const int rc = QProcess::execute(QStringLiteral(TAVORIN_SOURCE_DIR "/tools/make-cut-movie"),
                                     {"--size", "1280x720", "--codec", "h264-longgop", "--frames", "3000",
                                      "--cuts", cuts.join(','), strPart});
    if (rc != 0 || !QFile::rename(strPart, strPath)) return {};
    return strPath;
}

SShotMovie shotMovie(const QString& strPath) {
    CFrameReader reader;
    if (!reader.open(strPath)) return {};
    return {strPath, reader.getStartTimeCode(), reader.getEndTimeCode()};
}

// How long "Arrêter" takes in the middle of a long stretch without a cut: the first cut, half a second
// more, then the stop, timed.
double stopSeconds(CTavorinApp& app, const SShotMovie& movie) {
    app.document().OnNewDocument();
    CShotDetectDlg dlg(app, app.document(), movie);
    dlg.OnStartStop();
    runEventsUntil([&] { return !dlg.isRunning() || dlg.shotCount() > 0; });
    const auto tWait = std::chrono::steady_clock::now();
    runEventsUntil([&] { return !dlg.isRunning() || secondsSince(tWait) >= 0.5; });
    if (!dlg.isRunning()) return -1;
    const auto t0 = std::chrono::steady_clock::now();
    dlg.OnStartStop();
    return secondsSince(t0);
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QStringList args = qapp.arguments().mid(1);
    int nRepeat = 3;
    if (const int i = int(args.indexOf("--repeat")); i >= 0 && i + 1 < args.size()) {
        nRepeat = std::max(1, args.at(i + 1).toInt());
        args.remove(i, 2);
    }
    QStringList cuts;
    for (int n = 20; n < 3000; n += 20)
        cuts.append(QString::number(n));
    const QString strMovie = args.isEmpty() ? makeMovie("cuts-720p-every-20.mp4", cuts) : args.first();
    if (strMovie.isEmpty() || !QFileInfo::exists(strMovie)) {
        std::fprintf(stderr, "no movie\n");
        return 1;
    }
    CFrameReader::quietLibraryMessages();

    CQuietProgram program(QStringLiteral("shots"));
    program.m_options.bShowWindow = false;
    program.m_options.bViews = false;
    program.m_options.bBand = false;
    CTavorinApp app(program.m_options);
    if (!app.InitInstance()) return 1;
    // Each run starts from a new script: no property sheet to answer.
    app.properties().m_runSheet = [](CTavorinProperty&) { return int(QDialog::Rejected); };

    const SShotMovie movie = shotMovie(strMovie);
    if (movie.strPath.isEmpty()) return 1;
    const int nFrames = movie.tcEnd.getFrames() - movie.tcStart.getFrames() + 1;

    SRun bestDialog, bestCli;
    std::vector<double> ratios;
    for (int i = 0; i < nRepeat; ++i) {
        const SRun dialog = runDialog(app, movie);
        const SRun cli = runCli(strMovie);
        if (dialog.dSeconds == 0 || cli.dSeconds == 0) {
            std::fprintf(stderr, "run failed\n");
            return 1;
        }
        std::printf("run %d: dialog %.2f s (%d cuts), tavorin-cli shots %.2f s (%d cuts)\n", i + 1,
                    dialog.dSeconds, dialog.nCuts, cli.dSeconds, cli.nCuts);
        std::fflush(stdout);
        ratios.push_back(dialog.dSeconds / cli.dSeconds);
        if (bestDialog.dSeconds == 0 || dialog.dSeconds < bestDialog.dSeconds) bestDialog = dialog;
        if (bestCli.dSeconds == 0 || cli.dSeconds < bestCli.dSeconds) bestCli = cli;
    }
    std::printf("movie: %s, %d frames\n", qPrintable(QFileInfo(strMovie).fileName()), nFrames);
    std::printf("dialog:            %6.1f cuts/s, %7.1f frames/s\n", bestDialog.nCuts / bestDialog.dSeconds,
                nFrames / bestDialog.dSeconds);
    std::printf("tavorin-cli shots: %6.1f cuts/s, %7.1f frames/s\n", bestCli.nCuts / bestCli.dSeconds,
                nFrames / bestCli.dSeconds);
    std::sort(ratios.begin(), ratios.end());
    std::printf("dialog time / command-line time: best runs %.3f, median of back-to-back pairs %.3f\n",
                bestDialog.dSeconds / bestCli.dSeconds, ratios[ratios.size() / 2]);

    const SShotMovie longShot = shotMovie(makeMovie("one-cut-720p.mp4", {"10"}));
    std::vector<double> stops;
    for (int i = 0; i < nRepeat && !longShot.strPath.isEmpty(); ++i)
        if (const double d = stopSeconds(app, longShot); d >= 0) stops.push_back(d);
    if (!stops.empty()) {
        std::sort(stops.begin(), stops.end());
        std::printf("\"Arrêter\" in a 2-minute shot: median %.1f ms, worst %.1f ms (%zu stops)\n",
                    1000 * stops[stops.size() / 2], 1000 * stops.back(), stops.size());
    }
    app.ExitInstance();
    return 0;
}
