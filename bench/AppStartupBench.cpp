// Time from process start to a usable main window, on the demo and on a large script.
// Each start is a fresh process (this program run with --child), so the figures include loading the
// libraries, starting libmpv, reading the script and opening its picture. Run under an X server
// (scripts/bench uses xvfb-run).
#include "BenchUtil.h"
#include "QuietPrompts.h"

#include "app/MainFrame.h"
#include "app/TavorinApp.h"
#include "app/VarEDoc.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {
// Milliseconds since this process was created (its start time in /proc, in clock ticks since boot).
double msSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20) return -1;
    const double dStartTicks = fields[19].toDouble(); // field 22 of the whole line
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    const double dNowMs = double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
    return dNowMs - dStartTicks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

int child(int argc, char** argv, const QString& strScript) {
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("program"));
    QFile ini(dir.filePath("program/Tavorin.ini"));
    if (ini.open(QIODevice::WriteOnly)) ini.write("[Misc]\nFirstRun=0\n");
    ini.close();
    SAppOptions o;
    o.strProgramFolder = dir.filePath("program");
    o.strDocumentsFolder = dir.filePath("documents");
    o.strInstanceName = QStringLiteral("tavorin-bench-%1").arg(getpid());
    CQuietPrompts prompts;
    o.pPrompts = &prompts;
    CTavorinApp app(o);
    if (!app.InitInstance(strScript)) return 1;
    QWindow* pWindow = app.mainFrame().windowHandle();
    QElapsedTimer t;
    t.start();
    while ((!pWindow || !pWindow->isExposed()) && t.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        pWindow = app.mainFrame().windowHandle();
    }
    // The first paint of the window.
    QApplication::processEvents();
    std::printf("%.1f %d %d\n", msSinceProcessStart(), app.document().script().getLineCount(),
                prompts.m_nAsked);
    app.ExitInstance();
    return 0;
}

void measure(const char* pszSelf, const QString& strLabel, const QString& strScript, int nRuns) {
    std::vector<double> v;
    int nLines = 0, nAsked = 0;
    for (int i = 0; i < nRuns; ++i) {
        QProcess p;
        p.start(QString::fromLocal8Bit(pszSelf), {QStringLiteral("--child"), strScript});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            std::printf("%s: run failed\n", qPrintable(strLabel));
            return;
        }
        const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split('\n').last().split(' ');
        v.push_back(out.value(0).toDouble());
        nLines = out.value(1).toInt();
        nAsked = out.value(2).toInt();
    }
    std::printf("%-28s phrases %6d  median %7.1f ms  min %7.1f ms  max %7.1f ms  (%d runs, %d question(s) "
                "answered)\n",
                qPrintable(strLabel), nLines, bench::percentile(v, 0.5), bench::percentile(v, 0.0),
                bench::percentile(v, 1.0), nRuns, nAsked);
}
} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));

    const QString strSource = QStringLiteral(TAVORIN_SOURCE_DIR);
    const QString strBinary = QStringLiteral(TAVORIN_BINARY_DIR);
    const QString strDemo = strSource + "/demo/demo.vare";
    if (!QFileInfo::exists(strSource + "/demo/demo.mov"))
        QProcess::execute(strSource + "/tools/make-demo-video", {});
    const QString strLarge = strBinary + "/bench/script-50000.vare";
    if (!QFileInfo::exists(strLarge))
        QProcess::execute(strBinary + "/tools/make-script", {"50000", strLarge});

    std::printf("Start-up to a usable window (fresh process each run)\n");
    measure(argv[0], QStringLiteral("empty (new script)"), QString(), 5);
    measure(argv[0], QStringLiteral("demo/demo.vare + demo.mov"), strDemo, 5);
    measure(argv[0], QStringLiteral("50,000 phrases"), strLarge, 5);
    return 0;
}
