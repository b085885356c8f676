// The band's edit view in the whole program, driven by key events sent to the band as the keyboard
// sends them (the window's shortcuts and the keypad included), on a generated script; the script is
// read afterwards, and undo takes every change back to the very bytes of the file.
#include "TestApp.h"

#include "ScriptGenerator.h"
#include "app/BandEditing.h"
#include "app/Commands.h"
#include "app/RoleDialogs.h"
#include "rythmo/PhraseClipboard.h"
#include "rythmo/RythmoDXEditView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const CTimeCode T_FREE("10:01:00:00"); // after the generated phrases: every track free

class SEditView : public ::testing::Test {
protected:
    STestApp t{QStringLiteral("[Misc]\nFirstRun=0\n[Settings]\nEnableAutoSave=0\n")};
    CRythmoDXEditView* m_pBand = nullptr;
    std::deque<QString> m_roles; // the role each question gets; empty: refused
    std::vector<QString> m_preselected;
    int m_nQuestions = 0;

    void SetUp() override {
        if (!CRythmoDXView::isOpenGLAvailable()) GTEST_SKIP() << "OpenGL 3.3 is needed: run under xvfb-run";
        t.m_bViews = true;
        t.m_bBand = true;
        ASSERT_TRUE(t.start());
        CVarE s;
        generateScript(s, 40);
        s.set(CVarE::H_VIDEO_FILE, QString());
        // Phrases left open would cover every later time on their tracks: a loop bounds them.
        s.addLoop(CLoop(CTimeCode("10:00:50:00"), 0));
        ASSERT_TRUE(s.store(t.path("film.vare")));
        ASSERT_TRUE(doc().openDocumentFile(t.path("film.vare")));
        m_pBand = t.showWithBand();
        ASSERT_NE(m_pBand, nullptr);
        t.app().bandEditing()->m_runRoleDialog = [this](CSelectRoleDlg& dlg) {
            ++m_nQuestions;
            const QListWidgetItem* pCurrent = dlg.list()->currentItem();
            m_preselected.push_back(pCurrent && pCurrent->isSelected() ? pCurrent->text() : QString());
            const QString strRole = m_roles.empty() ? QString() : m_roles.front();
            if (!m_roles.empty()) m_roles.pop_front();
            const auto items = dlg.list()->findItems(strRole, Qt::MatchExactly);
            if (strRole.isEmpty() || items.isEmpty()) return int(QDialog::Rejected);
            dlg.list()->setCurrentItem(items.first());
            dlg.accept();
            return dlg.result();
        };
        goTo(T_FREE);
    }

    CVarEDoc& doc() { return t.doc(); }
    // The first generated phrase with a role and an end, and its track made the active one.
    CLine original() {
        for (const CLine& line : script().getLines())
            if (line.hasRole() && line.hasClosingSign()) {
                key(Qt::Key(Qt::Key_F5 + line.getTrack()));
                return line;
            }
        ADD_FAILURE() << "no phrase with a role";
        return {};
    }
    CVarE& script() { return doc().script(); }
    CBandEditor& editor() { return m_pBand->editor(); }
    CBandViewState& st() { return m_pBand->state(); }
    void goTo(const CTimeCode& tc) { t.app().transport().gotoTime(tc); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(m_pBand, k, m); }
    void pad(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { key(k, m | Qt::KeypadModifier); }
    void type(const char* psz) { QTest::keyClicks(m_pBand, QString::fromUtf8(psz)); }
    // A key as the keyboard sends it, text and repetition included (characters QTest cannot make).
    void send(QEvent::Type type, int nKey, const QString& strText, bool bRepeat = false) {
        QKeyEvent e(type, nKey, Qt::NoModifier, strText, bRepeat);
        QCoreApplication::sendEvent(m_pBand, &e);
    }
    void typeChar(const QString& str) {
        send(QEvent::KeyPress, 0, str);
        send(QEvent::KeyRelease, 0, str);
    }
    CVarE::LineIterator lineAt(const CTimeCode& tc, int nTrack) {
        return script().findLine({tc.getFrames(), nTrack});
    }
    bool has(const CTimeCode& tc, int nTrack) { return lineAt(tc, nTrack) != script().getLines().end(); }
    QByteArray bytes(const char* pszName) {
        const QString strPath = t.path(QString::fromLatin1(pszName));
        EXPECT_TRUE(script().store(strPath));
        QFile f(strPath);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    // A new phrase at the current time on the active track, given that role.
    void newLine(const char* pszRole = "Yann") {
        m_roles.push_back(QString::fromUtf8(pszRole));
        pad(Qt::Key_2);
    }
};
} // namespace

TEST_F(SEditView, OpeningAsksTheRoleAndClosingKeepsTheRules) {
    key(Qt::Key_F5); // track 1
    const int nLines = script().getLineCount();
    // The role refused: no phrase, nothing to undo, nothing modified, no click.
    int nClicks = Click::count();
    m_roles.push_back(QString());
    pad(Qt::Key_2);
    EXPECT_EQ(m_nQuestions, 1);
    EXPECT_EQ(script().getLineCount(), nLines);
    EXPECT_FALSE(doc().IsModified());
    EXPECT_FALSE(doc().canUndo());
    EXPECT_EQ(Click::count(), nClicks);

    newLine("Yann");
    ASSERT_TRUE(has(T_FREE, 0));
    const CLine& line = *lineAt(T_FREE, 0);
    EXPECT_EQ(line.getRole().getName(), QStringLiteral("Yann"));
    EXPECT_EQ(line.getSign(0).getType(), CLipSync::IN_OPEN);
    EXPECT_EQ(line.getSign(0).getLink(), 0);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(doc().journal().getUndoLabel(), QStringLiteral("Nouvelle phrase"));

    // Open, it covers every later time: a second opening clicks, a closing on its first frame too.
    goTo(T_FREE + 12);
    nClicks = Click::count();
    pad(Qt::Key_2);
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_EQ(m_nQuestions, 2);
    goTo(T_FREE);
    pad(Qt::Key_3);
    EXPECT_EQ(Click::count(), nClicks + 2);
    EXPECT_FALSE(lineAt(T_FREE, 0)->hasClosingSign());
    // Closed later with Ctrl: a closed-mouth end, unlinked in detection mode.
    goTo(T_FREE + 30);
    pad(Qt::Key_3, Qt::ControlModifier);
    ASSERT_TRUE(lineAt(T_FREE, 0)->hasClosingSign());
    const CLipSync& closing = lineAt(T_FREE, 0)->getSigns().back();
    EXPECT_EQ(closing.getType(), CLipSync::OUT_CLOSE);
    EXPECT_EQ(closing.getFrames(), (T_FREE + 30).getFrames());
    EXPECT_FALSE(closing.isLinked());
    // A second closing clicks; a new opening after it is taken, with the previous role proposed.
    pad(Qt::Key_3);
    EXPECT_EQ(Click::count(), nClicks + 3);
    goTo(T_FREE + 40);
    newLine("Margaux");
    pad(Qt::Key_2, Qt::ControlModifier); // covered now
    ASSERT_EQ(m_preselected.size(), 3u);
    EXPECT_EQ(m_preselected[2], QStringLiteral("Yann"));
    ASSERT_TRUE(has(T_FREE + 40, 0));
    EXPECT_EQ(lineAt(T_FREE + 40, 0)->getRole().getName(), QStringLiteral("Margaux"));
    EXPECT_EQ(Click::count(), nClicks + 4);
}

TEST_F(SEditView, LoopsMayNotCutAPhraseAndMarkersTakeOnePlaceEach) {
    const CLine first = original();
    const int nLoops = int(script().getLoops().size());
    int nClicks = Click::count();
    goTo(first.getTimeCode() + 1); // inside the first phrase (on its track, whatever the active one)
    pad(Qt::Key_0);
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_EQ(int(script().getLoops().size()), nLoops);

    goTo(T_FREE);
    pad(Qt::Key_0);
    ASSERT_EQ(int(script().getLoops().size()), nLoops + 1);
    EXPECT_NE(script().getLoopAt(T_FREE), script().getLoops().end());
    pad(Qt::Key_0, Qt::ControlModifier); // the same frame
    EXPECT_EQ(Click::count(), nClicks + 2);
    pad(Qt::Key_1);
    EXPECT_NE(script().getShotAt(T_FREE), script().getShots().end());
    EXPECT_TRUE(st().m_bHasSelectedShot);
    pad(Qt::Key_1);
    EXPECT_EQ(Click::count(), nClicks + 3);
    EXPECT_EQ(doc().journal().getUndoCount(), 2);

    // On a phrase's closing sign the loop would still cut it; one frame later it goes in.
    key(Qt::Key_F5);
    goTo(T_FREE + 50);
    newLine();
    goTo(T_FREE + 60);
    pad(Qt::Key_3);
    ASSERT_TRUE(lineAt(T_FREE + 50, 0)->hasClosingSign());
    nClicks = Click::count();
    pad(Qt::Key_0);
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_EQ(script().getLoopAt(T_FREE + 60), script().getLoops().end());
    goTo(T_FREE + 61);
    pad(Qt::Key_0);
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_NE(script().getLoopAt(T_FREE + 61), script().getLoops().end());
}

TEST_F(SEditView, LipSignsAreUnlinkedInDetectionAndHookedAtTheCaretInEditMode) {
    key(Qt::Key_F6);     // track 2
    key(Qt::Key_Return); // edit mode where nothing is: a new phrase, its role asked
    m_roles.push_back(QStringLiteral("Lucie"));
    EXPECT_FALSE(editor().isEditMode()); // the question came first and was refused (no answer queued)
    key(Qt::Key_Return);
    ASSERT_TRUE(editor().isEditMode());
    EXPECT_TRUE(editor().lineBackup().getSigns().empty()); // made by edit mode
    EXPECT_EQ(st().m_nSelStart, 1);
    type("Bonjour");
    EXPECT_EQ(lineAt(T_FREE, 1)->getText(), QStringLiteral("Bonjour"));
    EXPECT_EQ(st().m_nSelStart, 8);
    // A labial hooked at the caret, later than the opening.
    goTo(T_FREE + 10);
    pad(Qt::Key_4);
    const CLine& line = *lineAt(T_FREE, 1);
    const int nSign = line.getSignAt(T_FREE + 10);
    ASSERT_GE(nSign, 0);
    EXPECT_EQ(line.getSign(nSign).getType(), CLipSync::MPB);
    EXPECT_EQ(line.getSign(nSign).getLink(), 8);
    EXPECT_EQ(st().m_nSelStart, 9);
    // One before the labial cannot go at the caret, which is after it.
    int nClicks = Click::count();
    goTo(T_FREE + 5);
    pad(Qt::Key_7);
    EXPECT_EQ(Click::count(), nClicks + 1);
    // Validating closes the phrase where the picture stands, hooked at the end of the text.
    goTo(T_FREE + 20);
    key(Qt::Key_Return);
    EXPECT_FALSE(editor().isEditMode());
    const CLipSync& closing = lineAt(T_FREE, 1)->getSigns().back();
    EXPECT_EQ(closing.getType(), CLipSync::OUT_OPEN);
    EXPECT_EQ(closing.getLink(), lineAt(T_FREE, 1)->getLength() - 1);
    // In detection mode a vowel goes in unhooked.
    goTo(T_FREE + 15);
    pad(Qt::Key_6, Qt::ControlModifier);
    const int nVowel = lineAt(T_FREE, 1)->getSignAt(T_FREE + 15);
    ASSERT_GE(nVowel, 0);
    EXPECT_EQ(lineAt(T_FREE, 1)->getSign(nVowel).getType(), CLipSync::VOWEL_I);
    EXPECT_FALSE(lineAt(T_FREE, 1)->getSign(nVowel).isLinked());
    // Each of the eleven commands gives its type (lip signs here, on free frames).
    const std::pair<Qt::Key, int> lips[] = {{Qt::Key_5, CLipSync::FVR},
                                            {Qt::Key_6, CLipSync::NEUTRAL},
                                            {Qt::Key_8, CLipSync::VOWEL_O},
                                            {Qt::Key_9, CLipSync::WEUQUE},
                                            {Qt::Key_7, CLipSync::VOWEL_A}};
    int nFrame = 1; // between the opening and the labial, all free
    for (const auto& [k, nType] : lips) {
        goTo(T_FREE + nFrame);
        pad(k);
        const int i = lineAt(T_FREE, 1)->getSignAt(T_FREE + nFrame);
        ASSERT_GE(i, 0) << nType;
        EXPECT_EQ(lineAt(T_FREE, 1)->getSign(i).getType(), nType);
        ++nFrame;
    }
}

TEST_F(SEditView, TheEditKeysKeepTheirLimits) {
    key(Qt::Key_F7);
    newLine("Ronan");
    key(Qt::Key_Return);
    ASSERT_TRUE(editor().isEditMode());
    type("la mer");
    goTo(T_FREE + 50);
    key(Qt::Key_Return); // closed and hooked after the text
    goTo(T_FREE);
    key(Qt::Key_Return);
    ASSERT_TRUE(editor().isEditMode());
    const auto line = [&]() -> const CLine& { return *lineAt(T_FREE, 2); };
    ASSERT_TRUE(line().isClosingSignLinked());
    // Home: caret at 1; Backspace there clicks and leaves everything.
    key(Qt::Key_Home);
    EXPECT_EQ(st().m_nSelStart, 1);
    int nClicks = Click::count();
    key(Qt::Key_Backspace);
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_EQ(line().getText(), QStringLiteral("la mer"));
    // End: before the hooked closing sign; Right there clicks, Delete too.
    key(Qt::Key_End);
    EXPECT_EQ(st().m_nSelStart, 7);
    key(Qt::Key_Right);
    key(Qt::Key_Delete);
    EXPECT_EQ(Click::count(), nClicks + 3);
    EXPECT_EQ(st().m_nSelStart, 7);
    // Ctrl+Left: to the start of "mer"; Shift+Ctrl+Right selects it; typing replaces it.
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(st().m_nSelStart, 4);
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(st().m_nSelEnd, 4);
    type("terre");
    EXPECT_EQ(line().getText(), QStringLiteral("la terre"));
    // Space types a space here; Ctrl+Return a line break; Backspace and Delete remove one each.
    key(Qt::Key_Space);
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(line().getText(), QStringLiteral("la terre \n"));
    key(Qt::Key_Backspace);
    key(Qt::Key_Home);
    key(Qt::Key_Delete);
    EXPECT_EQ(line().getText(), QStringLiteral("a terre "));
    EXPECT_TRUE(line().isClosingSignLinked());
    EXPECT_EQ(line().getSigns().back().getLink(), line().getLength() - 1);
    // Typed characters beyond Latin-1 are taken; "²" and "&" are never typed.
    typeChar(QString::fromUtf8("œ€"));
    typeChar(QString::fromUtf8("&"));
    typeChar(QString::fromUtf8("²"));
    EXPECT_EQ(line().getText(), QString::fromUtf8("œ€a terre "));
    // Select all, copy; paste drops the line breaks.
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(st().m_nSelEnd, 1);
    EXPECT_EQ(st().m_nSelStart, line().getLength() - 1);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("œ€a terre "));
    QGuiApplication::clipboard()->setText(QStringLiteral("a\r\nb"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(line().getText(), QStringLiteral("ab"));
    // Cut with nothing selected clicks; with a selection it removes it.
    nClicks = Click::count();
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Click::count(), nClicks + 1);
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(line().getText(), QStringLiteral("a"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("b"));
    // A double click selects the word around the caret.
    key(Qt::Key_Home);
    type("le ");
    QTest::mouseDClick(m_pBand, Qt::LeftButton);
    EXPECT_LT(st().m_nSelEnd, st().m_nSelStart);
}

TEST_F(SEditView, CancellingRemovesANewPhraseAndAsksOnlyAboutChanges) {
    key(Qt::Key_F5);
    // Edit mode on nothing makes a phrase; cancelling at once removes it.
    m_roles.push_back(QStringLiteral("Yann"));
    key(Qt::Key_Return);
    ASSERT_TRUE(editor().isEditMode());
    ASSERT_TRUE(has(T_FREE, 0));
    const size_t nMessages = t.prompts.m_messages.size();
    key(Qt::Key_Escape);
    EXPECT_FALSE(editor().isEditMode());
    EXPECT_FALSE(has(T_FREE, 0));
    EXPECT_EQ(t.prompts.m_messages.size(), nMessages);

    // An existing phrase unchanged: nothing asked.
    const CLine original = this->original();
    goTo(original.getTimeCode());
    key(Qt::Key_Return);
    ASSERT_TRUE(editor().isEditMode());
    key(Qt::Key_Escape);
    EXPECT_EQ(t.prompts.m_messages.size(), nMessages);
    EXPECT_FALSE(editor().isEditMode());
    // Changed: the question; "Non" keeps editing, "Oui" brings the phrase back as it was.
    key(Qt::Key_Return);
    type("zz");
    t.prompts.m_answers = {QMessageBox::No};
    key(Qt::Key_Escape);
    EXPECT_TRUE(t.prompts.told(
        QString::fromUtf8("Voulez-vous vraiment annuler les modifications apportées à cette phrase ?")));
    EXPECT_TRUE(editor().isEditMode());
    t.prompts.m_answers = {QMessageBox::Yes};
    key(Qt::Key_Escape);
    EXPECT_FALSE(editor().isEditMode());
    EXPECT_TRUE(lineAt(original.getTimeCode(), original.getTrack())->isIdentical(original));
    // Escape outside edit mode clicks.
    const int nClicks = Click::count();
    key(Qt::Key_Escape);
    EXPECT_EQ(Click::count(), nClicks + 1);
}

TEST_F(SEditView, DeletingAPhraseAsksWithItsTextAndRole) {
    const CLine original = this->original();
    goTo(original.getTimeCode() + 1);
    const QString strQuestion =
        QString::fromUtf8("Voulez-vous vraiment supprimer la phrase « %1 » attribuée à « %2 » ?")
            .arg(original.getText(), original.getRole().getName());
    key(Qt::Key_Delete, Qt::ControlModifier); // "Non" by default
    EXPECT_TRUE(t.prompts.told(strQuestion));
    EXPECT_TRUE(has(original.getTimeCode(), original.getTrack()));
    t.prompts.m_answers = {QMessageBox::Yes};
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_FALSE(has(original.getTimeCode(), original.getTrack()));
    // Nothing under the bar: a click.
    goTo(T_FREE);
    const int nClicks = Click::count();
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Click::count(), nClicks + 1);
}

TEST_F(SEditView, ReactionsGrowWhileTheKeyIsHeld) {
    key(Qt::Key_F8); // track 4
    // "i" held: "(rire)", then underscores before its parenthesis while the picture runs.
    send(QEvent::KeyPress, Qt::Key_I, QStringLiteral("i"));
    ASSERT_TRUE(has(T_FREE, 3));
    EXPECT_TRUE(lineAt(T_FREE, 3)->isReaction());
    EXPECT_EQ(lineAt(T_FREE, 3)->getText(), QStringLiteral("(rire)"));
    EXPECT_TRUE(editor().isReactionHeld());
    for (int i = 1; i <= 20; ++i) {
        goTo(T_FREE + 2 * i);
        send(QEvent::KeyRelease, Qt::Key_I, QStringLiteral("i"), true);
        send(QEvent::KeyPress, Qt::Key_I, QStringLiteral("i"), true);
    }
    const CLine& rire = *lineAt(T_FREE, 3);
    EXPECT_EQ(rire.getText(), QStringLiteral("(rire______________)")); // positions up to 20 = 40 / 2
    ASSERT_TRUE(rire.hasClosingSign());
    EXPECT_EQ(rire.getSigns().back().getFrames(), (T_FREE + 40).getFrames());
    EXPECT_TRUE(rire.isClosingSignLinked());
    goTo(T_FREE + 44);
    send(QEvent::KeyRelease, Qt::Key_I, QStringLiteral("i"));
    EXPECT_FALSE(editor().isReactionHeld());
    EXPECT_EQ(lineAt(T_FREE, 3)->getSigns().back().getFrames(), (T_FREE + 44).getFrames());
    // Held like that, the reaction is one step.
    EXPECT_EQ(doc().journal().getUndoCount(), 1);

    // "x" never grows.
    const CTimeCode tcX = T_FREE + 100;
    goTo(tcX);
    send(QEvent::KeyPress, Qt::Key_X, QStringLiteral("x"));
    for (int i = 1; i <= 10; ++i) {
        goTo(tcX + 3 * i);
        send(QEvent::KeyPress, Qt::Key_X, QStringLiteral("x"), true);
    }
    send(QEvent::KeyRelease, Qt::Key_X, QStringLiteral("x"));
    EXPECT_EQ(lineAt(tcX, 3)->getText(), QStringLiteral("X"));
    EXPECT_EQ(lineAt(tcX, 3)->getSigns().back().getFrames(), (tcX + 30).getFrames());

    // "?" shuttles forwards at three quarters and never types "(réac ?)"; its release stops.
    goTo(T_FREE + 200);
    const int nLines = script().getLineCount();
    send(QEvent::KeyPress, Qt::Key_Question, QStringLiteral("?"));
    EXPECT_EQ(t.app().transport().getRate(), 18);
    send(QEvent::KeyRelease, Qt::Key_Question, QStringLiteral("?"), true);
    EXPECT_EQ(t.app().transport().getRate(), 18);
    send(QEvent::KeyRelease, Qt::Key_Question, QStringLiteral("?"));
    EXPECT_EQ(t.app().transport().getRate(), 0);
    EXPECT_EQ(script().getLineCount(), nLines);
    // "¼" is the one that does.
    goTo(T_FREE + 300);
    typeChar(QString::fromUtf8("¼"));
    EXPECT_EQ(lineAt(T_FREE + 300, 3)->getText(), QString::fromUtf8("(réac ?)"));
}

TEST_F(SEditView, ReactionsCloseThemselvesWhenTheSettingSaysSo) {
    t.app().settings().set(Settings::EnableAutoCloseReacs, 1);
    key(Qt::Key_F8);
    const int nLines = script().getLineCount();
    typeChar(QStringLiteral("a"));
    ASSERT_TRUE(has(T_FREE, 3));
    const CLine& ah = *lineAt(T_FREE, 3);
    EXPECT_EQ(ah.getText(), QStringLiteral("ah"));
    ASSERT_TRUE(ah.hasClosingSign());
    EXPECT_EQ(ah.getSigns().back().getFrames(), (T_FREE + 10).getFrames());
    EXPECT_EQ(ah.getSigns().back().getLink(), 3);
    // Over the reaction, a letter does nothing more.
    goTo(T_FREE + 5);
    typeChar(QStringLiteral("o"));
    EXPECT_EQ(script().getLineCount(), nLines + 1);
}

TEST_F(SEditView, APhraseCopiedAndPastedElsewhereKeepsItsShape) {
    const CLine original = this->original();
    goTo(original.getTimeCode() + 1);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(editor().lineClipboard().getStartFrame(), 0);
    key(Qt::Key_F6); // track 2
    goTo(T_FREE);
    key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(has(T_FREE, 1));
    CLine pasted = *lineAt(T_FREE, 1);
    EXPECT_EQ(pasted.getText(), original.getText());
    EXPECT_EQ(pasted.getRole().getName(), original.getRole().getName());
    pasted.shift(original.getStartFrame() - T_FREE.getFrames());
    pasted.setTrack(original.getTrack());
    EXPECT_TRUE(pasted.isIdentical(original));
    // Pasting again on the same place is refused; cutting removes the phrase under the bar.
    int nClicks = Click::count();
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Click::count(), nClicks + 1);
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(has(T_FREE, 1));
    // A paste whose end would fall past the end of the day is refused.
    goTo(CTimeCode("23:59:58:00"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Click::count(), nClicks + 2);
}

TEST_F(SEditView, TheRoleOfAPhraseAndTheRolesDialog) {
    const CLine original = this->original();
    goTo(original.getTimeCode() + 1);
    const QString strOther = original.getRole().getName() == QStringLiteral("Ronan")
                                 ? QStringLiteral("Lucie")
                                 : QStringLiteral("Ronan");
    m_roles.push_back(strOther);
    key(Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(m_preselected.size(), 1u);
    EXPECT_EQ(m_preselected[0], original.getRole().getName());
    EXPECT_EQ(lineAt(original.getTimeCode(), original.getTrack())->getRole().getName(), strOther);
    // Refused: nothing changes.
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(lineAt(original.getTimeCode(), original.getTrack())->getRole().getName(), strOther);
    EXPECT_EQ(doc().journal().getUndoCount(), 1);
    doc().undo();
    EXPECT_TRUE(lineAt(original.getTimeCode(), original.getTrack())->isIdentical(original));
}

// Every kind of change this view makes, undone back to the file's bytes and redone to the same result.
TEST_F(SEditView, UndoTakesEveryChangeBackAndRedoBringsItAgain) {
    const QByteArray before = bytes("before.vare");
    ASSERT_FALSE(doc().IsModified());
    // New phrase, typing, a lip sign, a closing sign, on track 1.
    key(Qt::Key_F5);
    newLine("Yann");
    key(Qt::Key_Return);
    type("Allo");
    goTo(T_FREE + 8);
    pad(Qt::Key_4);
    type(" toi");
    key(Qt::Key_Backspace);
    goTo(T_FREE + 30);
    key(Qt::Key_Return);
    // A loop, a shot change, a reaction, a pasted copy, a cancelled edit of the original phrase, a
    // role given, the original deleted.
    goTo(T_FREE + 100);
    pad(Qt::Key_0);
    pad(Qt::Key_1);
    typeChar(QStringLiteral("h"));
    goTo(T_FREE + 120);
    key(Qt::Key_F6);
    const CLine original = this->original();
    goTo(original.getTimeCode());
    key(Qt::Key_C, Qt::ControlModifier);
    key(Qt::Key_Return);
    type("qq");
    t.prompts.m_answers = {QMessageBox::Yes};
    key(Qt::Key_Escape);
    m_roles.push_back(original.getRole().getName() == QStringLiteral("Lucie") ? QStringLiteral("Ronan")
                                                                              : QStringLiteral("Lucie"));
    key(Qt::Key_R, Qt::ControlModifier);
    t.prompts.m_answers = {QMessageBox::Yes};
    key(Qt::Key_Delete, Qt::ControlModifier);
    key(Qt::Key_F6);
    goTo(T_FREE + 200);
    key(Qt::Key_V, Qt::ControlModifier);
    const QByteArray after = bytes("after.vare");
    EXPECT_NE(after, before);
    EXPECT_TRUE(doc().IsModified());
    ASSERT_TRUE(has(T_FREE, 0));
    EXPECT_EQ(lineAt(T_FREE, 0)->getText(), QStringLiteral("Allo to"));

    // Undo step by step: typing in one session is one step.
    const QString strLabels[] = {
        QStringLiteral("Coller la phrase"), QStringLiteral("Suppression de la phrase"),
        QString::fromUtf8("Rôle de la phrase"), QStringLiteral("Annulation de la phrase")};
    for (const QString& strLabel : strLabels) {
        EXPECT_EQ(doc().journal().getUndoLabel(), strLabel);
        ASSERT_TRUE(t.app().commands().trigger(Cmd::EDIT_UNDO));
    }
    int nSteps = 4;
    while (doc().canUndo()) {
        ASSERT_TRUE(t.app().commands().trigger(Cmd::EDIT_UNDO));
        ++nSteps;
    }
    // Nouvelle phrase, Saisie, Signe, Saisie (two keys), Fin de phrase, Boucle, Changement de plan,
    // Réaction, Saisie (the edit then cancelled) and the four above.
    EXPECT_EQ(nSteps, 13);
    EXPECT_EQ(bytes("undone.vare"), before);
    EXPECT_FALSE(doc().IsModified());
    while (doc().canRedo())
        ASSERT_TRUE(t.app().commands().trigger(Cmd::EDIT_REDO));
    EXPECT_EQ(bytes("redone.vare"), after);
    EXPECT_TRUE(doc().IsModified());

    // Undo in edit mode leaves it first.
    goTo(T_FREE);
    key(Qt::Key_F5);
    key(Qt::Key_Return);
    ASSERT_TRUE(editor().isEditMode());
    type("!");
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(editor().isEditMode());
    EXPECT_EQ(lineAt(T_FREE, 0)->getText(), QStringLiteral("Allo to"));
    // Saving, then undoing back to the saved state, clears the flag.
    ASSERT_TRUE(doc().DoFileSave());
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(doc().IsModified());
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(doc().IsModified());
}

TEST(PhraseClipboard, WhatComesBackIsASoundPhraseOrNothing) {
    CLine line;
    line.setTrack(2);
    line.insertSign(CTimeCode::fromFrames(0), CLipSync::IN_CLOSE, true);
    line.insertText(QStringLiteral("Il fait beau"), 1);
    line.insertSign(CTimeCode::fromFrames(20), CLipSync::MPB, true, 4);
    line.insertSign(CTimeCode::fromFrames(30), CLipSync::VOWEL_A, false);
    line.insertSign(CTimeCode::fromFrames(60), CLipSync::OUT_OPEN, true);
    line.setVoiceOff(true);
    CLine back;
    QString strRole;
    ASSERT_TRUE(PhraseClipboard::decode(PhraseClipboard::encode(line), back, strRole));
    back.setTrack(2);
    EXPECT_TRUE(back.isIdentical(line));
    EXPECT_TRUE(back.isVoiceOff());

    auto bad = [&](const char* psz) {
        CLine l;
        QString s;
        return !PhraseClipboard::decode(QByteArray(psz), l, s);
    };
    EXPECT_TRUE(bad("not json"));
    EXPECT_TRUE(bad(R"({"text":"a","signs":[]})"));                      // no sign
    EXPECT_TRUE(bad(R"({"text":"a","signs":[[5,0,0]]})"));               // not from 0
    EXPECT_TRUE(bad(R"({"text":"a","signs":[[0,0,0],[0,2,2]]})"));       // two signs on a frame
    EXPECT_TRUE(bad(R"({"text":"a","signs":[[0,0,0],[10,11,-1]]})"));    // no such type
    EXPECT_TRUE(bad(R"({"text":"a","signs":[[0,0,0],[9999999,2,2]]})")); // past a day
    // Links out of order are not trusted: the sign comes unhooked.
    CLine l;
    QString s;
    ASSERT_TRUE(PhraseClipboard::decode(R"({"text":"abc","signs":[[0,0,0],[5,4,3],[9,5,1]]})", l, s));
    EXPECT_EQ(l.getSign(1).getLink(), 3);
    EXPECT_FALSE(l.getSign(2).isLinked());
}
