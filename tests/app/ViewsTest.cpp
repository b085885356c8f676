// The whole window with its views: the band drawing at the clock's position while the transport runs.
#include "ScriptGenerator.h"
#include "TestApp.h"
#include "TextRuns.h"

#include "app/Commands.h"
#include "app/DecalageDlg.h"
#include "app/FrameLoop.h"
#include "app/RichScriptView.h"
#include "app/TimeCodeEdit.h"
#include "rythmo/RythmoDXEditView.h"
#include "sync/ui/ControlView.h"
#include "sync/ui/VideoView.h"

#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(Views, TheBandFollowsTheClock) {
    // Without an X server the band cannot be made (and says so in a box): run under xvfb-run.
    if (!CRythmoDXView::isOpenGLAvailable())
        GTEST_SKIP() << "OpenGL 3.3 is needed: run the tests under xvfb-run";
    STestApp t;
    t.m_bViews = true;
    t.m_bBand = true;
    ASSERT_TRUE(t.start());
    CTavorinApp& app = t.app();
    CMainFrame& f = app.mainFrame();
    ASSERT_NE(app.bandView(), nullptr);
    EXPECT_EQ(f.paneWidget(EPane::Band), app.bandView());
    EXPECT_EQ(f.paneWidget(EPane::Control), app.controlView());
    EXPECT_EQ(f.paneWidget(EPane::Video), app.videoView());

    f.resize(1000, 600);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    CRythmoDXView& band = *app.bandView();
    // The band is composed with the window while a picture is beside it, in its own window otherwise.
    EXPECT_FALSE(band.isComposed());
    ASSERT_TRUE(t.app().media().openVideoFile(testMedia("frames.mov")));
    EXPECT_TRUE(band.isComposed());
    app.transport().gotoTime(CTimeCode("10:00:02:00"));

    // The band draws where the clock is: within a frame or two of it when the frame is shown, on most
    // frames (a loaded machine may take long over some of them).
    int nFrames = 0, nClose = 0;
    QObject::connect(&band, &CRythmoDXView::frameSwapped, [&] {
        ++nFrames;
        nClose += std::abs(band.renderer().getPosition() - app.sync().getTime(0)) <= 48;
    });
    app.transport().OnControlPlayPause();
    // The player may take a while to start on a loaded machine; the band draws meanwhile.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return nFrames >= 20 && app.transport().getTimeCode() > CTimeCode("10:00:02:05"); }, 20000));
    EXPECT_GE(nClose, nFrames / 2);

    app.transport().OnControlPlayPause();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !band.isFrameLoopRunning(); }, 20000));
    EXPECT_FALSE(app.frameLoop().isRunning());
    const int nStopped = nFrames;
    // A running loop would draw about sixty frames in a second (a loaded machine some twenty); the band
    // is drawn again with any repaint of the window over it (an expose, the picture of the stop).
    QTest::qWait(1000);
    EXPECT_LE(nFrames - nStopped, 3);
    // Still, it shows where the clock stopped.
    EXPECT_LE(std::abs(band.renderer().getPosition() - app.sync().getTime(0)), 24);

    // The display commands reach the band.
    const int nZoom = band.getZoomLevel();
    ASSERT_TRUE(app.commands().trigger(Cmd::VIEW_ZOOM_IN));
    EXPECT_NE(band.getZoomLevel(), nZoom);
    ASSERT_TRUE(app.commands().trigger(Cmd::VIEW_GRID));
    EXPECT_TRUE(app.commands().action(Cmd::VIEW_GRID)->isChecked());

    // The movie closed, the band goes back to its own window and draws there.
    app.media().closeMedia();
    EXPECT_FALSE(band.isComposed());
    const int nBefore = nFrames;
    band.requestFrame();
    EXPECT_TRUE(QTest::qWaitFor([&] { return nFrames > nBefore && band.isDeviceReady(); }, 10000));
}

TEST(Views, AClickInTheScriptTextMovesThePictureAndTheBand) {
    if (!CRythmoDXView::isOpenGLAvailable())
        GTEST_SKIP() << "OpenGL 3.3 is needed: run the tests under xvfb-run";
    STestApp t;
    t.m_bViews = true;
    t.m_bBand = true;
    {
        CVarE s;
        for (int i = 0; i < 3; ++i) {
            CLine line;
            line.setTrack(i);
            line.insertSign(CTimeCode("10:00:01:00") + i * 25, CLipSync::IN_OPEN, true);
            line.insertText(QStringLiteral("Phrase %1").arg(i), -1);
            line.insertSign(CTimeCode("10:00:01:20") + i * 25, CLipSync::OUT_OPEN, true);
            s.addLine(line);
        }
        s.setVideoFile(testMedia("frames.mov"));
        ASSERT_TRUE(s.store(t.path("film.vare")));
    }
    ASSERT_TRUE(t.start(t.path("film.vare")));
    CTavorinApp& app = t.app();
    CMainFrame& f = app.mainFrame();
    CRichScriptView* pView = app.scriptView();
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(f.paneWidget(EPane::Script), pView);
    f.resize(1000, 600);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_EQ(pView->ranges().count(), 3);
    app.transport().gotoTime(CTimeCode("10:00:00:00"));

    // The third phrase, on the third track.
    const CLine& third = *std::next(app.document().script().getLines().begin(), 2);
    QTextCursor c(pView->document());
    c.setPosition(pView->ranges().range(&third).first + 16);
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, {}, pView->cursorRect(c).center());
    EXPECT_EQ(app.transport().getTimeCode(), CTimeCode("10:00:03:00"));
    EXPECT_EQ(app.activeTrack(), 2);
    EXPECT_FALSE(app.transport().isFollowing());
    CRythmoDXView& band = *app.bandView();
    const int nTarget = int(CTimeCode("10:00:03:00").toMediaTime());
    EXPECT_TRUE(QTest::qWaitFor([&] { return band.renderer().getPosition() == nTarget; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(app.player().getTime() - nTarget) < 24; }, 5000));
    // The phrase is under the reading bar on its track: the view shows it as current.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pView->currentElement() == &third; }, 1000));

    // A double click opens that phrase for typing on the band; a click elsewhere closes it again.
    QTest::mouseDClick(pView->viewport(), Qt::LeftButton, {}, pView->cursorRect(c).center());
    ASSERT_TRUE(app.bandView()->isEditMode());
    EXPECT_EQ(&*app.bandView()->renderer().state().m_itSelectedLine, &third);
    EXPECT_EQ(app.document().script().getLineCount(), 3);
    const CLine& first = *app.document().script().getLines().begin();
    c.setPosition(pView->ranges().range(&first).first + 16);
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, {}, pView->cursorRect(c).center());
    EXPECT_FALSE(app.bandView()->isEditMode());
    EXPECT_EQ(app.activeTrack(), 0);
}

// After a shift every view shows what it would show had it been told the whole script changed.
TEST(Views, AShiftLeavesEveryViewAsANewDocumentWouldShowIt) {
    if (!CRythmoDXView::isOpenGLAvailable())
        GTEST_SKIP() << "OpenGL 3.3 is needed: run the tests under xvfb-run";
    STestApp t;
    t.m_bViews = true;
    t.m_bBand = true;
    {
        CVarE s;
        generateScript(s, 600);
        s.set(CVarE::H_VIDEO_FILE, QString());
        ASSERT_TRUE(s.store(t.path("film.vare")));
    }
    ASSERT_TRUE(t.start(t.path("film.vare")));
    CTavorinApp& app = t.app();
    CMainFrame& f = app.mainFrame();
    f.resize(1200, 700);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    CRythmoDXView& band = *app.bandView();
    CRichScriptView& text = *app.scriptView();
    const CVarE& script = app.document().script();
    int nFrames = 0;
    QObject::connect(&band, &CRythmoDXView::frameSwapped, [&] { ++nFrames; });
    // In the middle: the band has walked past half the phrases.
    app.transport().gotoTime(std::next(script.getLines().begin(), 300)->getTimeCode() + 7);
    band.requestFrame();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nFrames > 0; }, 10000));

    auto expectAsNewDoc = [&](const char* pszWhen) {
        SCOPED_TRACE(pszWhen);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isRetiming(); }, 20000));
        const QImage shifted = band.grabFramebuffer();
        const std::vector<SRun> runs = runsOf(*text.document());
        const CElement* pCurrent = text.currentElement();
        const int nTrack = app.activeTrack();
        ASSERT_FALSE(shifted.isNull());
        app.document().UpdateAllViews(nullptr, NEW_DOC);
        EXPECT_TRUE(band.grabFramebuffer() == shifted);
        EXPECT_EQ(runsOf(*text.document()), runs);
        EXPECT_EQ(text.currentElement(), pCurrent);
        EXPECT_EQ(app.activeTrack(), nTrack);
    };
    const QImage before = band.grabFramebuffer();
    const std::vector<int> starts = [&] {
        std::vector<int> v;
        for (const CLine& line : script.getLines())
            v.push_back(line.getStartFrame());
        return v;
    }();
    {
        CDecalageDlg dlg(app.document(), t.prompts, &f);
        // Later, frame by frame, then a second more: phrases passed by the band come back into sight.
        for (int i = 0; i < 7; ++i)
            dlg.OnRight();
        ASSERT_EQ(dlg.appliedOffset(), 7);
        expectAsNewDoc("7 frames later");
        dlg.offsetEdit()->setTimeCode(CTimeCode::fromFrames(32));
        ASSERT_EQ(dlg.appliedOffset(), 32);
        EXPECT_FALSE(band.grabFramebuffer() == before);
        expectAsNewDoc("a second more");
        // Earlier.
        dlg.leftButton()->setChecked(true);
        ASSERT_EQ(dlg.appliedOffset(), -32);
        expectAsNewDoc("32 frames earlier");
        dlg.accept();
    }
    EXPECT_EQ(script.getLines().begin()->getStartFrame(), starts.front() - 32);
    expectAsNewDoc("after OK");
    ASSERT_TRUE(app.document().undo());
    EXPECT_EQ(script.getLines().begin()->getStartFrame(), starts.front());
    expectAsNewDoc("undone");
    EXPECT_TRUE(band.grabFramebuffer() == before);
    ASSERT_TRUE(app.document().redo());
    expectAsNewDoc("redone");
}
