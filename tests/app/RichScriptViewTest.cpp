// The script text view: what it shows of a script, how it follows the update hints element by element,
// the element it highlights and follows, and what clicks and the wheel do.
#include "ScriptGenerator.h"

#include "app/Prompts.h"
#include "app/RichScriptView.h"
#include "base/Settings.h"
#include "base/UpdateHint.h"
#include "vare/VarE.h"

#include <QFile>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>
#include <random>

namespace {
constexpr int TEN_HOURS = 10 * 3600 * 25;

CTimeCode at(int nSeconds, int nFrames = 0) {
    return CTimeCode::fromFrames(TEN_HOURS + nSeconds * 25 + nFrames);
}

// What the view asks of the program, recorded.
struct SFakeHost : IScriptViewHost {
    CTimeCode tc = at(0);
    int nTrack = 0;
    bool bFollowing = true;
    QStringList calls;

    CTimeCode getTimeCode() override { return tc; }
    void gotoTime(const CTimeCode& t) override {
        calls << QStringLiteral("goto %1").arg(t.toString());
        tc = t;
        bFollowing = true; // as the transport does
    }
    bool isFollowing() const override { return bFollowing; }
    void setFollowing(bool b) override {
        if (!b) calls << QStringLiteral("stop following");
        bFollowing = b;
    }
    int getActiveTrack() const override { return nTrack; }
    void setActiveTrack(int n) override {
        calls << QStringLiteral("track %1").arg(n);
        nTrack = n;
    }
    void enterEditMode() override { calls << QStringLiteral("enter edit mode"); }
    void leaveEditMode() override { calls << QStringLiteral("leave edit mode"); }
    void focusBand() override { calls << QStringLiteral("focus band"); }
};

const CLine* addPhrase(CVarE& s, const CTimeCode& tcFrom, const CTimeCode& tcTo, int nTrack,
                       const QString& strText, const CRole* pRole = nullptr) {
    CLine line;
    line.setTrack(nTrack);
    line.insertSign(tcFrom, CLipSync::IN_OPEN, true);
    line.insertText(strText, -1);
    line.insertSign(tcTo, CLipSync::OUT_OPEN, true);
    line.setRole(pRole);
    const auto [it, bAdded] = s.addLine(line);
    return bAdded ? &*it : nullptr;
}

const CLoop* addLoop(CVarE& s, const CTimeCode& tc) {
    if (!s.addLoop(CLoop(tc, 0))) return nullptr;
    return &*s.getLoopAt(tc);
}

// One run of text with one format: the pieces as they are drawn.
struct SRun {
    QString strText;
    double fPoints;
    bool bBold;
    QRgb color;
    bool operator==(const SRun&) const = default;
};

std::vector<SRun> runsOf(const QTextDocument& doc) {
    std::vector<SRun> runs;
    for (QTextBlock b = doc.firstBlock(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            SRun r{it.fragment().text(), f.fontPointSize(), f.fontWeight() == QFont::Bold,
                   f.foreground().color().rgb()};
            if (!runs.empty() && runs.back().fPoints == r.fPoints && runs.back().bBold == r.bBold &&
                runs.back().color == r.color)
                runs.back().strText += r.strText;
            else
                runs.push_back(r);
        }
        if (b.next().isValid()) runs.push_back({QStringLiteral("¶"), 0, false, 0});
    }
    return runs;
}

std::ostream& operator<<(std::ostream& os, const SRun& r) {
    return os << '"' << r.strText.toStdString() << "\" " << r.fPoints << (r.bBold ? " bold " : " ")
              << std::hex << r.color << std::dec;
}

// The script's phrases and loops in time order, a loop before a phrase of the same frame.
std::vector<const CElement*> timeOrder(const CVarE& s) {
    std::vector<const CElement*> v;
    auto l = s.getLines().begin();
    auto p = s.getLoops().begin();
    while (l != s.getLines().end() || p != s.getLoops().end()) {
        if (p != s.getLoops().end() && (l == s.getLines().end() || p->getFrames() <= l->getStartFrame()))
            v.push_back(&*p++);
        else
            v.push_back(&*l++);
    }
    return v;
}

// The view mirrors the script: its elements in time order, their ranges contiguous over the text.
void expectMirrors(const CRichScriptView& view, const CVarE& s) {
    const CElementRanges& r = view.ranges();
    const std::vector<const CElement*> shown = r.elements();
    ASSERT_EQ(shown, timeOrder(s));
    ASSERT_EQ(int(shown.size()), r.count());
    int nEnd = 0;
    for (const CElement* p : shown) {
        const auto [nStart, nStop] = r.range(p);
        ASSERT_EQ(nStart, nEnd);
        ASSERT_GT(nStop, nStart);
        ASSERT_EQ(r.elementAt(nStart), p);
        ASSERT_EQ(r.elementAt(nStop - 1), p);
        nEnd = nStop;
    }
    ASSERT_EQ(nEnd, r.total());
    ASSERT_EQ(r.total(), view.document()->characterCount() - 1);
    ASSERT_EQ(r.elementAt(r.total()), nullptr);
    if (view.currentElement()) {
        ASSERT_TRUE(r.contains(view.currentElement()));
    }
}

// A view of the script in a window of its own, with a log to read and a settings file.
struct SScriptView : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<CSettingsStore> pSettings =
        CSettingsStore::fromIniFile(dir.filePath(QStringLiteral("t.ini")));
    CTraceLog log;
    CVarE script;
    SFakeHost host;
    CRichScriptView view;

    void SetUp() override {
        log.Open(CTraceLog::TYPE_FILE, 1, dir.path(), QStringLiteral("app"));
        view.setLog(&log);
        view.setSettings(pSettings.get());
        view.setHost(&host);
        view.resize(400, 300);
        view.show();
        view.OnInitialUpdate(&script);
    }
    QString trace() const {
        QFile f(log.getLogPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString text() const { return view.document()->toPlainText(); }
    QString textOf(const CElement* p) const {
        const auto [a, b] = view.ranges().range(p);
        return text().mid(a, b - a);
    }
    // The same script written from scratch by a view of its own, at the same time and track.
    std::vector<SRun> fromScratch() {
        CRichScriptView fresh;
        fresh.setSettings(pSettings.get());
        fresh.setHost(&host);
        fresh.OnInitialUpdate(&script);
        fresh.OnUpdate(NEW_DOC, nullptr);
        return runsOf(*fresh.document());
    }
    QPoint pointOf(int nPos) {
        QTextCursor c(view.document());
        c.setPosition(nPos);
        return view.cursorRect(c).center();
    }
    QRgb colorAt(int nPos) {
        QTextCursor c(view.document());
        c.setPosition(nPos + 1);
        return c.charFormat().foreground().color().rgb();
    }
};
} // namespace

TEST_F(SScriptView, AnEmptyScriptShowsNothingAndCountsNothing) {
    view.OnUpdate(NEW_DOC, nullptr);
    EXPECT_EQ(text(), QString());
    EXPECT_EQ(view.ranges().total(), 0);
    const QString strTrace = trace();
    EXPECT_TRUE(strTrace.contains(QStringLiteral("CRichScriptView::OnInitialUpdate()\n")));
    EXPECT_TRUE(strTrace.contains(QStringLiteral("\tNEW_DOC\n")));
    EXPECT_TRUE(strTrace.contains(QStringLiteral("\t0 lignes et 0 boucles\n")));
    EXPECT_TRUE(strTrace.contains(QString::fromUtf8("\t0 itérations\n")));
    EXPECT_TRUE(strTrace.contains(QStringLiteral("CRichScriptView::OnUpdate(0) => Ok\n")));
    EXPECT_TRUE(view.isFollowTimerActive());
}

TEST_F(SScriptView, PhrasesAndLoopsReadAsTheActorReadsThem) {
    const CRole* pAnna = &*script.addRole(CRole(QStringLiteral("ANNA"))).first;
    addPhrase(script, at(1), at(3), 0, QStringLiteral("  deux   mots  "), pAnna);
    addPhrase(script, at(5), at(6), 1, QStringLiteral("Qui ?"));
    // A loop and a phrase at the same frame: the loop first.
    script.addLoop(CLoop(at(5), 12));
    // A line break as read from a file.
    addPhrase(script, at(7), at(8), 2, QStringLiteral("ligne\r\nsuivante"), pAnna);
    view.OnUpdate(NEW_DOC, nullptr);

    EXPECT_EQ(text(), QStringLiteral("10:00:01:00 - ANNA :\ndeux mots\n\n"
                                     "boucle 12\n\n"
                                     "10:00:05:00 - ??? :\nQui ?\n\n"
                                     "10:00:07:00 - ANNA :\nligne\nsuivante\n\n"));
    EXPECT_TRUE(trace().contains(QStringLiteral("\t3 lignes et 1 boucles\n")));
    EXPECT_TRUE(trace().contains(QString::fromUtf8("\t4 itérations\n")));
    expectMirrors(view, script);
    // Every element is one block of the document: a line break inside is a line separator.
    EXPECT_EQ(view.document()->blockCount(), 5);
    // The blank line closing each element has one height, after a loop as after a phrase.
    auto* pLayout = qobject_cast<QPlainTextDocumentLayout*>(view.document()->documentLayout());
    ASSERT_NE(pLayout, nullptr);
    QList<qreal> blanks;
    for (QTextBlock b = view.document()->firstBlock(); b.next().isValid(); b = b.next()) {
        pLayout->ensureBlockLayout(b);
        blanks << b.layout()->lineAt(b.layout()->lineCount() - 1).height();
    }
    EXPECT_EQ(blanks, QList<qreal>(4, blanks.front()));
}

TEST_F(SScriptView, EachPieceHasItsSizeWeightAndThemeColour) {
    for (int nTheme : {0, 1, 2}) {
        pSettings->set(Settings::Theme, nTheme);
        view.OnTimer();
        script.clear();
        addPhrase(script, at(1), at(3), 0, QStringLiteral("Texte"),
                  &*script.addRole(CRole(QStringLiteral("BOB"))).first);
        script.addLoop(CLoop(at(4), 3));
        view.OnUpdate(NEW_DOC, nullptr);
        const auto c = CScriptTextStyle::colorsFor(nTheme);
        const std::vector<SRun> expected = {
            {QStringLiteral("10:00:01:00 - "), 7.5, false, c.timecode.rgb()},
            {QStringLiteral("BOB :\u2028"), 10, true, c.text.rgb()},
            {QStringLiteral("Texte\u2028"), 8.75, false, c.text.rgb()},
            {QStringLiteral("¶"), 0, false, 0},
            {QStringLiteral("boucle "), 10, true, c.text.rgb()},
            {QStringLiteral("3\u2028"), 15, true, c.text.rgb()},
            {QStringLiteral("¶"), 0, false, 0},
        };
        EXPECT_EQ(runsOf(*view.document()), expected) << "theme " << nTheme;
    }
    EXPECT_EQ(CScriptTextStyle::colorsFor(0).text, QColor(36, 44, 52));
    EXPECT_EQ(CScriptTextStyle::colorsFor(1).timecode, QColor(140, 114, 85));
    EXPECT_EQ(view.font().family(), CScriptTextStyle::faceName());
    EXPECT_EQ(view.document()->defaultFont().family(), CScriptTextStyle::faceName());
    EXPECT_FALSE(view.document()->isUndoRedoEnabled()); // emptied again and again, never undone
    EXPECT_TRUE(QFontInfo(view.font()).fixedPitch());
}

TEST_F(SScriptView, TheBackgroundFollowsTheThemeWithinATick) {
    pSettings->set(Settings::Theme, 1);
    view.OnTimer();
    EXPECT_EQ(view.backgroundColor(), QColor(250, 246, 232));
    addPhrase(script, at(1), at(3), 0, QStringLiteral("Texte"));
    view.OnUpdate(NEW_DOC, nullptr);
    const QRgb paperText = CScriptTextStyle::colorsFor(1).text.rgb();

    pSettings->set(Settings::Theme, 0);
    view.OnTimer();
    EXPECT_EQ(view.backgroundColor(), QColor(246, 247, 250));
    EXPECT_EQ(view.viewport()->grab().toImage().pixelColor(395, 295), QColor(246, 247, 250));
    // The texts take the new colours when they are written again.
    const CElement* pLine = &*script.getLines().begin();
    EXPECT_EQ(colorAt(view.ranges().range(pLine).first + 20), paperText);
    view.updateElem(pLine);
    EXPECT_EQ(colorAt(view.ranges().range(pLine).first + 20), CScriptTextStyle::colorsFor(0).text.rgb());
}

TEST_F(SScriptView, TheCurrentElementIsHighlightedAndFollowed) {
    const QRgb red = QColor(168, 39, 47).rgb();
    std::vector<const CLine*> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back(
            addPhrase(script, at(2 * i), at(2 * i + 1), i % 2, QStringLiteral("Phrase %1").arg(i)));
    const CLoop* pLoop = addLoop(script, at(301, 10));
    view.OnUpdate(NEW_DOC, nullptr);
    EXPECT_EQ(view.currentElement(), lines[0]);
    // Phrase 150 is on track 0 and covers 10:05:00:10.
    host.tc = at(300, 10);
    host.bFollowing = false;
    view.OnTimer();
    EXPECT_EQ(view.currentElement(), lines[150]);
    EXPECT_EQ(colorAt(view.ranges().range(lines[150]).first), red);
    EXPECT_EQ(view.verticalScrollBar()->value(), 0); // not following: the text stays put

    // Following: the element's first line goes h / 30 lines below the top.
    host.tc = at(302, 5);
    host.nTrack = 1;
    host.bFollowing = true;
    view.OnTimer();
    ASSERT_EQ(view.currentElement(), lines[151]);
    EXPECT_NE(colorAt(view.ranges().range(lines[150]).first), red);
    const QTextBlock block = view.ranges().block(lines[151]);
    const int nTop = view.cursorRect(QTextCursor(block)).top();
    const int nAbove = view.viewport()->height() / 30;
    EXPECT_GT(nTop, (nAbove - 1) * 10);
    EXPECT_LT(nTop, (nAbove + 1) * 20);

    // A loop exactly at the time wins over the phrase that covers it on the track (it starts later).
    host.tc = at(301, 10);
    host.nTrack = 0;
    lines.push_back(addPhrase(script, at(301, 10), at(301, 20), 2, QStringLiteral("en même temps")));
    view.OnUpdate(NEW_ITEM, lines.back());
    EXPECT_EQ(view.currentElement(), pLoop);
    host.nTrack = 2; // the phrase starting at the loop's frame: the loop still
    view.OnTimer();
    EXPECT_EQ(view.currentElement(), pLoop);
    EXPECT_EQ(colorAt(view.ranges().range(pLoop).first), red);
    host.tc = at(301, 11);
    view.OnTimer();
    EXPECT_EQ(view.currentElement(), lines.back());
    // Between phrases nothing is current.
    host.tc = at(1000);
    view.OnTimer();
    EXPECT_EQ(view.currentElement(), nullptr);
    for (const SRun& r : runsOf(*view.document()))
        EXPECT_NE(r.color, red) << r;
    expectMirrors(view, script);
}

TEST_F(SScriptView, DeletingAnElementMovesTheLaterOnesBackAndRenumbersLoops) {
    const CLine* pFirst = addPhrase(script, at(1), at(2), 0, QStringLiteral("un"));
    const CLoop* pLoop1 = addLoop(script, at(3));
    const CLine* pSecond = addPhrase(script, at(4), at(5), 0, QStringLiteral("deux"));
    addLoop(script, at(6));
    addLoop(script, at(8));
    view.OnUpdate(NEW_DOC, nullptr);
    host.tc = at(4, 1);
    view.OnTimer();
    ASSERT_EQ(view.currentElement(), pSecond);

    // The current phrase goes: no element is highlighted until the next tick.
    view.OnUpdate(DELETE_ITEM, pSecond);
    EXPECT_EQ(view.currentElement(), nullptr);
    script.eraseLine(script.findLine(pSecond->getKey()));
    expectMirrors(view, script);
    for (const SRun& r : runsOf(*view.document()))
        EXPECT_NE(r.color, QColor(168, 39, 47).rgb()) << r;

    // A loop goes as its command deletes it: the hint first, then the script renumbers the later ones.
    view.OnUpdate(DELETE_ITEM, pLoop1);
    script.deleteLoop(script.getLoopAt(at(3)));
    QCoreApplication::processEvents();
    EXPECT_EQ(text(), QStringLiteral("10:00:01:00 - ??? :\nun\n\nboucle 1\n\nboucle 2\n\n"));
    expectMirrors(view, script);
    EXPECT_TRUE(view.ranges().contains(pFirst));
}

TEST_F(SScriptView, NewItemsGoWhereTheyBelongAndLoopsAfterANewOneAreRenumbered) {
    addPhrase(script, at(1), at(2), 0, QStringLiteral("un"));
    addLoop(script, at(10));
    addLoop(script, at(20));
    view.OnUpdate(NEW_DOC, nullptr);
    const CLine* pNew = addPhrase(script, at(5), at(6), 3, QStringLiteral("nouveau"));
    view.OnUpdate(NEW_ITEM, pNew);
    const CLoop* pLoop = addLoop(script, at(3));
    view.OnUpdate(NEW_ITEM, pLoop);
    const CLine* pLast = addPhrase(script, at(30), at(31), 0, QStringLiteral("fin"));
    view.OnUpdate(NEW_ITEM, pLast);
    EXPECT_EQ(text(), QStringLiteral("10:00:01:00 - ??? :\nun\n\nboucle 1\n\n10:00:05:00 - ??? :\nnouveau\n\n"
                                     "boucle 2\n\nboucle 3\n\n10:00:30:00 - ??? :\nfin\n\n"));
    expectMirrors(view, script);
}

// Drawing the pane flushes the whole window: it is left until just after a change, never skipped, and
// a stream of changes (a held key) still sees it drawn as it goes.
TEST_F(SScriptView, AChangeIsDrawnJustAfterItAndAStreamOfChangesIsDrawnAsItGoes) {
    addPhrase(script, at(1), at(2), 0, QStringLiteral("un"));
    view.OnUpdate(NEW_DOC, nullptr);
    EXPECT_FALSE(view.updatesEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.updatesEnabled(); }, 2000));

    int nDrawn = 0;
    for (int i = 0; i < 40; ++i) {
        view.OnUpdate(NEW_ITEM, addPhrase(script, at(10 + i), at(10 + i, 10), 1, QStringLiteral("x")));
        QTest::qWait(10);
        if (view.updatesEnabled()) ++nDrawn;
    }
    EXPECT_GT(nDrawn, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.updatesEnabled(); }, 2000));
    expectMirrors(view, script);
}

TEST_F(SScriptView, APhraseMovedLaterKeepsItsHighlight) {
    const CLine* pMoved = addPhrase(script, at(1), at(9), 0, QStringLiteral("déplacée"));
    const CLine* pOther = addPhrase(script, at(2), at(3), 1, QStringLiteral("autre"));
    addLoop(script, at(10));
    view.OnUpdate(NEW_DOC, nullptr);
    host.tc = at(5);
    view.OnTimer();
    ASSERT_EQ(view.currentElement(), pMoved);

    // Its first sign goes after the other phrase: its text follows that phrase's.
    const auto it = script.updateLine(script.findLine(pMoved->getKey()),
                                      [](CLine& l) { l.moveSign(l.getSign(0).getTimeCode(), at(4)); });
    ASSERT_EQ(&*it, pMoved);
    view.OnUpdate(REPLACE_LINE, pMoved);
    EXPECT_EQ(view.currentElement(), pMoved);
    EXPECT_LT(view.ranges().range(pOther).first, view.ranges().range(pMoved).first);
    EXPECT_EQ(colorAt(view.ranges().range(pMoved).first), QColor(168, 39, 47).rgb());
    EXPECT_TRUE(textOf(pMoved).startsWith(QStringLiteral("10:00:04:00 - ")));

    // Moved on its own (no clock step after it): the highlight goes with the text.
    script.updateLine(script.findLine(pMoved->getKey()),
                      [](CLine& l) { l.moveSign(l.getSign(0).getTimeCode(), at(2, 10)); });
    view.replaceElem(pMoved);
    EXPECT_EQ(view.currentElement(), pMoved);
    EXPECT_EQ(colorAt(view.ranges().range(pMoved).first), QColor(168, 39, 47).rgb());
    EXPECT_TRUE(textOf(pMoved).startsWith(QStringLiteral("10:00:02:10 - ")));
    expectMirrors(view, script);
}

TEST_F(SScriptView, RolesRenamedOrDeletedAreShownAgain) {
    const auto itBob = script.addRole(CRole(QStringLiteral("BOB"))).first;
    const CLine* pBob = addPhrase(script, at(1), at(2), 0, QStringLiteral("un"), &*itBob);
    const CLine* pNone = addPhrase(script, at(3), at(4), 0, QStringLiteral("deux"));
    view.OnUpdate(NEW_DOC, nullptr);
    script.renameRole(itBob, QStringLiteral("ROBERT"));
    view.OnUpdate(UPDATE_ROLE, &*itBob);
    EXPECT_EQ(textOf(pBob), QStringLiteral("10:00:01:00 - ROBERT :\nun\n\n"));

    // The document tells of a deleted role once it is gone; an undone step tells of it before.
    script.deleteRole(script.findRoleByName(QStringLiteral("ROBERT")));
    view.OnUpdate(UPDATE_ROLE, nullptr);
    EXPECT_EQ(textOf(pBob), QStringLiteral("10:00:01:00 - ??? :\nun\n\n"));
    const auto itAnna = script.addRole(CRole(QStringLiteral("ANNA"))).first;
    script.setLineRole(script.findLine(pNone->getKey()), itAnna);
    view.OnUpdate(UPDATE_LINE, pNone);
    EXPECT_EQ(textOf(pNone), QStringLiteral("10:00:03:00 - ANNA :\ndeux\n\n"));
    view.OnUpdate(UPDATE_ROLE, nullptr);
    script.deleteRole(itAnna);
    QCoreApplication::processEvents();
    EXPECT_EQ(textOf(pNone), QStringLiteral("10:00:03:00 - ??? :\ndeux\n\n"));
}

TEST_F(SScriptView, MissingObjectsAndUnknownHintsAreReported) {
    view.OnUpdate(NEW_DOC, nullptr);
    const int nClicks = Click::count();
    view.OnUpdate(UPDATE_LINE, nullptr);
    view.OnUpdate(DELETE_ITEM, nullptr);
    view.OnUpdate(NEW_ITEM, nullptr);
    view.OnUpdate(REPLACE_LINE, nullptr);
    view.appendElem(nullptr);
    view.OnUpdate(42, nullptr);
    view.OnUpdate(NOTHING, nullptr);
    EXPECT_EQ(Click::count(), nClicks + 5);
    const QString strTrace = trace();
    for (const char* psz : {"updateElem", "deleteElem", "insertElem", "replaceElem", "appendElem"})
        EXPECT_TRUE(strTrace.contains(QString::fromUtf8("CRichScriptView::%1(NULL) => Problème!\n").arg(psz)))
            << psz;
    EXPECT_TRUE(strTrace.contains(QStringLiteral("\tPROBLEME!!!\n")));
    EXPECT_TRUE(strTrace.contains(QStringLiteral("\tNOTHING\n")));
    EXPECT_TRUE(strTrace.contains(QStringLiteral("CRichScriptView::OnUpdate(42) => Ok\n")));
    // A view without a script yet ignores the hints.
    CRichScriptView early;
    early.OnUpdate(NEW_DOC, nullptr);
    EXPECT_EQ(early.document()->toPlainText(), QString());
}

TEST_F(SScriptView, AClickTakesTheTransportToTheElementAndTheBandTheKeyboard) {
    const CLine* pLine = addPhrase(script, at(1), at(2), 2, QStringLiteral("Allô ?"));
    const CLoop* pLoop = addLoop(script, at(3));
    view.OnUpdate(NEW_DOC, nullptr);
    QWidget* pPort = view.viewport();

    QTest::mouseClick(pPort, Qt::LeftButton, {}, pointOf(view.ranges().range(pLine).first + 16));
    EXPECT_EQ(host.calls, QStringList({"leave edit mode", "track 2", "focus band", "goto 10:00:01:00",
                                       "stop following"}));
    host.calls.clear();
    QTest::mouseClick(pPort, Qt::LeftButton, {}, pointOf(view.ranges().range(pLoop).first + 2));
    EXPECT_EQ(host.calls,
              QStringList({"leave edit mode", "focus band", "goto 10:00:03:00", "stop following"}));
    host.calls.clear();
    // Below the text: the band only gets the keyboard.
    QTest::mouseClick(pPort, Qt::LeftButton, {}, QPoint(200, 290));
    EXPECT_EQ(host.calls, QStringList({"focus band"}));
    host.calls.clear();
    QTest::mouseClick(pPort, Qt::RightButton, {}, pointOf(view.ranges().range(pLine).first + 16));
    EXPECT_TRUE(host.calls.isEmpty());
    QTest::mouseDClick(pPort, Qt::LeftButton, {}, pointOf(view.ranges().range(pLine).first + 16));
    EXPECT_EQ(host.calls.mid(host.calls.size() - 2), QStringList({"enter edit mode", "focus band"}));
    EXPECT_FALSE(view.hasFocus());
    EXPECT_EQ(view.focusPolicy(), Qt::NoFocus);
}

TEST_F(SScriptView, TheWheelAndTheScrollBarScrollAndStopTheFollowing) {
    for (int i = 0; i < 100; ++i)
        addPhrase(script, at(2 * i), at(2 * i + 1), 0, QStringLiteral("Phrase %1").arg(i));
    view.OnUpdate(NEW_DOC, nullptr);
    QScrollBar* pBar = view.verticalScrollBar();
    pBar->setValue(10);
    const int v = pBar->value(); // where the lines laid out put it
    ASSERT_GE(v, 2);
    auto wheel = [&](int nDelta) {
        QWheelEvent e(QPointF(100, 100), view.viewport()->mapToGlobal(QPointF(100, 100)), {}, {0, nDelta},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view.viewport(), &e);
    };
    wheel(120); // forward: two lines up
    EXPECT_EQ(pBar->value(), v - 2);
    EXPECT_FALSE(host.bFollowing);
    wheel(-240);
    EXPECT_EQ(pBar->value(), v + 2);
    // A touchpad's small turns add up.
    for (int i = 0; i < 4; ++i)
        wheel(-30);
    EXPECT_EQ(pBar->value(), v + 4);

    host.bFollowing = true;
    pBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_FALSE(host.bFollowing);
    // Following moves the bar without stopping the following.
    host.bFollowing = true;
    host.tc = at(150);
    view.OnTimer();
    EXPECT_TRUE(host.bFollowing);
    EXPECT_GT(pBar->value(), v + 4);
}

// A thousand changes in a row, each told as the document tells it: the text stays the one a fresh view
// writes, and the ranges stay contiguous over it.
TEST_F(SScriptView, AThousandHintsLeaveTheTextAsIfWrittenFromScratch) {
    generateScript(script, 300, 11, 3);
    ASSERT_FALSE(script.getLoops().empty());
    ASSERT_FALSE(script.getRoles().empty());
    view.OnUpdate(NEW_DOC, nullptr);
    const int nFirst = script.getLines().begin()->getStartFrame();
    const int nSpan = script.getLines().rbegin()->getEndFrame() - nFirst + 250;
    std::mt19937 rng(2024);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto anyLine = [&] {
        auto it = script.getLines().begin();
        std::advance(it, pick(script.getLineCount()));
        return it;
    };
    auto anyRole = [&] {
        auto it = script.getRoles().begin();
        std::advance(it, pick(int(script.getRoles().size())));
        return it;
    };
    int nDone[10] = {};
    for (int nStep = 0; nStep < 1000; ++nStep) {
        const int nKind = pick(10);
        switch (nKind) {
        case 0: { // a phrase typed somewhere
            const CTimeCode tc = CTimeCode::fromFrames(nFirst + pick(nSpan));
            if (const CLine* p =
                    addPhrase(script, tc, tc + 10 + pick(40), pick(4),
                              QStringLiteral("neuve  %1 ").arg(nStep), pick(2) ? &*anyRole() : nullptr)) {
                view.OnUpdate(NEW_ITEM, p);
                ++nDone[nKind];
            }
            break;
        }
        case 1: { // a phrase deleted
            if (script.getLineCount() < 50) break;
            const auto it = anyLine();
            view.OnUpdate(DELETE_ITEM, &*it);
            script.eraseLine(it);
            ++nDone[nKind];
            break;
        }
        case 2: { // its text typed
            const auto it = script.insertText(anyLine(), QStringLiteral("x "), 0);
            view.OnUpdate(UPDATE_LINE, &*it);
            ++nDone[nKind];
            break;
        }
        case 3: { // moved in time or to another track
            bool bOk = false;
            const auto itLine = anyLine();
            const int nShift = std::max(pick(200) - 100, -itLine->getStartFrame()), nTrack = pick(4);
            const auto it = script.updateLine(
                itLine,
                [&](CLine& l) {
                    l.shift(nShift);
                    l.setTrack(nTrack);
                },
                &bOk);
            if (bOk) {
                view.OnUpdate(REPLACE_LINE, &*it);
                ++nDone[nKind];
            }
            break;
        }
        case 4: { // a loop added (the later ones renumbered before the hint)
            const CTimeCode tc = CTimeCode::fromFrames(nFirst + pick(nSpan));
            if (script.addLoop(CLoop(tc, 0))) {
                view.OnUpdate(NEW_ITEM, &*script.getLoopAt(tc));
                ++nDone[nKind];
            }
            break;
        }
        case 5: { // a loop deleted (renumbered once gone)
            if (script.getLoops().empty()) break;
            auto it = script.getLoops().begin();
            std::advance(it, pick(int(script.getLoops().size())));
            view.OnUpdate(DELETE_ITEM, &*it);
            script.deleteLoop(it);
            ++nDone[nKind];
            break;
        }
        case 6: { // a role renamed, or given to a phrase
            if (pick(2)) {
                const auto itRole = anyRole();
                if (script.renameRole(itRole, itRole->getName() + QLatin1Char('+')))
                    view.OnUpdate(UPDATE_ROLE, &*itRole);
            } else {
                const auto it = script.setLineRole(anyLine(), anyRole());
                view.OnUpdate(UPDATE_LINE, &*it);
            }
            ++nDone[nKind];
            break;
        }
        case 7: { // a role deleted, told after (a command) or before (an undone step)
            if (script.getRoles().size() < 3) {
                script.addRole(CRole(QStringLiteral("R%1").arg(nStep)));
                view.OnUpdate(UPDATE_ROLE, &*script.findRoleByName(QStringLiteral("R%1").arg(nStep)));
                break;
            }
            const bool bBefore = pick(2);
            const auto itRole = anyRole();
            if (bBefore) view.OnUpdate(UPDATE_ROLE, nullptr);
            script.deleteRole(itRole);
            if (!bBefore) view.OnUpdate(UPDATE_ROLE, nullptr);
            ++nDone[nKind];
            break;
        }
        case 8: // the clock moves (and the current element with it)
            host.tc = CTimeCode::fromFrames(nFirst + pick(nSpan));
            host.nTrack = pick(4);
            host.bFollowing = pick(2);
            view.OnTimer();
            ++nDone[nKind];
            break;
        default:
            view.OnUpdate(pick(20) == 0 ? NEW_DOC : NOTHING, nullptr);
            ++nDone[nKind];
            break;
        }
        QCoreApplication::processEvents(); // between two commands
        ASSERT_NO_FATAL_FAILURE(expectMirrors(view, script)) << "step " << nStep << " kind " << nKind;
        if (nStep % 100 == 99) {
            view.OnTimer();
            ASSERT_EQ(runsOf(*view.document()), fromScratch()) << "step " << nStep;
        }
    }
    for (int n : nDone)
        EXPECT_GT(n, 20);
}
