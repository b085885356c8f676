// The whole window with its views: the band drawing at the clock's position while the transport runs.
#include "TestApp.h"

#include "app/Commands.h"
#include "app/FrameLoop.h"
#include "rythmo/RythmoDXEditView.h"
#include "sync/ui/ControlView.h"
#include "sync/ui/VideoView.h"

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
    ASSERT_TRUE(t.app().media().openVideoFile(testMedia("frames.mov")));
    app.transport().gotoTime(CTimeCode("10:00:02:00"));

    CRythmoDXView& band = *app.bandView();
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
    // A running loop would draw about sixty frames in a second (a loaded machine only fewer); a stray
    // repaint (an expose) may come.
    QTest::qWait(1000);
    EXPECT_LE(nFrames - nStopped, 1);
    // Still, it shows where the clock stopped.
    EXPECT_LE(std::abs(band.renderer().getPosition() - app.sync().getTime(0)), 24);

    // The display commands reach the band.
    const int nZoom = band.getZoomLevel();
    ASSERT_TRUE(app.commands().trigger(Cmd::VIEW_ZOOM_IN));
    EXPECT_NE(band.getZoomLevel(), nZoom);
    ASSERT_TRUE(app.commands().trigger(Cmd::VIEW_GRID));
    EXPECT_TRUE(app.commands().action(Cmd::VIEW_GRID)->isChecked());
}
