#include "TestApp.h"

#include "app/Commands.h"
#include "app/FrameLoop.h"
#include "app/MainFrame.h"
#include "sync/ui/ControlView.h"
#include "sync/ui/TransportButton.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct STransport : ::testing::Test {
    STestApp t;
    void SetUp() override { ASSERT_TRUE(t.start()); }
    CTavorinApp& app() { return t.app(); }
    bool run(int nId) { return app().commands().trigger(nId); }
    int rate() { return app().transport().getRate(); }
    // Opens the test movie (10:00:00:00, 750 frames, stereo) as the script's picture.
    void openMovie() {
        ASSERT_TRUE(t.app().media().openVideoFile(testMedia("frames.mov")));
        ASSERT_TRUE(app().player().hasMovie());
    }
};
} // namespace

TEST(Transport, PlayPauseForwardAndReverse) {
    STestApp t;
    t.m_bViews = true; // the control view shows play or pause
    ASSERT_TRUE(t.start());
    auto run = [&](int nId) { return t.app().commands().trigger(nId); };
    auto rate = [&] { return t.app().transport().getRate(); };
    ASSERT_NE(t.app().controlView(), nullptr);
    QAbstractButton* pButton = t.app().controlView()->getPlayPauseButton();

    EXPECT_TRUE(run(Cmd::CONTROL_PLAY_PAUSE));
    EXPECT_EQ(rate(), 24);
    EXPECT_EQ(pButton->text(), QStringLiteral(";"));
    run(Cmd::CONTROL_PLAY_PAUSE);
    EXPECT_EQ(rate(), 0);
    EXPECT_EQ(pButton->text(), QStringLiteral("4"));

    // Any running rate pauses on Space; Up plays at normal speed, then pauses.
    run(Cmd::CONTROL_FAST_FORWARD);
    EXPECT_EQ(rate(), 72);
    run(Cmd::CONTROL_PLAY_PAUSE);
    EXPECT_EQ(rate(), 0);
    run(Cmd::CONTROL_FAST_FORWARD);
    run(Cmd::CONTROL_PLAY);
    EXPECT_EQ(rate(), 24);
    run(Cmd::CONTROL_PLAY);
    EXPECT_EQ(rate(), 0);

    // Down while playing forward reverses, Down again pauses.
    run(Cmd::CONTROL_PLAY);
    run(Cmd::CONTROL_REVERSE);
    EXPECT_EQ(rate(), -24);
    EXPECT_EQ(pButton->text(), QStringLiteral(";"));
    run(Cmd::CONTROL_REVERSE);
    EXPECT_EQ(rate(), 0);
    run(Cmd::CONTROL_REWIND);
    EXPECT_EQ(rate(), -72);

    // The view's own buttons drive the same commands.
    run(Cmd::CONTROL_STOP);
    pButton->click();
    EXPECT_EQ(rate(), 24);
    t.app().controlView()->getButton(CControlView::ID_FAST_FORWARD)->click();
    EXPECT_EQ(rate(), 72);
}

TEST_F(STransport, ShuttleSpeedsAndTheShuttleFlag) {
    const int expected[14] = {-240, -72, -24, -18, -12, -6, -3, 3, 6, 12, 18, 24, 72, 240};
    for (int i = 0; i < 14; ++i) {
        app().transport().setShuttling(false);
        ASSERT_TRUE(run(Cmd::CONTROL_SHUTTLE_FIRST + i));
        EXPECT_EQ(rate(), expected[i]) << i;
        EXPECT_TRUE(app().transport().isShuttling());
    }
    // The entries show their keys.
    EXPECT_EQ(app().commands().action(Cmd::CONTROL_SHUTTLE_FIRST)->text(),
              QString::fromUtf8("Arrière x10\tAlt+F13"));
    EXPECT_EQ(app().commands().action(Cmd::CONTROL_SHUTTLE_FIRST + 13)->text(),
              QString::fromUtf8("Avant x10\tMaj+F19")); // Qt names the keys in French
    EXPECT_EQ(app().commands().keys(Cmd::CONTROL_SHUTTLE_FIRST).value(0).toString(),
              QStringLiteral("Alt+F13"));
    EXPECT_EQ(app().commands().keys(Cmd::CONTROL_SHUTTLE_FIRST + 13).value(0).toString(),
              QStringLiteral("Shift+F19"));

    // A stop keeps the flag; the next ordinary rate clears it.
    run(Cmd::CONTROL_SHUTTLE_FIRST + 13);
    run(Cmd::CONTROL_STOP);
    EXPECT_EQ(rate(), 0);
    EXPECT_TRUE(app().transport().isShuttling());
    run(Cmd::CONTROL_PLAY_PAUSE);
    EXPECT_FALSE(app().transport().isShuttling());
}

TEST_F(STransport, EveryTransportCommandSetsTheFollowFlag) {
    for (int nId : std::initializer_list<int>{
             Cmd::CONTROL_PLAY_PAUSE, Cmd::CONTROL_PLAY, Cmd::CONTROL_REVERSE, Cmd::CONTROL_STOP,
             Cmd::CONTROL_FAST_FORWARD, Cmd::CONTROL_REWIND, Cmd::CONTROL_NEXT_FRAME,
             Cmd::CONTROL_PREVIOUS_FRAME, Cmd::CONTROL_NEXT_SECOND, Cmd::CONTROL_PREVIOUS_10_SECONDS,
             Cmd::CONTROL_JOG_FORWARD, Cmd::CONTROL_SHUTTLE_FIRST + 3}) {
        app().transport().setFollowing(false);
        ASSERT_TRUE(run(nId)) << nId;
        EXPECT_TRUE(app().transport().isFollowing()) << nId;
    }
}

TEST_F(STransport, StepsAndJumpsStayInsideTheMedia) {
    // Without media the clock covers the day, from 00:00:00:00 to its last second.
    run(Cmd::CONTROL_PREVIOUS_FRAME);
    EXPECT_EQ(app().transport().getTimeCode(), TC_ZERO);
    run(Cmd::CONTROL_NEXT_FRAME);
    EXPECT_EQ(app().transport().getTimeCode(), CTimeCode("00:00:00:01"));
    t.prompts.m_timeCodes = {CTimeCode("12:34:56:07")};
    run(Cmd::CONTROL_GOTO);
    EXPECT_EQ(app().transport().getTimeCode(), CTimeCode("12:34:56:07"));
    t.prompts.m_timeCodes = {CTimeCode("23:59:59:20")};
    run(Cmd::CONTROL_GOTO);
    EXPECT_EQ(app().transport().getTimeCode(), TC_MAX);

    openMovie();
    const CTimeCode tcStart("10:00:00:00");
    EXPECT_EQ(app().player().getStartTimeCode(), tcStart);
    app().transport().gotoTime(tcStart);
    run(Cmd::CONTROL_NEXT_FRAME);
    EXPECT_EQ(app().transport().getTimeCode(), CTimeCode("10:00:00:01"));
    run(Cmd::CONTROL_NEXT_SECOND);
    EXPECT_EQ(app().transport().getTimeCode(), CTimeCode("10:00:01:01"));
    run(Cmd::CONTROL_PREVIOUS_10_SECONDS);
    EXPECT_EQ(app().transport().getTimeCode(), tcStart);
    run(Cmd::CONTROL_PREVIOUS_FRAME);
    EXPECT_EQ(app().transport().getTimeCode(), tcStart);

    // "Aller à": a typed timecode, clamped into the movie.
    t.prompts.m_timeCodes = {CTimeCode("10:00:12:10")};
    run(Cmd::CONTROL_GOTO);
    EXPECT_EQ(app().transport().getTimeCode(), CTimeCode("10:00:12:10"));
    t.prompts.m_timeCodes = {CTimeCode("11:00:00:00")};
    run(Cmd::CONTROL_GOTO);
    EXPECT_LE(app().transport().getTimeCode(), app().sync().getEndTimeCode());
    EXPECT_GT(app().transport().getTimeCode(), CTimeCode("10:00:29:00"));
    t.prompts.m_timeCodes = {CTimeCode("09:00:00:00")};
    run(Cmd::CONTROL_GOTO);
    EXPECT_EQ(app().transport().getTimeCode(), tcStart);
    // Cancelled: no move.
    run(Cmd::CONTROL_GOTO);
    EXPECT_EQ(app().transport().getTimeCode(), tcStart);
}

TEST_F(STransport, VolumeStepsAndTheClickAtTheLimits) {
    int nClicks = Click::count();
    run(Cmd::AUDIO_VOLUME_UP); // no media
    EXPECT_EQ(Click::count(), ++nClicks);

    openMovie();
    CQuickTime& qt = app().player();
    qt.setVolume(256);
    for (int i = 0; i < 16; ++i)
        run(Cmd::AUDIO_VOLUME_DOWN);
    EXPECT_EQ(qt.getVolume(), 0);
    EXPECT_EQ(Click::count(), nClicks);
    run(Cmd::AUDIO_VOLUME_DOWN);
    EXPECT_EQ(Click::count(), ++nClicks);
    EXPECT_EQ(qt.getVolume(), 0);
    for (int i = 0; i < 16; ++i)
        run(Cmd::AUDIO_VOLUME_UP);
    EXPECT_EQ(qt.getVolume(), 256);
    run(Cmd::AUDIO_VOLUME_UP);
    EXPECT_EQ(Click::count(), ++nClicks);
    // The limit is tested before the step.
    qt.setVolume(250);
    run(Cmd::AUDIO_VOLUME_UP);
    EXPECT_EQ(qt.getVolume(), 266);

    // Mute toggles and shows its check mark; the VI entry needs four channels.
    const bool bMuted = qt.isMuted();
    run(Cmd::AUDIO_MUTE);
    EXPECT_NE(qt.isMuted(), bMuted);
    EXPECT_EQ(app().commands().action(Cmd::AUDIO_MUTE)->isChecked(), qt.isMuted());
    emit app().mainFrame().menu(5)->aboutToShow();
    EXPECT_FALSE(app().commands().action(Cmd::AUDIO_VI)->isEnabled());
    EXPECT_EQ(app().commands().action(Cmd::AUDIO_VI)->text(), QStringLiteral("Passer en &VI\tF2"));
}

TEST_F(STransport, Bookmarks) {
    openMovie();
    app().transport().gotoTime(CTimeCode("10:00:04:00"));
    t.prompts.m_labels = {QStringLiteral("Tempête")};
    run(Cmd::POSITION_MARK);
    EXPECT_EQ(t.prompts.m_strProposedLabel, QStringLiteral("Position 1"));
    ASSERT_EQ(app().bookmarks().items().size(), 1u);

    // The same frame again: the message with the first label, and no dialog.
    t.prompts.m_strProposedLabel.clear();
    run(Cmd::POSITION_MARK);
    EXPECT_TRUE(
        t.prompts.told(QString::fromUtf8("Cette position a déjà été mémorisée sous le nom « Tempête ».")));
    EXPECT_TRUE(t.prompts.m_strProposedLabel.isEmpty());

    // Menu entries after a separator, in time order.
    app().transport().gotoTime(CTimeCode("10:00:01:00"));
    t.prompts.m_labels = {QStringLiteral("Début")};
    run(Cmd::POSITION_MARK);
    QList<QAction*> entries = app().mainFrame().menu(3)->actions();
    ASSERT_GE(entries.size(), 3);
    EXPECT_TRUE(entries[entries.size() - 3]->isSeparator());
    EXPECT_EQ(entries[entries.size() - 2]->text(), QString::fromUtf8("[10:00:01:00] Début"));
    EXPECT_EQ(entries.last()->text(), QString::fromUtf8("[10:00:04:00] Tempête"));

    // Choosing an entry goes there.
    entries.last()->trigger();
    EXPECT_EQ(app().transport().getTimeCode(), CTimeCode("10:00:04:00"));

    // Removing them all takes the separator too.
    t.prompts.m_deleteBookmarks = [](CBookmarkList& b) {
        while (!b.isEmpty())
            b.remove(b.items().begin()->second.nCommand);
    };
    run(Cmd::POSITION_DELETE);
    entries = app().mainFrame().menu(3)->actions();
    EXPECT_EQ(entries.last()->text(), QStringLiteral("Supprimer une position..."));
}

TEST(BookmarkList, ProposesTheFirstFreeNumber) {
    CBookmarkList b;
    EXPECT_EQ(b.proposeLabel(), QStringLiteral("Position 1"));
    b.add(CTimeCode("00:00:01:00"), QStringLiteral("Position 1"));
    b.add(CTimeCode("00:00:02:00"), QStringLiteral("Position 3"));
    EXPECT_EQ(b.proposeLabel(), QStringLiteral("Position 2"));
    EXPECT_EQ(b.add(CTimeCode("00:00:01:00"), QStringLiteral("again")), 0);
    EXPECT_EQ(b.add(TC_INVALID, QStringLiteral("nowhere")), 0);
}

TEST_F(STransport, TheFrameLoopRunsWhileTheClockRuns) {
    openMovie();
    CFrameLoop& loop = app().frameLoop();
    int nRequests = 0;
    QObject::connect(&loop, &CFrameLoop::frameRequested, [&] { ++nRequests; });
    const CTimeCode tcStart = app().transport().getTimeCode();
    EXPECT_FALSE(loop.isRunning());

    run(Cmd::CONTROL_PLAY_PAUSE);
    EXPECT_TRUE(loop.isRunning());
    EXPECT_TRUE(
        waitUntil([&] { return app().transport().getTimeCode().getFrames() > tcStart.getFrames() + 5; }));
    EXPECT_GT(nRequests, 5);

    run(Cmd::CONTROL_PLAY_PAUSE);
    EXPECT_TRUE(waitUntil([&] { return !loop.isRunning(); }));
    const long long nFrames = loop.frameCount();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(loop.frameCount(), nFrames);
}

TEST_F(STransport, ABandViewPacesItself) {
    // With a band the loop only wakes it: the band steps the clock before each of its frames.
    CFrameLoop& loop = app().frameLoop();
    loop.setBandDriven(true);
    openMovie();
    int nRequests = 0;
    QObject::connect(&loop, &CFrameLoop::frameRequested, [&] { ++nRequests; });
    run(Cmd::CONTROL_PLAY_PAUSE);
    EXPECT_EQ(nRequests, 1);
    waitUntil([] { return false; }, 100);
    EXPECT_FALSE(loop.isRunning());
    EXPECT_EQ(loop.frameCount(), 0);
    run(Cmd::CONTROL_PLAY_PAUSE);
}

TEST_F(STransport, KeysReachTheCommands) {
    CMainFrame& f = app().mainFrame();
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(&f, Qt::Key_Space);
    EXPECT_EQ(rate(), 24);
    QTest::keyClick(&f, Qt::Key_F13, Qt::AltModifier); // shown as "Arrière x10", no key text
    EXPECT_EQ(rate(), -240);
    QTest::keyClick(&f, Qt::Key_F19, Qt::ShiftModifier);
    EXPECT_EQ(rate(), 240);
    QTest::keyClick(&f, Qt::Key_Pause); // "&Stop"
    EXPECT_EQ(rate(), 0);
    QTest::keyClick(&f, Qt::Key_Down);
    EXPECT_EQ(rate(), -24);

    // Alt alone or F10 never takes the keyboard to the menu bar.
    QTest::keyPress(f.windowHandle(), Qt::Key_Alt);
    QTest::keyRelease(f.windowHandle(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyClick(f.windowHandle(), Qt::Key_F10);
    EXPECT_EQ(f.menuBar()->activeAction(), nullptr);

    // The volume keys are those of the numeric keypad.
    openMovie();
    app().player().setVolume(128);
    QTest::keyClick(&f, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(app().player().getVolume(), 144);
    QTest::keyClick(&f, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(&f, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(app().player().getVolume(), 112);
}
