// tavorin-cli render-band's drawing, with or without a display server: frames per second of the
// off-screen band (draw and read back, as render-band does for its one image) and the time of whole
// render-band runs. Run it once without a display and once under Xvfb to compare the two platforms:
//
//   env -u DISPLAY build/bench/bench_render_band [--frames N] [--runs N]
//   xvfb-run -a -s "-screen 0 1600x900x24" build/bench/bench_render_band [--frames N] [--runs N]
#include "BenchUtil.h"
#include "ScriptGenerator.h"
#include "rythmo/BandImage.h"
#include "rythmo/HeadlessGL.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>
#include <cstdio>
#include <cstring>

namespace {
constexpr int START = (10 * 3600 + 60) * 600; // 10:01:00:00, a minute into the generated script
constexpr int STEP = 10;

int option(int argc, char** argv, const char* pszName, int nDefault) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], pszName) == 0) return std::atoi(argv[i + 1]);
    return nDefault;
}

void benchFrames(const CVarE& script, int nFrames) {
    CBandImage band;
    QString strError;
    if (!band.create(QSize(1600, 300), CBandFonts{}, nullptr, &strError)) {
        std::printf("off-screen band: unavailable (%s)\n", qPrintable(strError));
        return;
    }
    auto* pGL = QOpenGLContext::currentContext()->functions();
    std::printf("platform %s, %s\n", qPrintable(QGuiApplication::platformName()),
                reinterpret_cast<const char*>(pGL->glGetString(GL_RENDERER)));
    band.renderer().setScript(&script);
    band.renderer().setViewport(1600, 300, 2);
    for (int i = 0; i < 30; ++i)
        band.render(START + i * STEP);
    QElapsedTimer timer;
    timer.start();
    qint64 nChecksum = 0;
    for (int i = 0; i < nFrames; ++i)
        nChecksum += band.render(START + (30 + i) * STEP).pixel(800, 150);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("band 1600 x 300, dense script, drawn and read back: %.2f ms a frame, %.0f frames/s "
                "(%d frames; checksum %lld)\n",
                ms / nFrames, nFrames * 1000.0 / ms, nFrames, nChecksum);
}

void benchRuns(int nRuns) {
    const QString strCli = QStringLiteral(TAVORIN_BINARY_DIR "/cli/tavorin-cli");
    const QString strOut = QStringLiteral("/tmp/bench_render_band.png");
    std::vector<double> times;
    for (int i = 0; i < nRuns; ++i) {
        const auto t0 = bench::Clock::now();
        QProcess p;
        p.start(strCli,
                {QStringLiteral("render-band"), QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare"),
                 QStringLiteral("--at"), QStringLiteral("10:00:09:00"), QStringLiteral("--out"), strOut});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            std::printf("tavorin-cli render-band failed: %s\n", p.readAllStandardError().constData());
            return;
        }
        times.push_back(bench::msSince(t0));
    }
    std::printf("tavorin-cli render-band (demo, 1600 x 300, PNG), whole run: median %.0f ms, best %.0f ms "
                "(%d runs)\n",
                bench::percentile(times, 0.5), bench::percentile(times, 0.0), nRuns);
}
} // namespace

int main(int argc, char** argv) {
    const int nFrames = option(argc, argv, "--frames", 300);
    const int nRuns = option(argc, argv, "--runs", 10);
    HeadlessGL::choosePlatform();
    QGuiApplication app(argc, argv);
    // Three phrases a second on each of the four tracks for ten minutes, as bench_band draws.
    CVarE script;
    generateScript(script, 12 * 600, 1, 12);
    benchFrames(script, nFrames);
    benchRuns(nRuns);
    return 0;
}
