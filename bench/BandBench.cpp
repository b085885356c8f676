// Band rendering figures: CPU time and allocations to build one frame of a dense script, frames per
// second of the off-screen render and of the window's render loop.
//
//   xvfb-run -a -s "-screen 0 1600x900x24" bench_band [--seconds N] [--no-window | --window-only]
#include "BenchUtil.h"
#include "ScriptGenerator.h"
#include "rythmo/BandImage.h"
#include "rythmo/BandRenderer.h"
#include "rythmo/RythmoDXView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

// Every allocation of the process is counted.
static std::atomic<long long> g_nAllocations{0};
void* operator new(std::size_t n) {
    ++g_nAllocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    ++g_nAllocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    ++g_nAllocations;
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    ++g_nAllocations;
    return std::malloc(n ? n : 1);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {
constexpr int START = (10 * 3600 + 60) * 600; // 10:01:00:00, a minute into the generated script
constexpr int STEP = 10;                      // media time a frame at normal speed on a 60 Hz display

// CPU time of this thread in ms: what building a frame costs, whatever else the machine runs.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

using bench::percentile;

void benchBuild(const CVarE& script, int nZoom) {
    CBandRenderer renderer;
    renderer.initFonts(CBandFonts{});
    renderer.setScript(&script);
    renderer.setViewport(1920, 300, nZoom);
    const int nFrames = 3000;
    for (int i = 0; i < 200; ++i)
        renderer.buildFrame(START + i * STEP); // warm: arrays grown, glyphs made
    std::vector<double> times, walls;
    times.reserve(nFrames);
    walls.reserve(nFrames);
    long long nMaxAllocs = 0, nTotalAllocs = 0;
    for (int i = 0; i < nFrames; ++i) {
        const long long a0 = g_nAllocations.load();
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpuMs();
        renderer.buildFrame(START + (200 + i) * STEP);
        const double c1 = cpuMs();
        const auto t1 = std::chrono::steady_clock::now();
        const long long n = g_nAllocations.load() - a0;
        nMaxAllocs = std::max(nMaxAllocs, n);
        nTotalAllocs += n;
        times.push_back(c1 - c0);
        walls.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::printf("build frame, 1920 px, zoom %d: CPU median %.3f ms, p99 %.3f ms, max %.3f ms (wall median "
                "%.3f ms, p99 "
                "%.3f ms); %d vertices, %d draw calls; allocations per frame: %.2f average, %lld max\n",
                nZoom, percentile(times, 0.5), percentile(times, 0.99), percentile(times, 1.0),
                percentile(walls, 0.5), percentile(walls, 0.99), renderer.device().vertexCount(),
                renderer.device().drawCallCount(), double(nTotalAllocs) / nFrames, nMaxAllocs);
}

void benchOffscreen(const CVarE* pScript, int nZoom) {
    CBandImage band;
    QString strError;
    if (!band.create(QSize(1600, 300), CBandFonts{}, nullptr, &strError)) {
        std::printf("off-screen render: unavailable (%s)\n", qPrintable(strError));
        return;
    }
    band.renderer().setScript(pScript);
    band.renderer().setViewport(1600, 300, nZoom);
    for (int i = 0; i < 30; ++i)
        band.renderer().render(START + i * STEP);
    band.gl().finish();
    const int nFrames = 200;
    QElapsedTimer timer;
    timer.start();
    const long long a0 = g_nAllocations.load();
    for (int i = 0; i < nFrames; ++i) {
        band.renderer().render(START + (30 + i) * STEP);
        band.gl().finish();
    }
    const double nAllocs = double(g_nAllocations.load() - a0) / nFrames;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("off-screen render (build + draw + finish), 1600 x 300, zoom %d, %s: %.2f ms a frame, %.0f "
                "frames/s, %.2f allocations a frame\n",
                nZoom, pScript ? "dense script" : "empty band", ms / nFrames, nFrames * 1000.0 / ms, nAllocs);
}

// bInFrame: the band at the bottom of a 1600 x 900 window, under other widgets, as the program shows
// it; otherwise the view is a top-level window of its own. bComposed: the band on the surface composed
// with its window, as while a picture plays, else in its own native window.
void benchWindow(QApplication& app, const CVarE& script, int nZoom, int nSeconds, int nStart = START,
                 bool bInFrame = false, bool bComposed = false) {
    const bool bEmpty = script.getLineCount() == 0;
    QWidget frame;
    auto* pLayout = new QVBoxLayout(&frame);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(new QTextEdit(QStringLiteral("Tavorin"), &frame), 1);
    CRythmoDXView view;
    CFixedTimeSource clock(nStart, 24);
    clock.setIncrement(STEP);
    view.setScript(&script);
    view.setTimeSource(&clock);
    view.setComposed(bComposed);
    view.resize(1600, 300);
    view.OnCreate(nullptr);
    while (view.getZoomLevel() < nZoom)
        view.OnDisplayZoomOut();
    while (view.getZoomLevel() > nZoom)
        view.OnDisplayZoomIn();
    if (bInFrame) {
        view.setFixedHeight(300);
        pLayout->addWidget(&view);
        frame.resize(1600, 900);
        frame.show();
    } else {
        view.show();
    }
    view.OnInitialUpdate();
    long long nFrames = 0;
    // Intervals between presented frames: a refresh missed shows as an interval of two periods.
    std::vector<double> intervals;
    intervals.reserve(std::size_t(nSeconds) * 1000);
    QElapsedTimer timer;
    double fLast = -1;
    QObject::connect(&view, &CRythmoDXView::frameSwapped, [&] {
        if (!timer.isValid()) return;
        ++nFrames;
        const double fNow = double(timer.nsecsElapsed()) / 1e6;
        if (fLast >= 0) intervals.push_back(fNow - fLast);
        fLast = fNow;
    });
    QTimer::singleShot(1000, [&] { // after start-up
        timer.start();
        QTimer::singleShot(nSeconds * 1000, &app, &QCoreApplication::quit);
    });
    app.exec();
    const double s = double(timer.nsecsElapsed()) / 1e9;
    const auto nLong =
        std::count_if(intervals.begin(), intervals.end(), [](double f) { return f > 1.5 * 1000 / 60; });
    std::printf(
        "window render loop (one frame a refresh at most), %s, 1600 x 300%s, zoom %d, %s: %.0f frames/s "
        "over %.1f s; interval median %.1f ms, p99 %.1f ms, %lld longer than 1.5 refresh periods at 60 Hz\n",
        bComposed ? "composed with the window" : "own window", bInFrame ? " in a 1600 x 900 window" : "",
        nZoom, bEmpty ? "empty band" : "dense script", double(nFrames) / s, s, percentile(intervals, 0.5),
        percentile(intervals, 0.99), static_cast<long long>(nLong));
    view.setParent(nullptr); // the frame goes first
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int nSeconds = 5;
    const QStringList args = app.arguments();
    const int i = int(args.indexOf(QStringLiteral("--seconds")));
    if (i > 0 && i + 1 < args.size()) nSeconds = std::max(1, args.at(i + 1).toInt());

    // Three phrases a second on each of the four tracks for ten minutes.
    // With --script FILE: that script in the window only, from its last position (a demonstration).
    const int j = int(args.indexOf(QStringLiteral("--script")));
    if (j > 0 && j + 1 < args.size()) {
        CVarE shown;
        if (!shown.load(args.at(j + 1))) {
            std::printf("cannot read %s\n", qPrintable(args.at(j + 1)));
            return 1;
        }
        benchWindow(app, shown, 2, nSeconds, int(shown.getLastPosition().toMediaTime()) - 2 * 600);
        return 0;
    }

    CVarE script;
    generateScript(script, 12 * 600, 1, 12);
    std::printf("dense script: %d phrases, %zu loops, %zu shot changes\n", script.getLineCount(),
                script.getLoops().size(), script.getShots().size());
    if (!args.contains(QStringLiteral("--window-only"))) {
        for (int nZoom : {1, 6})
            benchBuild(script, nZoom);
        benchOffscreen(nullptr, 2);
        for (int nZoom : {1, 6})
            benchOffscreen(&script, nZoom);
    }
    if (!args.contains(QStringLiteral("--no-window"))) {
        // The empty band shows what presenting a frame costs, apart from drawing the script.
        benchWindow(app, CVarE(), 2, nSeconds);
        for (int nZoom : {2, 6})
            benchWindow(app, script, nZoom, nSeconds);
        benchWindow(app, CVarE(), 2, nSeconds, START, true);
        benchWindow(app, script, 2, nSeconds, START, true);
        // What a band frame costs while a picture plays beside it: the whole window composed again.
        benchWindow(app, script, 6, nSeconds, START, false, true);
        benchWindow(app, script, 2, nSeconds, START, true, true);
    }
    return 0;
}
