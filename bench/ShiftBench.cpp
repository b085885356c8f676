// The live shift of "Décalage": time from a digit typed in the offset field to the presented band frame
// that shows the script at its new place, on a 1,000-phrase and a 50,000-phrase script, in the whole
// program (document, undo step, every view told NEW_DOC).
//
//   xvfb-run -a -s "-screen 0 1600x900x24" bench_shift [--keys N]
#include "BenchUtil.h"
#include "QuietPrompts.h"
#include "ScriptGenerator.h"

#include "app/DecalageDlg.h"
#include "app/MainFrame.h"
#include "app/TavorinApp.h"
#include "app/TimeCodeEdit.h"
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
void key(QWidget& w, int nKey, const QString& strText) {
    QKeyEvent press(QEvent::KeyPress, nKey, {}, strText);
    QApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, nKey, {}, strText);
    QApplication::sendEvent(&w, &release);
}

// One digit into the field, then the wait for the next band frame presented. Its time; the digit's own
// handling (shift, step, hints to every view) goes to handled.
double digitToFrame(CTimeCodeEdit& edit, int& nFrames, char cDigit, std::vector<double>& handled) {
    QApplication::processEvents();
    const int nBefore = nFrames;
    const auto t0 = bench::Clock::now();
    key(edit, Qt::Key_0 + (cDigit - '0'), QString(QLatin1Char(cDigit)));
    handled.push_back(bench::msSince(t0));
    QElapsedTimer t;
    t.start();
    while (nFrames == nBefore && t.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 1);
    return bench::msSince(t0);
}

void run(int nPhrases, int nKeys) {
    CQuietProgram program(QStringLiteral("shift-%1").arg(nPhrases));
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
    CRythmoDXEditView& band = *app.bandView();
    int nFrames = 0;
    QObject::connect(&band, &CRythmoDXView::frameSwapped, [&] { ++nFrames; });
    // In the middle of the script.
    const CVarE& script = app.document().script();
    auto it = script.getLines().begin();
    std::advance(it, script.getLineCount() / 2);
    app.transport().gotoTime(it->getTimeCode());

    CDecalageDlg dlg(app.document(), program.m_prompts, &frame);
    dlg.show();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    CTimeCodeEdit& edit = *dlg.offsetEdit();

    // The frames' two cells: ":" three times moves there from the first cell; the second digit wraps back.
    // Every digit gives a valid offset that differs from the one before (10, 12, 02, 01, 21, 23, ...).
    std::vector<double> times, handled;
    const char* const pairs[] = {"12", "01", "23", "10", "04", "21"};
    for (int i = 0; int(times.size()) < nKeys; ++i) {
        for (int j = 0; j < 3; ++j)
            key(edit, Qt::Key_Colon, QStringLiteral(":"));
        const char* pszPair = pairs[size_t(i) % std::size(pairs)];
        times.push_back(digitToFrame(edit, nFrames, pszPair[0], handled));
        times.push_back(digitToFrame(edit, nFrames, pszPair[1], handled));
    }
    const int nApplied = dlg.appliedOffset();
    dlg.reject();

    // The band's part alone: the same shift, told to the band only (no script text view, no other view).
    std::vector<double> bandOnly;
    CVarE& mutableScript = app.document().script();
    for (int i = 0; int(bandOnly.size()) < nKeys; ++i) {
        QApplication::processEvents();
        const int nBefore = nFrames;
        const auto t0 = bench::Clock::now();
        mutableScript.shift(i % 2 ? -3 : 3);
        band.OnUpdate(NEW_DOC);
        QElapsedTimer wait;
        wait.start();
        while (nFrames == nBefore && wait.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 1);
        bandOnly.push_back(bench::msSince(t0));
    }
    std::printf("%6d phrases: digit to band frame: median %6.2f ms, p99 %6.2f ms, max %6.2f ms (%zu keys, "
                "last offset %d)\n",
                nPhrases, bench::percentile(times, 0.5), bench::percentile(times, 0.99),
                bench::percentile(times, 1.0), times.size(), nApplied);
    std::printf("%6d phrases: handling alone: median %6.2f ms, p99 %6.2f ms\n", nPhrases,
                bench::percentile(handled, 0.5), bench::percentile(handled, 0.99));
    std::printf("%6d phrases: shift told to the band alone, to its frame: median %6.2f ms, p99 %6.2f ms\n",
                nPhrases, bench::percentile(bandOnly, 0.5), bench::percentile(bandOnly, 0.99));
    frame.hide();
    app.document().SetModifiedFlag(false);
    app.ExitInstance();
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("bench_shift needs an X server: run it under xvfb-run\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int nKeys = bench::intOption(argc, argv, "--keys", 100, 10);
    std::printf("Digit in the shift's offset field to presented band frame (1600 x 900 window)\n");
    run(1000, nKeys);
    run(50000, nKeys);
    return 0;
}
