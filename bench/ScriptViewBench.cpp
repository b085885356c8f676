// Script text view figures on generated scripts of 1,000 and 50,000 phrases: filling the view
// (NEW_DOC), one UPDATE_LINE near the start of the script, one NEW_ITEM near the start, and one tick of
// the follow timer (the current element changing and followed, and nothing changing). Each figure is the
// median processor time of the GUI thread, the view shown and drawn as in the program; then the ratio
// of each cost at 50,000 phrases to its cost at 1,000.
//
//   xvfb-run -a -s "-screen 0 1600x900x24" bench_script_view [--runs N] [--hidden]
#include "BenchUtil.h"
#include "ScriptGenerator.h"
#include "app/RichScriptView.h"
#include "base/UpdateHint.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
struct SHost : IScriptViewHost {
    CTimeCode tc = TC_ZERO;
    int nTrack = 0;
    bool bFollowing = true;
    CTimeCode getTimeCode() override { return tc; }
    void gotoTime(const CTimeCode& t) override { tc = t; }
    bool isFollowing() const override { return bFollowing; }
    void setFollowing(bool b) override { bFollowing = b; }
    int getActiveTrack() const override { return nTrack; }
    void setActiveTrack(int n) override { nTrack = n; }
    void enterEditMode() override {}
    void leaveEditMode() override {}
    void focusBand() override {}
};

struct SFigures {
    double fFill = 0, fFillWall = 0, fUpdate = 0, fNewItem = 0, fTick = 0, fIdleTick = 0;
};

// Median processor time of the body, events handled between runs (outside the measure).
template <class F> double medianCpu(int nRuns, F&& body) {
    std::vector<double> v;
    for (int i = 0; i < nRuns; ++i) {
        QCoreApplication::processEvents();
        const double t0 = bench::cpuMs();
        body(i);
        v.push_back(bench::cpuMs() - t0);
    }
    return bench::percentile(v, 0.5);
}

SFigures measure(int nPhrases, int nRuns, bool bShown) {
    CVarE script;
    generateScript(script, nPhrases, 1);
    SHost host;
    CRichScriptView view;
    view.setHost(&host);
    view.resize(640, 628); // the script's pane in a 1600 × 900 window
    if (bShown) view.show();
    view.OnInitialUpdate(&script);
    QCoreApplication::processEvents();

    SFigures f;
    std::vector<double> fills, walls;
    for (int i = 0; i < 3; ++i) {
        const auto w0 = bench::Clock::now();
        const double t0 = bench::cpuMs();
        view.OnUpdate(NEW_DOC, nullptr);
        fills.push_back(bench::cpuMs() - t0);
        walls.push_back(bench::msSince(w0));
        QCoreApplication::processEvents();
    }
    f.fFill = bench::percentile(fills, 0.5);
    f.fFillWall = bench::percentile(walls, 0.5);

    // The third phrase's text changes, as typing does.
    const auto itThird = std::next(script.getLines().begin(), 2);
    const SLineKey key = itThird->getKey();
    f.fUpdate = medianCpu(nRuns, [&](int i) {
        const auto it = i % 2 ? script.deleteText(script.findLine(key), 1, 1)
                              : script.insertText(script.findLine(key), QStringLiteral("x"), 1);
        view.OnUpdate(UPDATE_LINE, &*it);
    });

    // A phrase typed near the start (only the hint is timed; the phrase goes again afterwards).
    int nTrack = 0;
    while (script.findLine(SLineKey{key.nFrame + 1, nTrack}) != script.getLines().end())
        ++nTrack;
    std::vector<double> news;
    for (int i = 0; i < nRuns; ++i) {
        QCoreApplication::processEvents();
        CLine line;
        line.setTrack(nTrack);
        line.insertSign(CTimeCode::fromFrames(key.nFrame + 1), CLipSync::IN_OPEN, true);
        line.insertText(QStringLiteral("Nouvelle phrase"), -1);
        const auto it = script.addLine(line).first;
        const double t0 = bench::cpuMs();
        view.OnUpdate(NEW_ITEM, &*it);
        news.push_back(bench::cpuMs() - t0);
        view.OnUpdate(DELETE_ITEM, &*it);
        script.eraseLine(it);
    }
    f.fNewItem = bench::percentile(news, 0.5);

    // Ticks in the middle of the script: the current phrase changes and is followed, or nothing changes.
    auto itMiddle = std::next(script.getLines().begin(), nPhrases / 2);
    std::vector<std::pair<CTimeCode, int>> stops;
    for (int i = 0; i < 2; ++i, ++itMiddle)
        stops.push_back({itMiddle->getTimeCode(), itMiddle->getTrack()});
    f.fTick = medianCpu(nRuns, [&](int i) {
        host.tc = stops[size_t(i % 2)].first;
        host.nTrack = stops[size_t(i % 2)].second;
        view.OnTimer();
    });
    f.fIdleTick = medianCpu(nRuns, [&](int) { view.OnTimer(); });
    return f;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int nRuns = 200;
    bool bShown = true;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--runs") == 0) nRuns = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--hidden") == 0) bShown = false; // the changes without their drawing
    }

    const SFigures small = measure(1000, nRuns, bShown);
    const SFigures large = measure(50000, nRuns, bShown);
    std::printf("Script text view, processor time of the GUI thread (median), view 640 x 628 %s\n",
                bShown ? "drawn" : "hidden");
    std::printf("%-34s %12s %12s %8s\n", "", "1,000", "50,000", "ratio");
    auto row = [](const char* pszName, double a, double b) {
        std::printf("%-34s %9.3f ms %9.3f ms %7.2fx\n", pszName, a, b, a > 0 ? b / a : 0.0);
    };
    row("NEW_DOC (fill the view)", small.fFill, large.fFill);
    row("NEW_DOC, wall clock", small.fFillWall, large.fFillWall);
    row("UPDATE_LINE near the start", small.fUpdate, large.fUpdate);
    row("NEW_ITEM near the start", small.fNewItem, large.fNewItem);
    row("tick, current element changes", small.fTick, large.fTick);
    row("tick, nothing changes", small.fIdleTick, large.fIdleTick);
    return 0;
}
