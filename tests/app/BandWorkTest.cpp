// Working on the band in the whole program: moving and changing signs, tracks, navigation, the mouse,
// find and "Vérifier", driven by key and mouse events sent to the band as the user makes them, on a
// small script made for each case. Every change is read back from the script, and undone.
#include "TestApp.h"

#include "app/BandEditing.h"
#include "app/Commands.h"
#include "app/FindDlg.h"
#include "app/RoleDialogs.h"
#include "rythmo/RythmoDXEditView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

namespace {
const int F0 = CTimeCode("10:00:00:00").getFrames();
CTimeCode at(int n) {
    return CTimeCode::fromFrames(F0 + n);
}

// A phrase: opening at start, its text, lip signs (frame, link) and a closing sign.
struct SPhrase {
    int nTrack;
    int nStart;
    const char* pszText;
    const char* pszRole; // null: none
    std::vector<std::pair<int, int>> lips;
    int nEnd; // -1: open
    bool bEndLinked = true;
};

class SBandWork : public ::testing::Test {
protected:
    STestApp t{QStringLiteral(
        "[Misc]\nFirstRun=0\n[Settings]\nEnableAutoSave=0\n[Logs]\nAppLogLevel=1\nAppLogType=1\n")};
    CRythmoDXEditView* m_pBand = nullptr;
    std::deque<QString> m_roles;
    int m_nRoleQuestions = 0;

    // Track 1: "Bonjour tout le monde" (Anna, a labial) and "Salut bonjour" (Yann); track 2 "encore
    // bonjour" (Anna); track 3 "chevauche" (Yann, 40 to 80); track 4 a phrase without role or text
    // whose end is not hooked; loops at 170 and 300, shot changes at 180 and 182.
    std::vector<SPhrase> phrases() const {
        return {{0, 0, "Bonjour tout le monde", "Anna", {{20, 8}}, 50},
                {0, 100, "Salut bonjour", "Yann", {}, 150},
                {1, 60, "encore bonjour", "Anna", {}, 90},
                {2, 40, "chevauche", "Yann", {}, 80},
                {3, 200, "", nullptr, {}, 230, false}};
    }

    void SetUp() override {
        if (!CRythmoDXView::isOpenGLAvailable()) GTEST_SKIP() << "OpenGL 3.3 is needed: run under xvfb-run";
        t.m_bViews = true;
        t.m_bBand = true;
        ASSERT_TRUE(t.start());
        CVarE s;
        for (const char* psz : {"Anna", "Yann"})
            s.addRole(CRole(QString::fromUtf8(psz)));
        for (const SPhrase& p : phrases())
            add(s, p);
        s.addLoop(CLoop(at(170), 0));
        s.addLoop(CLoop(at(300), 0));
        s.addShot(at(180));
        s.addShot(at(182));
        ASSERT_TRUE(s.store(t.path("film.vare")));
        open();
    }

    void open() {
        ASSERT_TRUE(doc().openDocumentFile(t.path("film.vare")));
        m_pBand = t.showWithBand();
        ASSERT_NE(m_pBand, nullptr);
        t.app().bandEditing()->m_runRoleDialog = [this](CSelectRoleDlg& dlg) {
            ++m_nRoleQuestions;
            const QString strRole = m_roles.empty() ? QString() : m_roles.front();
            if (!m_roles.empty()) m_roles.pop_front();
            const auto items = dlg.list()->findItems(strRole, Qt::MatchExactly);
            if (strRole.isEmpty() || items.isEmpty()) return int(QDialog::Rejected);
            dlg.list()->setCurrentItem(items.first());
            dlg.accept();
            return dlg.result();
        };
        key(Qt::Key_F5);
        goTo(at(0));
    }

    // Another script in place of the first one.
    void reopen(const std::vector<SPhrase>& list) {
        CVarE s;
        for (const char* psz : {"Anna", "Yann"})
            s.addRole(CRole(QString::fromUtf8(psz)));
        for (const SPhrase& p : list)
            add(s, p);
        ASSERT_TRUE(s.store(t.path("other.vare")));
        ASSERT_TRUE(doc().openDocumentFile(t.path("other.vare")));
        key(Qt::Key_F5);
        goTo(at(0));
    }

    static void add(CVarE& s, const SPhrase& p) {
        CLine line;
        line.setTrack(p.nTrack);
        line.insertSign(at(p.nStart), CLipSync::IN_OPEN, true);
        line.insertText(QString::fromUtf8(p.pszText), -1);
        for (const auto& [nFrame, nLink] : p.lips)
            line.insertSign(at(nFrame), CLipSync::MPB, true, nLink);
        if (p.nEnd >= 0) line.insertSign(at(p.nEnd), CLipSync::OUT_OPEN, p.bEndLinked);
        if (p.pszRole) line.setRole(&*s.findRoleByName(QString::fromUtf8(p.pszRole)));
        ASSERT_TRUE(s.addLine(line).second);
    }

    CVarEDoc& doc() { return t.doc(); }
    CVarE& script() { return doc().script(); }
    CBandViewState& st() { return m_pBand->state(); }
    CTimeCode now() { return t.app().transport().getTimeCode(); }
    void goTo(const CTimeCode& tc) { t.app().transport().gotoTime(tc); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(m_pBand, k, m); }
    CVarE::LineIterator lineAt(int nStart, int nTrack) { return script().findLine({F0 + nStart, nTrack}); }
    bool has(int nStart, int nTrack) { return lineAt(nStart, nTrack) != script().getLines().end(); }
    QByteArray bytes() {
        const QString strPath = t.path(QStringLiteral("check.vare"));
        EXPECT_TRUE(script().store(strPath));
        QFile f(strPath);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    void undoAll() {
        while (doc().canUndo())
            ASSERT_TRUE(doc().undo());
    }
    QString log() {
        const QDir dir(t.app().logFolder());
        QString str;
        for (const QString& strName : dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(strName));
            if (f.open(QIODevice::ReadOnly)) str += QString::fromUtf8(f.readAll());
        }
        return str;
    }
    // Runs a command and reports the clicks it played.
    int clicksOf(const std::function<void()>& f) {
        const int n = Click::count();
        f();
        return Click::count() - n;
    }

    // The point of the view over a frame, on a track, in the lower half (the signs) or the upper one.
    QPoint pointAt(const CTimeCode& tc, int nTrack, bool bLower = true) {
        CBandRenderer& r = m_pBand->renderer();
        r.setPosition(int(now().toMediaTime()));
        const CBandSpace& space = r.space();
        const int x = r.xOf(tc);
        const int y = 300 - 100 * nTrack + (bLower ? 25 : 75);
        const double dHeight = m_pBand->height();
        return {(x - space.nLeft) / space.nZoom,
                int((CBandSpace::HEIGHT - y) / double(CBandSpace::HEIGHT - CBandSpace::BOTTOM) * dHeight)};
    }
    void mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, const QPoint& p,
               Qt::KeyboardModifiers m = Qt::NoModifier) {
        QMouseEvent e(type, QPointF(p), QPointF(m_pBand->mapToGlobal(p)), button, buttons, m);
        QCoreApplication::sendEvent(m_pBand, &e);
    }
    // A left-button drag from one point to another through the points between, one step per frame.
    void drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers m = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, from, m);
        const int nSteps = 12;
        for (int i = 1; i <= nSteps; ++i)
            mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, from + (to - from) * i / nSteps, m);
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, to, m);
    }
};
} // namespace

TEST_F(SBandWork, SignsLoopsAndShotsMoveOneFrameWithinTheirRoom) {
    const QByteArray original = bytes();
    // The labial of the first phrase, one frame later; the transport follows it.
    goTo(at(20));
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getFrames(), F0 + 21);
    EXPECT_EQ(now(), at(21));
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(doc().journal().getUndoLabel(), QString::fromUtf8("Déplacer"));
    // Nothing at the current time: click.
    goTo(at(30));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Right, Qt::ControlModifier); }), 1);
    // A sign never reaches its neighbour's frame.
    ASSERT_TRUE(script().getLineAt(0, at(21)) == lineAt(0, 0));
    goTo(at(50));
    for (int i = 0; i < 28; ++i)
        key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(lineAt(0, 0)->getEndFrame(), F0 + 22);
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Left, Qt::ControlModifier); }), 1);
    EXPECT_EQ(lineAt(0, 0)->getEndFrame(), F0 + 22);
    // The first sign of "Salut bonjour" moves the phrase to its new place in the script.
    goTo(at(100));
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_TRUE(has(99, 0));
    EXPECT_FALSE(has(100, 0));
    // A loop never moves into a phrase: the phrase of track 1 ends at 150.
    goTo(at(170));
    for (int i = 0; i < 19; ++i)
        key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_NE(script().getLoopAt(at(151)), script().getLoops().end());
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Left, Qt::ControlModifier); }), 1);
    EXPECT_NE(script().getLoopAt(at(151)), script().getLoops().end());
    // A shot change never reaches another.
    goTo(at(180));
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_NE(script().getShotAt(at(181)), script().getShots().end());
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Right, Qt::ControlModifier); }), 1);
    EXPECT_EQ(script().getShots().size(), 2u);
    undoAll();
    EXPECT_EQ(bytes(), original);
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(SBandWork, DeletingUnlinkingVoiceOffAndTypes) {
    const QByteArray original = bytes();
    // Suppr takes the loop, then the shot change, then the sign at the current time.
    goTo(at(170));
    key(Qt::Key_Delete);
    EXPECT_EQ(script().getLoopAt(at(170)), script().getLoops().end());
    goTo(at(180));
    key(Qt::Key_Delete);
    EXPECT_EQ(script().getShots().size(), 1u);
    goTo(at(20));
    key(Qt::Key_Delete);
    EXPECT_EQ(lineAt(0, 0)->getSignCount(), 2);
    EXPECT_EQ(lineAt(0, 0)->getText(), QStringLiteral("Bonjour tout le monde"));
    // On the first sign, the whole phrase, after its question (refused, then accepted).
    goTo(at(0));
    key(Qt::Key_Delete);
    EXPECT_TRUE(has(0, 0));
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8(
        "Voulez-vous vraiment supprimer la phrase « Bonjour tout le monde » attribuée à « Anna » ?")));
    t.prompts.m_answers.push_back(QMessageBox::Yes);
    key(Qt::Key_Delete);
    EXPECT_FALSE(has(0, 0));
    // Nothing there: click.
    goTo(at(95));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Delete); }), 1);

    // Ctrl+U, with the menu entry's check mark; Ctrl+Maj+D unlinks every sign.
    goTo(at(110));
    CCommandTable& c = t.app().commands();
    EXPECT_FALSE(c.action(Cmd::EDIT_VOICE_OVER)->isChecked());
    key(Qt::Key_U, Qt::ControlModifier);
    c.refreshForMenu();
    EXPECT_TRUE(lineAt(100, 0)->isVoiceOff());
    EXPECT_TRUE(c.action(Cmd::EDIT_VOICE_OVER)->isChecked());
    EXPECT_TRUE(c.action(Cmd::EDIT_MOVE_TRACK_1)->isChecked());
    key(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(lineAt(100, 0)->getLinkedCount(), 0);
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier); }), 1);
    goTo(at(95));
    c.refreshForMenu();
    EXPECT_FALSE(c.action(Cmd::EDIT_VOICE_OVER)->isEnabled());
    EXPECT_FALSE(c.action(Cmd::EDIT_MOVE_TRACK_1)->isEnabled());

    // The context menu's type and unlink act on the sign right-clicked.
    goTo(at(60));
    key(Qt::Key_F6);
    CVarE::LineIterator it = lineAt(60, 1);
    st().m_bHasSelectedLine = true;
    st().m_itSelectedLine = it;
    st().m_nSelectedSign = 1;
    m_pBand->editor().setContextLine(true);
    c.trigger(Cmd::SIGN_TYPE_OPENING_FIRST + 3);
    EXPECT_EQ(it->getSign(1).getType(), CLipSync::OUT_CLOSE);
    m_pBand->editor().setContextLine(true);
    c.trigger(Cmd::CONTEXT_SIGN_UNLINK);
    EXPECT_FALSE(it->getSign(1).isLinked());
    undoAll();
    EXPECT_EQ(bytes(), original);
}

TEST_F(SBandWork, TracksAndMovingAPhraseToAnother) {
    // Ctrl+Haut from track 1 wraps to track 4, Ctrl+Bas back to track 1.
    key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(m_pBand->renderer().getActiveTrack(), 3);
    EXPECT_TRUE(log().contains(QStringLiteral("CRythmoDXEditView::OnEditTrack() => 4\n")));
    key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(m_pBand->renderer().getActiveTrack(), 0);
    key(Qt::Key_F7);
    EXPECT_EQ(m_pBand->renderer().getActiveTrack(), 2);
    t.app().commands().refreshForMenu();
    EXPECT_TRUE(t.app().commands().action(Cmd::EDIT_TRACK_1 + 2)->isChecked());

    const QByteArray original = bytes();
    // "Salut bonjour" (track 1, 100 to 150) to track 2, after "encore bonjour" (60 to 90): it goes,
    // and its track becomes the active one.
    key(Qt::Key_F5);
    goTo(at(120));
    key(Qt::Key_F6, Qt::ControlModifier);
    EXPECT_TRUE(has(100, 1));
    EXPECT_FALSE(has(100, 0));
    EXPECT_EQ(m_pBand->renderer().getActiveTrack(), 1);
    EXPECT_EQ(doc().journal().getUndoLabel(), QString::fromUtf8("Déplacer la phrase"));
    // To its own track: click.
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F6, Qt::ControlModifier); }), 1);
    // "encore bonjour" (60 to 90) onto track 3, where "chevauche" runs from 40 to 80: click, and it
    // stays; "Bonjour tout le monde" (0 to 50) starts before "chevauche" and ends inside it: click too.
    goTo(at(70));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F7, Qt::ControlModifier); }), 1);
    EXPECT_TRUE(has(60, 1));
    key(Qt::Key_F5);
    goTo(at(10));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F7, Qt::ControlModifier); }), 1);
    EXPECT_TRUE(has(0, 0));
    // No phrase here: the command is disabled, as its menu entry shows.
    goTo(at(95));
    t.app().commands().refreshForMenu();
    EXPECT_FALSE(t.app().commands().action(Cmd::EDIT_MOVE_TRACK_1 + 3)->isEnabled());
    key(Qt::Key_F8, Qt::ControlModifier);
    EXPECT_EQ(doc().journal().getUndoCount(), 1);
    undoAll();
    EXPECT_EQ(bytes(), original);
}

TEST_F(SBandWork, LinksMoveWithinTheTextBetweenTheirNeighbours) {
    const QByteArray original = bytes();
    // The labial of "Bonjour tout le monde" is hooked at 8 ("Bonjour| tout"), after the opening at 0.
    goTo(at(20));
    key(Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getLink(), 7);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getFrames(), F0 + 20); // its time never changes
    for (int i = 0; i < 5; ++i)
        key(Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getLink(), 2);
    // One character at least stays between it and the opening.
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier); }), 1);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getLink(), 2);
    // Towards the closing sign (hooked at the end, 23): never onto it, one character before at most.
    for (int i = 0; i < 40; ++i)
        key(Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getLink(), lineAt(0, 0)->getSign(2).getLink() - 2);
    EXPECT_EQ(lineAt(0, 0)->getText(), QStringLiteral("Bonjour tout le monde"));
    // The opening and the closing sign are never moved this way.
    goTo(at(0));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier); }), 1);
    goTo(at(50));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier); }), 1);
    undoAll();
    EXPECT_EQ(bytes(), original);
}

TEST_F(SBandWork, NavigationByPhraseRoleSignAndLoop) {
    // Tab: the next phrase of the active track; at the last one, "end of rythmo" and a click.
    key(Qt::Key_Tab);
    EXPECT_EQ(now(), at(100));
    EXPECT_TRUE(log().contains(QStringLiteral("CRythmoDXEditView::OnControlNextLine() => 10:00:04:00\n")));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_Tab); }), 1);
    EXPECT_TRUE(log().contains(QStringLiteral("CRythmoDXEditView::OnControlNextLine() => end of rythmo\n")));
    EXPECT_EQ(now(), at(100));
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(now(), at(0));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F9); }), 1);
    EXPECT_TRUE(
        log().contains(QStringLiteral("CRythmoDXEditView::OnControlNextLine() => start of rythmo\n")));
    // In a phrase of Anna's: her next phrase is on track 2; the track does not matter.
    goTo(at(10));
    key(Qt::Key_F10, Qt::ControlModifier);
    EXPECT_EQ(now(), at(60));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F10, Qt::ControlModifier); }), 1); // no later one
    key(Qt::Key_F9, Qt::ControlModifier);
    EXPECT_EQ(now(), at(0));
    goTo(at(95)); // no phrase here
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F10, Qt::ControlModifier); }), 1);
    // Signs, loops and shot changes one after the other.
    goTo(at(0));
    std::vector<int> frames;
    for (int i = 0; i < 6; ++i) {
        key(Qt::Key_Right);
        frames.push_back(now().getFrames() - F0);
    }
    EXPECT_EQ(frames, (std::vector<int>{20, 40, 50, 60, 80, 90}));
    key(Qt::Key_Left);
    EXPECT_EQ(now(), at(80));
    goTo(at(160));
    key(Qt::Key_Right);
    EXPECT_EQ(now(), at(170));
    key(Qt::Key_Right);
    EXPECT_EQ(now(), at(180));
    // Loops.
    key(Qt::Key_F12);
    EXPECT_EQ(now(), at(300));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F12); }), 1);
    EXPECT_TRUE(log().contains(QStringLiteral("CRythmoDXEditView::OnControlNextLoop() => end of rythmo\n")));
    key(Qt::Key_F11);
    EXPECT_EQ(now(), at(170));
    EXPECT_TRUE(log().contains(QStringLiteral("Jumping to previous loop at 10:00:06:20\n")));
    goTo(at(100));
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F11); }), 1);
    EXPECT_FALSE(doc().IsModified());
}

TEST(ScriptVerifier, EachUnfinishedPhraseGetsTheMessageOfWhatItLacks) {
    CRole role(QStringLiteral("Anna"));
    // role, text, closing sign (0 none, 1 not hooked, 2 hooked)
    auto line = [&](bool bRole, const char* pszText, int nClosing) {
        CLine l;
        l.setTrack(0);
        l.insertSign(at(0), CLipSync::IN_OPEN, true);
        l.insertText(QString::fromUtf8(pszText), -1);
        if (nClosing) l.insertSign(at(10), CLipSync::OUT_CLOSE, nClosing == 2);
        if (bRole) l.setRole(&role);
        return l;
    };
    const QString q = QString::fromUtf8("\nVoulez-vous la corriger ?");
    struct SCase {
        bool bRole;
        const char* pszText;
        int nClosing;
        const char* pszMessage;
    };
    const SCase cases[] = {
        {true, "", 0, "Phrase sans texte et sans flèche de fin."},
        {true, "", 1, "Phrase sans texte."},
        {true, "", 2, "Phrase sans texte."},
        {true, "oui", 0, "Phrase sans flèche de fin."},
        {true, "oui", 1, "Phrase dont le texte n'a pas été validé."},
        {false, "", 0, "Phrase sans rôle, sans texte et sans flèche de fin."},
        {false, "", 1, "Phrase sans rôle et sans texte."},
        {false, "", 2, "Phrase sans rôle et sans texte."},
        {false, "oui", 0, "Phrase sans rôle et sans flèche de fin."},
        {false, "oui", 1, "Phrase sans rôle et dont le texte n'a pas été validé."},
        {false, "oui", 2, "Phrase sans rôle."},
    };
    for (const SCase& c : cases) {
        const CLine l = line(c.bRole, c.pszText, c.nClosing);
        EXPECT_FALSE(CScriptVerifier::isFinished(l)) << c.pszMessage;
        EXPECT_EQ(CScriptVerifier::question(l), QString::fromUtf8(c.pszMessage) + q);
    }
    EXPECT_TRUE(CScriptVerifier::isFinished(line(true, "oui", 2)));
    // Unhooking the closing sign of a finished phrase makes it unfinished again.
    CLine l = line(true, "oui", 2);
    l.unlinkSign(at(10));
    EXPECT_EQ(CScriptVerifier::question(l),
              QString::fromUtf8("Phrase dont le texte n'a pas été validé.") + q);
}

TEST_F(SBandWork, VerifyCountsThenShowsEachUnfinishedPhraseOnceInScriptOrder) {
    // One unfinished phrase in the first script: the one of track 4, without role or text.
    t.prompts.m_messages.clear();
    key(Qt::Key_F4); // No to the count
    ASSERT_EQ(t.prompts.m_messages.size(), 1u);
    EXPECT_EQ(t.prompts.m_messages[0].strText,
              QString::fromUtf8("1 erreur détectée.\nVoulez-vous la consulter ?"));
    EXPECT_TRUE(log().contains(QStringLiteral("CRythmoDXEditView::OnEditVerify()\n")));

    // Four unfinished phrases, two at one frame on tracks 3 and 1 (given in that order).
    reopen({{2, 100, "", "Yann", {}, 120},
            {0, 100, "trois", nullptr, {}, 130},
            {0, 0, "un", "Anna", {}, 30, false},
            {1, 50, "deux", "Anna", {}, -1},
            {1, 200, "fini", "Anna", {}, 230}});
    t.prompts.m_messages.clear();
    t.prompts.m_answers = {QMessageBox::Yes}; // then No to every question
    key(Qt::Key_F4);
    std::vector<QString> seen;
    for (const auto& m : t.prompts.m_messages)
        seen.push_back(m.strText.section(QLatin1Char('\n'), 0, 0));
    EXPECT_EQ(seen, (std::vector<QString>{QString::fromUtf8("4 erreurs détectées."),
                                          QString::fromUtf8("Phrase dont le texte n'a pas été validé."),
                                          QString::fromUtf8("Phrase sans flèche de fin."),
                                          QString::fromUtf8("Phrase sans rôle."),
                                          QString::fromUtf8("Phrase sans texte.")}));
    // The last one shown stays under the reading bar, its track active; nothing changed.
    EXPECT_EQ(now(), at(100));
    EXPECT_EQ(m_pBand->renderer().getActiveTrack(), 2);
    EXPECT_FALSE(doc().IsModified());
    EXPECT_FALSE(m_pBand->isEditMode());

    // Cancel stops at once; Yes on a phrase without role asks the role, then opens it for editing.
    t.prompts.m_messages.clear();
    t.prompts.m_answers = {QMessageBox::Yes, QMessageBox::No, QMessageBox::No, QMessageBox::Cancel};
    key(Qt::Key_F4);
    EXPECT_EQ(t.prompts.m_messages.size(), 4u);
    t.prompts.m_answers = {QMessageBox::Yes, QMessageBox::No, QMessageBox::No, QMessageBox::Yes};
    m_roles.push_back(QStringLiteral("Yann"));
    key(Qt::Key_F4);
    EXPECT_EQ(m_nRoleQuestions, 1);
    EXPECT_TRUE(m_pBand->isEditMode());
    EXPECT_EQ(st().m_itSelectedLine->getKey(), (SLineKey{F0 + 100, 0}));
    EXPECT_EQ(st().m_itSelectedLine->getRole().getName(), QStringLiteral("Yann"));
    // Phrases before the start are neither counted nor shown.
    EXPECT_EQ(CScriptVerifier::count(script(), at(0)), 3);
    EXPECT_EQ(CScriptVerifier::count(script(), at(1)), 2);
    EXPECT_EQ(CScriptVerifier::count(script(), at(101)), 0);

    // Every phrase finished: one message, and nothing more.
    reopen({{0, 0, "un", "Anna", {}, 30}});
    t.prompts.m_messages.clear();
    key(Qt::Key_F4);
    ASSERT_EQ(t.prompts.m_messages.size(), 1u);
    EXPECT_EQ(t.prompts.m_messages[0].strText, QString::fromUtf8("Aucune erreur détectée."));
    EXPECT_EQ(t.prompts.m_messages[0].eIcon, IPrompts::ICON_INFORMATION);
    reopen({});
    t.prompts.m_messages.clear();
    key(Qt::Key_F4);
    ASSERT_EQ(t.prompts.m_messages.size(), 1u);
    EXPECT_EQ(t.prompts.m_messages[0].strText, QString::fromUtf8("Aucune erreur détectée."));
}

TEST_F(SBandWork, FindWithCaseWholeWordRoleAndWrap) {
    CBandFinder& f = m_pBand->finder();
    auto found = [&] {
        // The phrase shown and the match selected in it.
        if (!m_pBand->isEditMode()) return QString();
        const CLine& l = *st().m_itSelectedLine;
        return QStringLiteral("%1@%2:%3")
            .arg(l.getStartFrame() - F0)
            .arg(l.getTrack() + 1)
            .arg(l.getTextBetween(std::min(st().m_nSelStart, st().m_nSelEnd),
                                  std::max(st().m_nSelStart, st().m_nSelEnd)));
    };
    auto next = [&] {
        key(Qt::Key_F3);
        return found();
    };
    f.m_params.strText = QStringLiteral("bonjour");
    // From the first phrase of track 1 at or after the current time, through the script in its
    // order, whatever the track; then around to the first again.
    EXPECT_EQ(next(), QStringLiteral("0@1:Bonjour"));
    EXPECT_TRUE(log().contains(QStringLiteral("CRythmoDXEditView::OnEditFindNext() 'bonjour'\n")));
    EXPECT_EQ(next(), QStringLiteral("60@2:bonjour"));
    EXPECT_EQ(next(), QStringLiteral("100@1:bonjour"));
    EXPECT_EQ(next(), QStringLiteral("0@1:Bonjour"));
    // The transport is on the match's first letter, inside its phrase.
    EXPECT_GE(now().getFrames(), F0);
    EXPECT_LE(now().getFrames(), F0 + 20);
    // Match case.
    f.m_params.bMatchCase = true;
    EXPECT_EQ(next(), QStringLiteral("60@2:bonjour"));
    f.m_params.strText = QStringLiteral("Bonjour");
    EXPECT_EQ(next(), QStringLiteral("0@1:Bonjour"));
    // Whole word: "che" is inside "chevauche" only.
    f.m_params.bMatchCase = false;
    f.m_params.bWholeWord = true;
    f.m_params.strText = QStringLiteral("che");
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F3); }), 1);
    f.m_params.strText = QStringLiteral("tout");
    EXPECT_EQ(next(), QStringLiteral("0@1:tout"));
    // One role only.
    f.m_params.bWholeWord = false;
    f.m_params.strText = QStringLiteral("bonjour");
    f.m_params.strRole = QStringLiteral("Yann");
    f.startOver();
    goTo(at(0));
    EXPECT_EQ(next(), QStringLiteral("100@1:bonjour"));
    EXPECT_EQ(next(), QStringLiteral("100@1:bonjour")); // around, the same one
    // An empty text does nothing.
    f.m_params.strText.clear();
    EXPECT_EQ(clicksOf([&] { key(Qt::Key_F3); }), 0);
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(SBandWork, TheFindDialogSearchesAsTheTextIsTyped) {
    t.app().commands().trigger(Cmd::EDIT_FIND);
    CFindDlg* pDlg = t.app().bandEditing()->findDialog();
    ASSERT_TRUE(pDlg->isVisible());
    EXPECT_EQ(pDlg->windowTitle(), QStringLiteral("Rechercher"));
    ASSERT_EQ(pDlg->roleList()->count(), 4);
    EXPECT_EQ(pDlg->roleList()->itemText(0), QString::fromUtf8("Tous les rôles"));
    EXPECT_EQ(pDlg->roleList()->currentIndex(), 0);
    // Typing searches at once; the match grows with the text.
    QTest::keyClicks(pDlg->textEdit(), QStringLiteral("sal"));
    ASSERT_TRUE(m_pBand->isEditMode());
    EXPECT_EQ(st().m_itSelectedLine->getStartFrame(), F0 + 100);
    EXPECT_EQ(std::abs(st().m_nSelStart - st().m_nSelEnd), 3);
    // The separator is no choice; a role is, and searches again.
    pDlg->roleList()->setCurrentIndex(1);
    EXPECT_EQ(pDlg->roleList()->currentIndex(), 0);
    pDlg->textEdit()->setText(QStringLiteral("bonjour"));
    pDlg->roleList()->setCurrentIndex(2); // Anna: "Salut bonjour" is Yann's, the next is around
    EXPECT_EQ(st().m_itSelectedLine->getStartFrame(), F0);
    // "Suivant" starts from the current time again, on the active track.
    m_pBand->editor().quitEditMode();
    goTo(at(55));
    key(Qt::Key_F6);
    QTest::mouseClick(pDlg->nextButton(), Qt::LeftButton);
    EXPECT_EQ(st().m_itSelectedLine->getStartFrame(), F0 + 60);
    pDlg->close();
}

TEST_F(SBandWork, DraggingASignInTimeAndInTheTextIsOneStep) {
    const QByteArray original = bytes();
    goTo(at(10));
    const int nSteps = doc().journal().getUndoCount();
    // The labial (20, hooked at 8) dragged ten frames later: later in time, earlier in the text.
    drag(pointAt(at(20), 0), pointAt(at(30), 0));
    const CLine& l = *lineAt(0, 0);
    EXPECT_EQ(l.getSign(1).getFrames(), F0 + 30);
    EXPECT_EQ(l.getSign(1).getLink(), 2); // 8 - 240 / 30, kept one letter after the opening
    EXPECT_EQ(doc().journal().getUndoCount(), nSteps + 1);
    EXPECT_TRUE(log().contains(QString::fromUtf8("déplacement de l'offset 2\t0\t22\n")));
    EXPECT_TRUE(m_pBand->isEditMode());
    undoAll();
    // The link moves on while the frame stays: 30, 46 then 60 units back (one frame and one position,
    // two frames, then the second position alone).
    goTo(at(10));
    {
        const QPoint from = pointAt(at(20), 0);
        mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, from);
        for (int nPixels : {15, 23, 30})
            mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, from - QPoint(nPixels, 0));
        mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, from - QPoint(30, 0));
    }
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getFrames(), F0 + 18);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getLink(), 10);
    undoAll();
    drag(pointAt(at(20), 0), pointAt(at(30), 0));
    // Never past its neighbours, never its link across another's.
    drag(pointAt(at(30), 0), pointAt(at(70), 0));
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getFrames(), F0 + 49);
    drag(pointAt(at(49), 0), pointAt(at(-5), 0));
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getFrames(), F0 + 1);
    EXPECT_LT(lineAt(0, 0)->getSign(1).getLink(), lineAt(0, 0)->getSign(2).getLink());
    EXPECT_EQ(lineAt(0, 0)->getText(), QStringLiteral("Bonjour tout le monde"));
    EXPECT_EQ(doc().journal().getUndoCount(), nSteps + 3);
    EXPECT_EQ(nSteps, 0);
    // With Ctrl, in time only.
    const int nLink = lineAt(0, 0)->getSign(1).getLink();
    drag(pointAt(at(1), 0), pointAt(at(12), 0), Qt::ControlModifier);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getFrames(), F0 + 12);
    EXPECT_EQ(lineAt(0, 0)->getSign(1).getLink(), nLink);
    // With Ctrl on a first sign, the phrase moves, up to the frame after the previous one's end (50).
    goTo(at(100));
    drag(pointAt(at(100), 0), pointAt(at(40), 0), Qt::ControlModifier);
    EXPECT_TRUE(has(51, 0));
    EXPECT_EQ(lineAt(51, 0)->getText(), QStringLiteral("Salut bonjour"));
    undoAll();
    EXPECT_EQ(bytes(), original);
}

TEST_F(SBandWork, CtrlDragsOfLoopsAndShotsKeepTheirRoom) {
    const QByteArray original = bytes();
    goTo(at(170));
    // The loop at 170, dragged back into "Salut bonjour" (ends at 150), stops after it.
    drag(pointAt(at(170), 0, false), pointAt(at(140), 0, false), Qt::ControlModifier);
    EXPECT_NE(script().getLoopAt(at(151)), script().getLoops().end());
    EXPECT_EQ(script().getLoops().size(), 2u);
    // Without Ctrl a click only selects it.
    drag(pointAt(at(151), 0, false), pointAt(at(160), 0, false));
    EXPECT_NE(script().getLoopAt(at(151)), script().getLoops().end());
    EXPECT_TRUE(st().m_bHasSelectedLoop);
    // The shot change at 180 stops before the one at 182.
    goTo(at(180));
    drag(pointAt(at(180), 0, false), pointAt(at(190), 0, false), Qt::ControlModifier);
    EXPECT_NE(script().getShotAt(at(181)), script().getShots().end());
    EXPECT_EQ(doc().journal().getUndoCount(), 2);
    undoAll();
    EXPECT_EQ(bytes(), original);
    // A click on empty band makes its track active.
    goTo(at(95));
    drag(pointAt(at(95), 2, false), pointAt(at(95), 2, false));
    EXPECT_EQ(m_pBand->renderer().getActiveTrack(), 2);
}

TEST_F(SBandWork, MiddleButtonShuttlesAndTheWheelStepsFrames) {
    goTo(at(100));
    const QPoint right = pointAt(at(150), 0);
    mouse(QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, right);
    EXPECT_GT(t.app().transport().getRate(), 0);
    EXPECT_TRUE(log().contains(QStringLiteral("Shuttle- => ")));
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::MiddleButton, pointAt(at(50), 0));
    EXPECT_LT(t.app().transport().getRate(), 0);
    mouse(QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, pointAt(at(50), 0));
    EXPECT_EQ(t.app().transport().getRate(), 0);

    goTo(at(100));
    auto wheel = [&](int nDelta) {
        QWheelEvent e(QPointF(right), QPointF(m_pBand->mapToGlobal(right)), QPoint(), QPoint(0, nDelta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_pBand, &e);
    };
    wheel(-120);
    EXPECT_EQ(now(), at(101));
    wheel(-240);
    EXPECT_EQ(now(), at(103));
    wheel(120);
    EXPECT_EQ(now(), at(102));
    wheel(30); // a fine wheel's small step is still one frame
    EXPECT_EQ(now(), at(101));
}

TEST_F(SBandWork, TheContextMenusActOnWhatWasRightClicked) {
    goTo(at(10));
    QStringList entries;
    // Picks an entry once the menu is up (however long a loaded machine takes to show it).
    std::function<void(const QString&, int)> pick = [&](const QString& strChoice, int nTries) {
        QTimer::singleShot(50, [&, strChoice, nTries] {
            QMenu* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!pMenu || !pMenu->isVisible()) {
                if (nTries > 0) pick(strChoice, nTries - 1);
                return;
            }
            entries.clear();
            for (QAction* p : pMenu->actions())
                entries << p->text().section(QLatin1Char('\t'), 0, 0);
            for (QAction* p : pMenu->actions())
                if (p->text().section(QLatin1Char('\t'), 0, 0) == strChoice) {
                    pMenu->close();
                    p->trigger();
                    return;
                }
            pMenu->close();
        });
    };
    auto answer = [&](const QString& strChoice) { pick(strChoice, 200); };
    // On the labial: "Décrocher le signe" unhooks that one.
    answer(QString::fromUtf8("Décrocher le signe"));
    mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, pointAt(at(20), 0));
    mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, pointAt(at(20), 0));
    EXPECT_TRUE(entries.contains(QStringLiteral("Changer le type")));
    EXPECT_TRUE(entries.contains(QString::fromUtf8("Déplacer la phrase")));
    EXPECT_FALSE(lineAt(0, 0)->getSign(1).isLinked());
    EXPECT_TRUE(lineAt(0, 0)->getSign(2).isLinked());
    // On a loop: "Supprimer" removes it.
    goTo(at(170));
    answer(QStringLiteral("Supprimer"));
    mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, pointAt(at(170), 1, false));
    mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, pointAt(at(170), 1, false));
    EXPECT_EQ(entries, QStringList{QStringLiteral("Supprimer")});
    EXPECT_EQ(script().getLoopAt(at(170)), script().getLoops().end());
    EXPECT_EQ(doc().journal().getUndoCount(), 2);
}

TEST_F(SBandWork, AFileDroppedOnTheBandOpensAsAnywhereElse) {
    CVarE other;
    other.set(CVarE::H_TITLE, QStringLiteral("Autre"));
    ASSERT_TRUE(other.store(t.path("autre.vare")));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(t.path("autre.vare"))});
    // As the platform delivers a drop: to the window under the pointer, the band's own without a
    // picture beside it.
    ASSERT_FALSE(m_pBand->isComposed());
    QWindow* pWindow = m_pBand->bandWindow();
    const QPointF p(100, 50);
    QDragEnterEvent enter(p.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pWindow, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(p, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pWindow, &drop);
    EXPECT_EQ(script().get(CVarE::H_TITLE), QStringLiteral("Autre"));
    EXPECT_EQ(script().getLineCount(), 0);
}

TEST_F(SBandWork, DraggingOverTheTextSelectsItAndChangesNothing) {
    const QByteArray original = bytes();
    goTo(at(10));
    // The upper half of the track holds the text: a drag there selects, the caret following.
    drag(pointAt(at(3), 0, false), pointAt(at(15), 0, false));
    ASSERT_TRUE(m_pBand->isEditMode());
    EXPECT_EQ(st().m_itSelectedLine, lineAt(0, 0));
    EXPECT_GT(st().m_nSelStart, st().m_nSelEnd);
    EXPECT_FALSE(st().m_bSignSelected);
    EXPECT_FALSE(doc().canUndo());
    EXPECT_EQ(bytes(), original);
}

TEST_F(SBandWork, ToolTipsTellTheSignLoopShotOrPhraseUnderThePointer) {
    goTo(at(20));
    const QString strDash = QStringLiteral(" \u2014 ");
    const QString strLabial = QStringLiteral("MPB") + strDash + at(20).toString();
    EXPECT_EQ(m_pBand->toolTipAt(pointAt(at(20), 0)), strLabial);
    EXPECT_EQ(m_pBand->toolTipAt(pointAt(at(30), 0, false)), QStringLiteral("Anna : Bonjour tout le monde"));
    EXPECT_EQ(m_pBand->toolTipAt(pointAt(at(210), 3, false)), QString::fromUtf8("Sans rôle"));
    goTo(at(170));
    const int nLoop = script().getLoopAt(at(170))->getNumber();
    EXPECT_EQ(m_pBand->toolTipAt(pointAt(at(170), 0, false)),
              QStringLiteral("Boucle %1").arg(nLoop) + strDash + at(170).toString());
    EXPECT_EQ(m_pBand->toolTipAt(pointAt(at(180), 0, false)),
              QStringLiteral("Changement de plan") + strDash + at(180).toString());
    EXPECT_TRUE(m_pBand->toolTipAt(pointAt(at(260), 1)).isEmpty());

    // Shown once the pointer rests, gone at the press that starts a drag.
    goTo(at(20));
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, pointAt(at(20), 0));
    QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 5000);
    EXPECT_EQ(QToolTip::text(), strLabial);
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, pointAt(at(20), 0));
    EXPECT_TRUE(m_pBand->toolTipAt(pointAt(at(20), 0)).isEmpty());
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, pointAt(at(20), 0));
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), 5000);
}
