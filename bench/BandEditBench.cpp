// Working on a long script: the band frame while a sign is dragged (the move through the script's
// operations and the undo journal, then the frame built and drawn), and "Vérifier" counting the
// unfinished phrases.
//
//   xvfb-run -a -s "-screen 0 1600x900x24" bench_band_edit [--phrases N]
#include "BenchUtil.h"
#include "ScriptGenerator.h"
#include "base/UpdateHint.h"
#include "rythmo/BandEditor.h"
#include "rythmo/BandImage.h"
#include "rythmo/BandMouse.h"
#include "rythmo/ScriptVerifier.h"
#include "rythmo/SignCommands.h"
#include "vare/ScriptJournal.h"

#include <QGuiApplication>
#include <cstdio>

namespace {
using bench::cpuMs;
using bench::percentile;

// What the editing asks of the program, over a script and its journal; the band is told of changes
// as the view tells it.
class CBenchHost : public IBandEditHost {
public:
    CBenchHost(CVarE& script, CBandRenderer& renderer, const CTimeCode& tc)
        : m_script(script), m_renderer(renderer), m_tc(tc) {
        m_script.addObserver(&m_journal);
    }
    ~CBenchHost() override { m_script.removeObserver(&m_journal); }
    CVarE& script() override { return m_script; }
    void beginChange(const QString& strLabel, int nMergeId) override {
        m_journal.beginStep(strLabel, nMergeId);
    }
    void endChange() override { m_journal.endStep(); }
    void updateAllViews(int nHint, const void* pObject) override {
        if (nHint == UPDATE_LINE && pObject)
            m_renderer.lineChanged(m_script.findLine(static_cast<const CLine*>(pObject)->getKey()));
        else if (nHint != NOTHING)
            m_renderer.resetFirstVisible();
    }
    CTimeCode getTimeCode() override { return m_tc; }
    void stop() override {}
    void gotoTime(const CTimeCode& tc) override { m_tc = tc; }
    void playPause() override {}
    void shuttle(int) override {}
    bool isShuttling() override { return false; }
    void stopShuttle() override {}
    void stepFrame(bool) override {}
    void setFollowing(bool) override {}
    CTimeCode getStartTimeCode() override { return TC_ZERO; }
    bool askYesNo(const QString&) override { return false; }
    EAnswer askYesNoCancel(const QString&) override { return ANSWER_CANCEL; }
    void inform(const QString&) override {}
    const CRole* chooseRole(const CRole*, bool) override { return nullptr; }
    bool autoCloseReactions() override { return false; }
    void click() override {}
    void showContextMenu(EMenu, const QPoint&) override {}

private:
    CVarE& m_script;
    CBandRenderer& m_renderer;
    CScriptJournal m_journal;
    CTimeCode m_tc;
};

// A phrase in the middle of the script with a lip sign between its first and its closing sign.
CVarE::LineIterator middlePhrase(const CVarE& script) {
    auto it = script.getLines().begin();
    std::advance(it, script.getLineCount() / 2);
    for (; it != script.getLines().end(); ++it)
        if (it->getSignCount() >= 3 && it->getSign(1).isLinked() && it->getTrack() == 0 &&
            it->getSign(2).getFrames() - it->getSign(0).getFrames() > 12)
            return it;
    return script.getLines().end();
}

// A drag of a sign back and forth over its room, one move a frame: what the move costs, what the
// frame costs, and the two together (the drag frame), in this thread's processor time; and the wall
// time of the whole, which counts the renderer's own threads (llvmpipe) waited for.
void benchDrag(CVarE& script) {
    CBandImage band;
    QString strError;
    if (!band.create(QSize(1600, 300), CBandFonts{}, nullptr, &strError)) {
        std::printf("sign drag: no OpenGL (%s)\n", qPrintable(strError));
        return;
    }
    CBandRenderer& renderer = band.renderer();
    renderer.setScript(&script);
    renderer.setViewport(1600, 300, CBandSpace::DEFAULT_ZOOM);
    const CVarE::LineIterator it = middlePhrase(script);
    if (it == script.getLines().end()) {
        std::printf("sign drag: no phrase with a lip sign in the middle of the script\n");
        return;
    }
    const CTimeCode tc = it->getSign(1).getTimeCode();
    CBenchHost host(script, renderer, tc);
    CBandEditor editor(renderer, host);
    CSignCommands signs(editor, renderer, host);
    CBandMouse mouse(editor, renderer, host, signs);
    const int nPosition = int(tc.toMediaTime());
    renderer.setPosition(nPosition);
    for (int i = 0; i < 30; ++i)
        renderer.render(nPosition);
    band.gl().finish();

    // The same frame without a drag, for comparison: what the renderer costs on this machine.
    std::vector<double> still;
    for (int i = 0; i < 300; ++i) {
        const auto t0 = bench::Clock::now();
        renderer.render(nPosition);
        band.gl().finish();
        still.push_back(bench::msSince(t0));
    }
    const int nRoom = it->getSign(2).getFrames() - it->getSign(0).getFrames();
    mouse.OnLButtonDown(0, 325, false); // on the sign, in the lower half of track 1
    std::vector<double> moves, frames, drags, walls;
    int nChanged = 0;
    const int nFrames = 1500;
    for (int i = 0; i < nFrames; ++i) {
        // Back and forth across the sign's room, a frame at a time (24 units).
        const int k = i % (2 * nRoom);
        const int x = (k < nRoom ? k : 2 * nRoom - k) * 24 - nRoom * 12;
        const int nBefore = it->getSign(1).getFrames();
        const auto t0 = bench::Clock::now();
        const double c0 = cpuMs();
        mouse.OnMouseMove(x, 325);
        const double c1 = cpuMs();
        nChanged += it->getSign(1).getFrames() != nBefore;
        renderer.render(nPosition);
        band.gl().finish();
        const double c2 = cpuMs();
        moves.push_back(c1 - c0);
        frames.push_back(c2 - c1);
        drags.push_back(c2 - c0);
        walls.push_back(bench::msSince(t0));
    }
    mouse.OnLButtonUp();
    std::printf(
        "sign drag on %d phrases, 1600 x 300 off-screen, %d frames (%d moved the sign): move median %.3f ms, "
        "p99 %.3f ms; "
        "frame (build + draw + finish) median %.3f ms, p99 %.3f ms; drag frame median %.3f ms, "
        "p99 %.3f ms; wall time (GL threads included) median %.3f ms, p99 %.3f ms, against %.3f ms and "
        "%.3f ms for the same frame without a drag (one refresh at 60 Hz: 16.7 ms)\n",
        script.getLineCount(), nFrames, nChanged, percentile(moves, 0.5), percentile(moves, 0.99),
        percentile(frames, 0.5), percentile(frames, 0.99), percentile(drags, 0.5), percentile(drags, 0.99),
        percentile(walls, 0.5), percentile(walls, 0.99), percentile(still, 0.5), percentile(still, 0.99));
}

// Every 50th phrase unfinished (its closing sign unhooked), every other one finished.
void prepareForVerify(CVarE& script) {
    const auto role = script.getRoles().begin();
    int i = 0;
    for (auto it = script.getLines().begin(); it != script.getLines().end(); ++it, ++i) {
        const bool bUnfinished = i % 50 == 0;
        script.updateLine(it, [&](CLine& l) {
            if (!l.hasRole()) l.setRole(&*role);
            if (l.getText().isEmpty()) l.insertText(QStringLiteral("x"), -1);
            if (l.getFirstClosingSign() < 0)
                l.insertSign(CTimeCode::fromFrames(l.getEndFrame() + 1), CLipSync::OUT_OPEN, true);
            const int nClosing = l.getFirstClosingSign();
            const CTimeCode tcClosing = l.getSign(nClosing).getTimeCode();
            if (bUnfinished)
                l.unlinkSign(tcClosing);
            else if (!l.getSign(nClosing).isLinked())
                l.relinkSign(tcClosing, l.getLength());
        });
    }
}

void benchVerify(CVarE& script) {
    prepareForVerify(script);
    int n = 0;
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        const double c0 = cpuMs();
        n = CScriptVerifier::count(script, TC_ZERO);
        times.push_back(cpuMs() - c0);
    }
    std::printf(
        "\"Vérifier\" count on %d phrases, %d unfinished: median %.2f ms, max %.2f ms (goal 100 ms)\n",
        script.getLineCount(), n, percentile(times, 0.5), percentile(times, 1.0));
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int nPhrases = 50000;
    const QStringList args = app.arguments();
    const int i = int(args.indexOf(QStringLiteral("--phrases")));
    if (i > 0 && i + 1 < args.size()) nPhrases = std::max(100, args.at(i + 1).toInt());
    CVarE script;
    generateScript(script, nPhrases, 1, 3); // phrases of a little over a second, four tracks
    benchDrag(script);
    benchVerify(script);
    return 0;
}
