#include "TestApp.h"

#include "../sync/PtyMachine.h"
#include "app/Commands.h"

#include <gtest/gtest.h>

TEST(Synchroniser, TheCommandSwitchesTheLinkAndTheMachineFollowsTheClock) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CPtyMachine machine(t.path("corvel"));
    ASSERT_TRUE(machine.isOpen());
    t.app().settings().set(Settings::CorvelReference, t.path("corvel"));

    // On: the machine gets the clock's position every 10 ms; the setting remembers it.
    ASSERT_TRUE(t.app().media().openVideoFile(testMedia("frames.mov"))); // timecode 10:00:00:00
    t.app().transport().gotoTime(CTimeCode("10:00:04:00"));
    ASSERT_TRUE(t.app().commands().trigger(Cmd::CONTROL_CORVEL));
    EXPECT_TRUE(t.app().linkControl().link().isEnabled());
    EXPECT_TRUE(t.app().linkControl().isTimerRunning());
    EXPECT_TRUE(t.app().commands().action(Cmd::CONTROL_CORVEL)->isChecked());
    EXPECT_EQ(t.app().settings().get(Settings::CorvelActive), 1);

    // A jump is walked to in half-frames; the machine ends on the clock's frame.
    t.app().transport().gotoTime(CTimeCode("10:00:04:05"));
    std::vector<CPtyMachine::Message> got;
    ASSERT_TRUE(waitUntil([&] {
        for (const auto& m : machine.readMessages(20))
            got.push_back(m);
        return !got.empty() && got.back().nPosition == 900105;
    })) << (got.empty() ? -1 : got.back().nPosition);
    EXPECT_EQ(got.front().nPosition, 900100);

    // Off: the timer stops and the setting is cleared.
    ASSERT_TRUE(t.app().commands().trigger(Cmd::CONTROL_CORVEL));
    EXPECT_FALSE(t.app().linkControl().link().isEnabled());
    EXPECT_FALSE(t.app().linkControl().isTimerRunning());
    EXPECT_FALSE(t.app().commands().action(Cmd::CONTROL_CORVEL)->isChecked());
    EXPECT_EQ(t.app().settings().get(Settings::CorvelActive), 0);
}

TEST(Synchroniser, AMissingMachineIsReportedAndNotRemembered) {
    STestApp t(QStringLiteral(
        "[Misc]\nFirstRun=0\n[Settings]\nCorvelActive=1\nCorvelReference=/dev/absent-corvel\n"));
    // It was on when the program ended: start-up tries it again, and tells the user it is missing.
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.prompts.told(QStringLiteral("Impossible d'établir la communication avec la machine Corvel. "
                                              "Vérifiez qu'elle est bien connectée.")));
    EXPECT_FALSE(t.app().linkControl().link().isEnabled());
    EXPECT_FALSE(t.app().linkControl().isTimerRunning());
    EXPECT_EQ(t.app().settings().get(Settings::CorvelActive), 0);
}
