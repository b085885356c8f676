#include "app/Commands.h"

#include <QAction>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {
struct SPadKey {
    int nKey;
    Qt::KeyboardModifiers modifiers;
};
SPadKey keypad(int nKey, Qt::KeyboardModifiers modifiers = {}) {
    return {nKey, modifiers | Qt::KeypadModifier};
}
QKeyEvent press(const SPadKey& k) {
    return QKeyEvent(QEvent::KeyPress, k.nKey, k.modifiers);
}
} // namespace

TEST(CommandTable, EveryKeyRunsOneCommandAndEveryMenuEntryExists) {
    std::map<QString, int> owners;
    std::set<int> ids;
    for (const SCommandDef& def : commandDefs()) {
        EXPECT_TRUE(ids.insert(def.nId).second) << "identifier twice: " << def.nId;
        for (const QKeySequence& k : def.keys) {
            const QString str = k.toString(QKeySequence::PortableText);
            const auto [it, bNew] = owners.emplace(str, def.nId);
            EXPECT_TRUE(bNew) << qPrintable(str) << " runs " << it->second << " and " << def.nId;
        }
    }
    int nDepth = 0;
    for (const SMenuEntry& e : menuBarLayout()) {
        if (e.eKind == SMenuEntry::COMMAND) {
            EXPECT_TRUE(ids.count(e.nId)) << "menu entry without a command: " << e.nId;
        }
        if (e.eKind == SMenuEntry::SUBMENU) ++nDepth;
        if (e.eKind == SMenuEntry::END) --nDepth;
        EXPECT_GE(nDepth, 0);
    }
    EXPECT_EQ(nDepth, 0);
    // One shuttle entry per speed, each on its own key, slowest reverse first.
    const auto& speeds = shuttleSpeeds();
    ASSERT_EQ(speeds.size(), 14u);
    for (size_t i = 1; i < speeds.size(); ++i)
        EXPECT_LT(speeds[i - 1].nRate, speeds[i].nRate);
}

TEST(CommandTable, BoundCommandsRunWhenTheirTestSaysSo) {
    CCommandTable table;
    int nRuns = 0;
    bool bEnabled = false, bChecked = false;
    EXPECT_FALSE(table.trigger(Cmd::AUDIO_MUTE)); // not bound yet
    EXPECT_FALSE(table.action(Cmd::AUDIO_MUTE)->isEnabled());
    table.bind(Cmd::AUDIO_MUTE, {[&] { ++nRuns; }, [&] { return bEnabled; }, [&] { return bChecked; }});

    // The key's action stays enabled between refreshes, but the test is made when the command runs.
    EXPECT_TRUE(table.action(Cmd::AUDIO_MUTE)->isEnabled());
    table.action(Cmd::AUDIO_MUTE)->trigger();
    EXPECT_EQ(nRuns, 0);
    EXPECT_FALSE(table.trigger(Cmd::AUDIO_MUTE));
    bEnabled = true;
    EXPECT_TRUE(table.trigger(Cmd::AUDIO_MUTE));
    EXPECT_EQ(nRuns, 1);

    // Check marks come from the test, whatever the action's own toggle did.
    EXPECT_FALSE(table.action(Cmd::AUDIO_MUTE)->isChecked());
    bChecked = true;
    table.refresh();
    EXPECT_TRUE(table.action(Cmd::AUDIO_MUTE)->isChecked());

    // An open menu shows the test's answer; once it closes the key works again.
    bEnabled = false;
    table.refreshForMenu();
    EXPECT_FALSE(table.action(Cmd::AUDIO_MUTE)->isEnabled());
    table.refresh();
    EXPECT_TRUE(table.action(Cmd::AUDIO_MUTE)->isEnabled());
}

TEST(CommandTable, KeypadKeysWithNumLockOnAndOff) {
    CCommandTable table;
    std::vector<int> runs;
    for (int nId :
         {Cmd::VIEW_ZOOM_IN, Cmd::VIEW_ZOOM_OUT, Cmd::AUDIO_VOLUME_UP, Cmd::AUDIO_MUTE, Cmd::SIGN_LABIAL,
          Cmd::SIGN_VOWEL_I, Cmd::SIGN_LOOP, Cmd::SIGN_OPEN_START, Cmd::SIGN_CLOSED_START})
        table.bind(nId, [&runs, nId] { runs.push_back(nId); });

    const std::pair<SPadKey, int> cases[] = {
        {keypad(Qt::Key_Plus), Cmd::VIEW_ZOOM_IN},
        {keypad(Qt::Key_Minus), Cmd::VIEW_ZOOM_OUT},
        {keypad(Qt::Key_Plus, Qt::ControlModifier), Cmd::AUDIO_VOLUME_UP},
        {keypad(Qt::Key_Asterisk, Qt::ControlModifier), Cmd::AUDIO_MUTE},
        {keypad(Qt::Key_4), Cmd::SIGN_LABIAL},
        {keypad(Qt::Key_Left), Cmd::SIGN_LABIAL}, // 4 with NumLock off
        {keypad(Qt::Key_Right, Qt::ControlModifier), Cmd::SIGN_VOWEL_I},
        {keypad(Qt::Key_Insert), Cmd::SIGN_LOOP},
        {keypad(Qt::Key_0, Qt::ControlModifier), Cmd::SIGN_LOOP},
        {keypad(Qt::Key_Down), Cmd::SIGN_OPEN_START},
        {keypad(Qt::Key_Enter), Cmd::SIGN_OPEN_START},
        {keypad(Qt::Key_Enter, Qt::ControlModifier), Cmd::SIGN_CLOSED_START},
    };
    for (const auto& [key, nId] : cases) {
        runs.clear();
        EXPECT_TRUE(table.handleKeypadKey(press(key))) << nId;
        EXPECT_EQ(runs, std::vector<int>{nId});
    }
    // The main keyboard's arrows and digits are not the pad's.
    EXPECT_FALSE(table.handleKeypadKey(QKeyEvent(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier)));
    EXPECT_FALSE(table.handleKeypadKey(QKeyEvent(QEvent::KeyPress, Qt::Key_4, Qt::NoModifier)));
    // A pad key without a command is left to the widgets.
    EXPECT_FALSE(table.handleKeypadKey(press(keypad(Qt::Key_Slash))));
}

TEST(CommandTable, TheMenuBarIsMadeFromTheTable) {
    CCommandTable table;
    QMainWindow window;
    std::vector<QMenu*> menus;
    QAction* pRecent = nullptr;
    table.fillMenuBar(window.menuBar(), &window, &menus, &pRecent);
    ASSERT_EQ(menus.size(), 7u);
    EXPECT_EQ(menus[0]->title(), QStringLiteral("&Fichier"));
    EXPECT_EQ(menus[6]->title(), QStringLiteral("&Aide"));
    ASSERT_NE(pRecent, nullptr);
    EXPECT_EQ(pRecent->text(), QString::fromUtf8("Fichier récent"));
    // Keys work in the window even for commands that have no menu entry.
    EXPECT_TRUE(window.actions().contains(table.action(Cmd::CONTROL_NEXT_SECOND)));
    // The display toggles keep the keys the consoles take and have a second one.
    EXPECT_EQ(table.keys(Cmd::VIEW_DETECTION),
              (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Alt+F9")),
                                   QKeySequence(QStringLiteral("Ctrl+Shift+F9"))}));
    EXPECT_TRUE(table.action(Cmd::VIEW_GRID)->text().endsWith(QStringLiteral("Ctrl+Alt+F10, Ctrl+Maj+F10")));
}
