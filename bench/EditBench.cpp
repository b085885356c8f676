// Time from a key press on the band to the presented band frame that shows its effect: a character
// typed into a phrase in edit mode, and a lip sign added on the numeric keypad in detection mode, on a
// 1,000-phrase and a 50,000-phrase script, in the whole program (document, undo history, views).
//
//   xvfb-run -a -s "-screen 0 1600x900x24" bench_edit [--keys N]
#include "BenchUtil.h"
#include "QuietPrompts.h"
#include "ScriptGenerator.h"

#include "app/BandEditing.h"
#include "app/MainFrame.h"
#include "app/TavorinApp.h"
#include "app/Transport.h"
#include "app/VarEDoc.h"
#include "rythmo/RythmoDXEditView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>
#include <unistd.h>

namespace {
struct SFigures {
    double fMedian, fP99, fMax;
};

// Sends one key press and release to the band and waits for the next frame presented; its time. The
// time the key's handling took alone (script, history, hints to every view) goes to *pHandled.
double keyToFrame(CRythmoDXEditView& band, int& nFrames, int nKey, const QString& strText,
                  Qt::KeyboardModifiers modifiers, std::vector<double>& handled) {
    // Whatever frame was already asked for comes first.
    QApplication::processEvents();
    const int nBefore = nFrames;
    const auto t0 = bench::Clock::now();
    QKeyEvent press(QEvent::KeyPress, nKey, modifiers, strText);
    QApplication::sendEvent(&band, &press);
    QKeyEvent release(QEvent::KeyRelease, nKey, modifiers, strText);
    QApplication::sendEvent(&band, &release);
    handled.push_back(bench::msSince(t0));
    QElapsedTimer t;
    t.start();
    while (nFrames == nBefore && t.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 1);
    return bench::msSince(t0);
}

// The same wait for a frame asked for with no key: what drawing the window costs alone.
double bareFrame(CRythmoDXEditView& band, int& nFrames) {
    QApplication::processEvents();
    const int nBefore = nFrames;
    const auto t0 = bench::Clock::now();
    band.requestFrame();
    QElapsedTimer t;
    t.start();
    while (nFrames == nBefore && t.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 1);
    return bench::msSince(t0);
}

SFigures figures(const std::vector<double>& v) {
    return {bench::percentile(v, 0.5), bench::percentile(v, 0.99), bench::percentile(v, 1.0)};
}

void run(int nPhrases, int nKeys) {
    CQuietProgram program(QStringLiteral("edit-%1").arg(nPhrases));
    CVarE generated;
    generateScript(generated, nPhrases);
    generated.set(CVarE::H_VIDEO_FILE, QString());
    const QString strScript = program.path("script.vare");
    generated.store(strScript);

    CTavorinApp app(program.m_options);
    if (!app.InitInstance(strScript) || !app.bandView()) {
        std::printf("%d phrases: the program could not start with its band\n", nPhrases);
        return;
    }
    CMainFrame& frame = app.mainFrame();
    frame.resize(1600, 900);
    frame.show();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    CRythmoDXEditView& band = *app.bandView();
    int nFrames = 0;
    QObject::connect(&band, &CRythmoDXView::frameSwapped, [&] { ++nFrames; });
    CVarE& script = app.document().script();

    // The middle of the script: a phrase with an end, on its track.
    auto it = script.getLines().begin();
    std::advance(it, script.getLineCount() / 2);
    while (!it->hasClosingSign())
        ++it;
    app.bandEditing(); // the edit view's commands are bound
    band.editor().OnEditTrack(it->getTrack());

    std::vector<double> bare;
    for (int i = 0; i < nKeys; ++i)
        bare.push_back(bareFrame(band, nFrames));

    // Typing: edit mode on that phrase, then one character after another.
    app.transport().gotoTime(it->getTimeCode());
    band.editor().OnEditLine();
    std::vector<double> typing, typingHandled;
    for (int i = 0; i < nKeys; ++i)
        typing.push_back(keyToFrame(band, nFrames, Qt::Key_A, QStringLiteral("a"), {}, typingHandled));
    band.editor().OnEditLineCancel(); // answered "Non": the phrase stays as typed
    band.editor().quitEditMode();

    // Signs: one labial a frame inside phrase after phrase, in detection mode.
    std::vector<double> signs, signsHandled;
    auto next = std::next(it);
    for (int i = 0; i < nKeys && next != script.getLines().end(); ++next) {
        if (!next->hasClosingSign() || next->getTrack() != it->getTrack()) continue;
        const int nFrame = next->getStartFrame() + 1;
        if (next->getSignAt(CTimeCode::fromFrames(nFrame)) >= 0) continue;
        app.transport().gotoTime(CTimeCode::fromFrames(nFrame));
        // The jump's own drawing is done before the key is pressed.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 100)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        const int nSigns = next->getSignCount();
        signs.push_back(
            keyToFrame(band, nFrames, Qt::Key_4, QStringLiteral("4"), Qt::KeypadModifier, signsHandled));
        if (next->getSignCount() != nSigns + 1) std::printf("  (a sign was refused)\n");
        ++i;
    }
    const SFigures a = figures(typing), b = figures(signs);
    const SFigures ha = figures(typingHandled), hb = figures(signsHandled), c = figures(bare);
    std::printf("%6d phrases: a frame asked for, no key: median %6.2f ms, p99 %6.2f ms\n", nPhrases,
                c.fMedian, c.fP99);
    std::printf("%6d phrases: typing a character: median %6.2f ms, p99 %6.2f ms, max %6.2f ms (%zu keys)\n",
                nPhrases, a.fMedian, a.fP99, a.fMax, typing.size());
    std::printf("%6d phrases: adding a lip sign:  median %6.2f ms, p99 %6.2f ms, max %6.2f ms (%zu keys)\n",
                nPhrases, b.fMedian, b.fP99, b.fMax, signs.size());
    std::printf("%6d phrases: handling alone, typing: median %6.3f ms, p99 %6.3f ms; sign: median %6.3f ms, "
                "p99 %6.3f ms\n",
                nPhrases, ha.fMedian, ha.fP99, hb.fMedian, hb.fP99);
    frame.hide();
    app.document().SetModifiedFlag(false);
    app.ExitInstance();
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("bench_edit needs an X server: run it under xvfb-run\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int nKeys = bench::intOption(argc, argv, "--keys", 300, 10);
    std::printf("Key press to presented band frame (1600 x 900 window, band at the bottom)\n");
    run(1000, nKeys);
    run(50000, nKeys);
    return 0;
}
