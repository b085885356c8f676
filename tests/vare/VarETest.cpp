#include "vare/VarE.h"

#include <climits>
#include <gtest/gtest.h>

namespace {
CTimeCode tc(int f) {
    return CTimeCode::fromFrames(f);
}

// A phrase on a track from frame a to frame b (b < 0: open, no closing sign).
CLine phrase(int nTrack, int a, int b, const QString& text = QStringLiteral("texte")) {
    CLine l;
    l.setTrack(nTrack);
    l.insertSign(tc(a), CLipSync::IN_OPEN, true, 0);
    l.insertText(text, -1);
    if (b >= 0) l.insertSign(tc(b), CLipSync::OUT_CLOSE, true, -1);
    return l;
}

std::vector<int> loopNumbers(const CVarE& v) {
    std::vector<int> n;
    for (const CLoop& l : v.getLoops())
        n.push_back(l.getNumber());
    return n;
}
} // namespace

TEST(VarE, LoopNumbering) {
    CVarE v;
    v.clear();
    EXPECT_TRUE(v.addLoop(CLoop(tc(100), 0)));
    EXPECT_EQ(loopNumbers(v), (std::vector<int>{1}));
    for (int f : {200, 300, 400})
        EXPECT_TRUE(v.addLoop(CLoop(tc(f), 0)));
    EXPECT_EQ(loopNumbers(v), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(v.addLoop(CLoop(tc(200), 0))); // frame taken
    // Between 3 and 4: becomes 4, the former 4 becomes 5.
    EXPECT_TRUE(v.addLoop(CLoop(tc(350), 0)));
    EXPECT_EQ(loopNumbers(v), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(v.getLoopAt(tc(350))->getNumber(), 4);
    // An explicit number renumbers from it.
    EXPECT_TRUE(v.addLoop(CLoop(tc(150), 10)));
    EXPECT_EQ(loopNumbers(v), (std::vector<int>{1, 10, 11, 12, 13, 14}));
    v.deleteLoop(v.getLoopAt(tc(150)));
    EXPECT_EQ(loopNumbers(v), (std::vector<int>{1, 10, 11, 12, 13}));
    v.setFirstLoopNumber(1);
    EXPECT_EQ(loopNumbers(v), (std::vector<int>{1, 2, 3, 4, 5}));
    v.deleteLoop(v.getLoopAt(tc(200)));
    EXPECT_EQ(loopNumbers(v), (std::vector<int>{1, 2, 3, 4}));

    EXPECT_EQ(v.getPreviousLoop(tc(50), false), v.getLoops().end());
    EXPECT_EQ(v.getPreviousLoop(tc(300), false)->getFrames(), 300);
    EXPECT_EQ(v.getPreviousLoop(tc(300), true)->getFrames(), 100);
    EXPECT_EQ(v.getPreviousLoop(tc(9999), true)->getFrames(), 400);

    // A number at the top of the range (a file may say anything) stays there instead of wrapping.
    {
        CVarE x;
        EXPECT_TRUE(x.addLoop(CLoop(tc(100), INT_MAX)));
        EXPECT_TRUE(x.addLoop(CLoop(tc(200), 0)));
        EXPECT_TRUE(x.addLoop(CLoop(tc(50), INT_MAX - 1)));
        EXPECT_EQ(loopNumbers(x), (std::vector<int>{INT_MAX - 1, INT_MAX, INT_MAX}));
        x.deleteLoop(x.getLoopAt(tc(50)));
        EXPECT_EQ(loopNumbers(x), (std::vector<int>{INT_MAX - 1, INT_MAX - 1}));
    }

    // The header's first loop number serves for the first loop of an empty script.
    CVarE w;
    w.set(CVarE::H_FIRST_LOOP_NUMBER, QStringLiteral("7"));
    EXPECT_EQ(w.getFirstLoopNumber(), 7);
    w.addLoop(CLoop(tc(10), 0));
    w.addLoop(CLoop(tc(5), 0)); // before the first: previous none -> the header number, and renumbering
    EXPECT_EQ(loopNumbers(w), (std::vector<int>{7, 8}));
}

TEST(VarE, PhraseOrderAndDuplicates) {
    CVarE v;
    EXPECT_TRUE(v.addLine(phrase(2, 100, 150)).second);
    EXPECT_TRUE(v.addLine(phrase(0, 100, 150)).second);
    EXPECT_FALSE(v.addLine(phrase(0, 100, 180)).second);
    EXPECT_FALSE(v.addLine(CLine()).second); // no signs: no time, not added
    ASSERT_EQ(v.getLineCount(), 2);
    EXPECT_EQ(v.getLines().begin()->getTrack(), 0);
    EXPECT_EQ(v.getTrackCount(), 3);
}

TEST(VarE, LineLookUps) {
    CVarE v;
    v.addLine(phrase(0, 100, 150));
    v.addLine(phrase(0, 200, -1)); // open phrase
    v.addLine(phrase(1, 120, 160));
    v.addLine(phrase(3, 10, 20));
    v.addLoop(CLoop(tc(180), 0));

    auto at = [&](int track, int f, bool bLoop = true) {
        auto it = v.getLineAt(track, tc(f), bLoop);
        return it == v.getLines().end() ? -1 : it->getStartFrame();
    };
    EXPECT_EQ(at(0, 99), -1);
    EXPECT_EQ(at(0, 100), 100);
    EXPECT_EQ(at(0, 150), 100);  // at the closing sign's frame
    EXPECT_EQ(at(0, 151), -1);   // one frame later
    EXPECT_EQ(at(0, 5000), 200); // open phrase covers every later time
    EXPECT_EQ(at(1, 130), 120);
    EXPECT_EQ(at(2, 130), -1);
    EXPECT_EQ(at(3, 15), 10);

    // Loop bound: a phrase started before the loop at 180 does not count after it.
    CVarE w;
    w.addLine(phrase(0, 100, -1));
    w.addLoop(CLoop(tc(180), 0));
    EXPECT_EQ(w.getLineAt(0, tc(190), true), w.getLines().end());
    EXPECT_NE(w.getLineAt(0, tc(190), false), w.getLines().end());

    auto next = [&](int track, int f, bool strict, bool bLoop) {
        auto it = v.getNextLine(track, tc(f), strict, bLoop);
        return it == v.getLines().end() ? -1 : it->getStartFrame();
    };
    EXPECT_EQ(next(0, 100, false, false), 100);
    EXPECT_EQ(next(0, 100, true, false), 200);
    EXPECT_EQ(next(0, 100, true, true), -1); // 200 lies beyond the loop at 180
    auto prev = [&](int track, int f, bool strict, bool bLoop) {
        auto it = v.getPreviousLine(track, tc(f), strict, bLoop);
        return it == v.getLines().end() ? -1 : it->getStartFrame();
    };
    EXPECT_EQ(prev(0, 200, false, false), 200);
    EXPECT_EQ(prev(0, 200, true, false), 100);
    EXPECT_EQ(prev(0, 200, true, true), -1); // 100 lies before the loop at 180
    EXPECT_EQ(prev(0, 99, false, false), -1);

    // A phrase starting exactly on a loop belongs to that loop: found from inside it, bounded or not.
    CVarE x;
    x.addLine(phrase(0, 100, 150));
    x.addLine(phrase(0, 180, 190));
    x.addLine(phrase(0, 300, 310));
    x.addLoop(CLoop(tc(180), 0));
    x.addLoop(CLoop(tc(300), 0));
    auto prevIn = [&](int f, bool strict) {
        auto it = x.getPreviousLine(0, tc(f), strict, true);
        return it == x.getLines().end() ? -1 : it->getStartFrame();
    };
    EXPECT_EQ(prevIn(200, false), 180);
    EXPECT_EQ(prevIn(181, true), 180);
    EXPECT_EQ(prevIn(180, false), 180);
    EXPECT_EQ(prevIn(180, true), -1); // 100 lies before the loop
    EXPECT_EQ(x.getLineAt(0, tc(185))->getStartFrame(), 180);
    // ... and is beyond the reach of the loop before.
    EXPECT_EQ(x.getNextLine(0, tc(200), true, true), x.getLines().end());
    EXPECT_EQ(x.getNextLine(0, tc(200), true, false)->getStartFrame(), 300);
}

TEST(VarE, SignLookUps) {
    CVarE v;
    CLine a = phrase(0, 100, 150);
    a.insertSign(tc(120), CLipSync::MPB, false);
    v.addLine(a);
    CLine b = phrase(2, 110, 130);
    v.addLine(b);
    v.addLine(phrase(1, 300, 320));

    auto next = [&](int f) {
        auto [it, i] = v.getNextSign(tc(f));
        return it == v.getLines().end() ? std::pair{-1, -1}
                                        : std::pair{it->getTrack(), it->getSigns()[i].getFrames()};
    };
    EXPECT_EQ(next(0), (std::pair{0, 100}));
    EXPECT_EQ(next(100), (std::pair{2, 110}));
    EXPECT_EQ(next(110), (std::pair{0, 120}));
    EXPECT_EQ(next(120), (std::pair{2, 130}));
    EXPECT_EQ(next(130), (std::pair{0, 150}));
    EXPECT_EQ(next(150), (std::pair{1, 300}));
    EXPECT_EQ(next(320), (std::pair{-1, -1}));

    auto prev = [&](int f) {
        auto [it, i] = v.getPreviousSign(tc(f));
        return it == v.getLines().end() ? std::pair{-1, -1}
                                        : std::pair{it->getTrack(), it->getSigns()[i].getFrames()};
    };
    EXPECT_EQ(prev(100), (std::pair{-1, -1}));
    EXPECT_EQ(prev(111), (std::pair{2, 110}));
    EXPECT_EQ(prev(125), (std::pair{0, 120}));
    EXPECT_EQ(prev(1000), (std::pair{1, 320}));
}

TEST(VarE, RolesFollowRenamesAndDeletion) {
    CVarE v;
    CRole lea(QStringLiteral("Léa"));
    lea.setId(QStringLiteral("lea"));
    auto [itLea, ok] = v.addRole(lea);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(v.addRole(CRole(QStringLiteral("Léa"))).second);
    v.addRole(CRole(QStringLiteral("Marc")));

    CLine l = phrase(0, 100, 150);
    l.setRole(&*itLea);
    auto itLine = v.addLine(l).first;
    EXPECT_EQ(v.findRole(QStringLiteral("lea")), itLea);
    EXPECT_EQ(v.findRole(QStringLiteral("Léa")), v.getRoles().end());

    EXPECT_FALSE(v.renameRole(itLea, QStringLiteral("Marc")));
    ASSERT_TRUE(v.renameRole(itLea, QStringLiteral("Adèle")));
    EXPECT_EQ(v.getRoles().begin()->getName(), "Adèle");
    EXPECT_EQ(itLine->getRole().getName(), "Adèle");

    // Merging makes the id from the name, with a counter while taken.
    CRole other(QStringLiteral("Léa"));
    other.setId(QStringLiteral("anything"));
    auto merged = v.mergeRole(other);
    ASSERT_TRUE(merged.second);
    EXPECT_EQ(merged.first->getId(), "lea_1");

    v.deleteRole(v.findRoleByName(QStringLiteral("Adèle")));
    EXPECT_FALSE(itLine->hasRole());
    EXPECT_EQ(v.getLineCount(), 1);
}

TEST(VarE, UpdateLineKeepsOrderAndIndex) {
    CVarE v;
    auto it = v.addLine(phrase(0, 100, 150)).first;
    v.addLine(phrase(0, 300, 350));
    bool bOk = false;
    it = v.updateLine(
        it, [](CLine& l) { l.shift(100); }, &bOk); // now 200..250
    ASSERT_TRUE(bOk);
    EXPECT_EQ(it->getStartFrame(), 200);
    EXPECT_EQ(v.getLineAt(0, tc(220))->getStartFrame(), 200);
    EXPECT_EQ(v.getLineAt(0, tc(120)), v.getLines().end());
    // A change that would collide is undone.
    auto res = v.updateLine(
        it, [](CLine& l) { l.shift(100); }, &bOk);
    EXPECT_FALSE(bOk);
    EXPECT_EQ(res, v.getLines().end());
    EXPECT_EQ(v.getLineCount(), 2);
    EXPECT_EQ(v.getLineAt(0, tc(220))->getStartFrame(), 200);
    // Moving to another track.
    it = v.getLineAt(0, tc(220));
    it = v.updateLine(
        it, [](CLine& l) { l.setTrack(3); }, &bOk);
    ASSERT_TRUE(bOk);
    EXPECT_EQ(v.getLineAt(3, tc(220))->getTrack(), 3);
    EXPECT_EQ(v.getLineAt(0, tc(220)), v.getLines().end());
    EXPECT_EQ(v.getTrackCount(), 4);
}

TEST(VarE, ShiftRefusesLeavingTheDay) {
    CVarE v;
    v.addLine(phrase(0, 100, 150));
    v.addLine(phrase(1, 120, 2159970)); // a long phrase ending near the end of the day
    v.addLine(phrase(0, 200, 250));
    v.addLoop(CLoop(tc(90), 0));
    v.addShot(tc(95));
    EXPECT_FALSE(v.shift(-101));
    EXPECT_FALSE(v.shift(10)); // the long phrase would pass 23:59:59:00
    EXPECT_EQ(v.getLines().begin()->getStartFrame(), 100);
    ASSERT_TRUE(v.shift(-50));
    EXPECT_EQ(v.getLines().begin()->getStartFrame(), 50);
    EXPECT_EQ(v.getLoops().begin()->getFrames(), 40);
    EXPECT_EQ(v.getShots().begin()->getFrames(), 45);
    EXPECT_EQ(v.getLineAt(0, tc(160))->getStartFrame(), 150);
    EXPECT_FALSE(v.shift(-41)); // the loop would go below zero

    // Landing exactly on 23:59:59:00 is allowed, one frame further is not: for a phrase's end, a loop
    // and a shot change alike.
    ASSERT_EQ(TC_MAX.getFrames(), 2159975);
    CVarE a;
    a.addLine(phrase(0, 100, 2159970));
    EXPECT_FALSE(a.shift(6));
    ASSERT_TRUE(a.shift(5));
    EXPECT_EQ(a.getLines().begin()->getEndFrame(), 2159975);
    EXPECT_FALSE(a.shift(1));
    CVarE b;
    b.addLoop(CLoop(tc(2159970), 0));
    b.addLoop(CLoop(tc(10), 0));
    EXPECT_FALSE(b.shift(6));
    ASSERT_TRUE(b.shift(5));
    EXPECT_EQ(b.getLoops().rbegin()->getFrames(), 2159975);
    EXPECT_FALSE(b.shift(-16));
    ASSERT_TRUE(b.shift(-15));
    EXPECT_EQ(b.getLoops().begin()->getFrames(), 0);
    CVarE c;
    c.addShot(tc(2159970));
    c.addShot(tc(10));
    EXPECT_FALSE(c.shift(6));
    ASSERT_TRUE(c.shift(5));
    EXPECT_EQ(c.getShots().rbegin()->getFrames(), 2159975);
    EXPECT_FALSE(c.shift(-16));
    // The items of the day's last second may go there when asked.
    EXPECT_FALSE(c.shift(10));
    EXPECT_TRUE(c.shift(10, CTimeCode::fromFrames(CTimeCode::FRAMES_PER_DAY - 1)));
}

TEST(VarE, LoopsAndShotsMoveWithinTheirRoom) {
    CVarE v;
    for (int f : {100, 200, 300})
        v.addLoop(CLoop(tc(f), 0));
    EXPECT_FALSE(v.addLoop(CLoop(TC_INVALID, 0)));
    EXPECT_FALSE(v.addShot(TC_INVALID));
    v.addLine(phrase(0, 250, -1));
    bool bOk = true;
    auto it = v.getLoopAt(tc(200));
    EXPECT_EQ(v.moveLoop(it, tc(300), &bOk), it);
    EXPECT_FALSE(bOk);
    v.moveLoop(it, tc(100), &bOk);
    EXPECT_FALSE(bOk);
    v.moveLoop(it, tc(50), &bOk); // would pass loop 1
    EXPECT_FALSE(bOk);
    it = v.moveLoop(it, tc(260), &bOk);
    ASSERT_TRUE(bOk);
    EXPECT_EQ(it->getNumber(), 2);
    // The band's loop bound follows the moves.
    EXPECT_NE(v.getLineAt(0, tc(255)), v.getLines().end());
    EXPECT_EQ(v.getLineAt(0, tc(265)), v.getLines().end());
    it = v.moveLoop(it, tc(240), &bOk);
    ASSERT_TRUE(bOk);
    EXPECT_NE(v.getLineAt(0, tc(265)), v.getLines().end());
    EXPECT_EQ(v.getLineAt(0, tc(301)), v.getLines().end());
    v.deleteLoop(v.getLoopAt(tc(300)));
    EXPECT_NE(v.getLineAt(0, tc(301)), v.getLines().end());

    v.addShot(tc(10));
    v.addShot(tc(20));
    auto s = v.moveShot(v.getShotAt(tc(10)), tc(20), &bOk);
    EXPECT_FALSE(bOk);
    s = v.moveShot(s, tc(30), &bOk);
    ASSERT_TRUE(bOk);
    EXPECT_EQ(v.getShots().rbegin()->getFrames(), 30);
    EXPECT_EQ(s, std::prev(v.getShots().end()));
}

// The look-up index follows each change without being built again; a sweep of every frame after each
// change compares it with the phrases themselves.
TEST(VarE, LookUpIndexFollowsEachChange) {
    CVarE v;
    v.addLine(phrase(0, 100, 150));
    v.addLine(phrase(0, 200, -1));
    v.addLine(phrase(1, 120, 160));
    v.addLoop(CLoop(tc(400), 0));
    auto check = [&](const char* what) {
        for (int t = 0; t < 4; ++t)
            for (int f = 0; f < 600; ++f) {
                const CLine* pExpected = nullptr;
                for (const CLine& l : v.getLines())
                    if (l.getTrack() == t && l.getStartFrame() <= f) pExpected = &l;
                const auto loop = v.getPreviousLoop(tc(f), false);
                if (pExpected) {
                    const int k = pExpected->getFirstClosingSign();
                    if ((k >= 0 && pExpected->getSign(k).getFrames() < f) ||
                        (loop != v.getLoops().end() && pExpected->getStartFrame() < loop->getFrames()))
                        pExpected = nullptr;
                }
                const auto it = v.getLineAt(t, tc(f));
                ASSERT_EQ(it == v.getLines().end() ? nullptr : &*it, pExpected)
                    << what << " " << t << " " << f;
            }
    };
    check("start");
    auto it = v.addLine(phrase(0, 170, 180)).first;
    check("added");
    it = v.updateLine(it, [](CLine& l) { l.setTrack(2); });
    check("track");
    it = v.updateLine(it, [](CLine& l) { l.moveSign(l.getEndTimeCode(), tc(190)); });
    check("closing sign moved");
    it = v.updateLine(it, [](CLine& l) { l.setSignType(l.getEndTimeCode(), CLipSync::MPB); });
    check("closing sign became a lip sign");
    it = v.updateLine(it, [](CLine& l) { l.shift(300); });
    check("moved across the loop");
    v.eraseLine(v.getLineAt(0, tc(100)));
    check("erased");
    v.eraseLine(v.getLineAt(1, tc(120)));
    check("track emptied");
    v.addLoop(CLoop(tc(220), 0));
    check("loop added");
}

TEST(VarE, RoleChangesKeepNameAndPhrases) {
    CVarE v;
    auto lea = v.addRole(CRole(QStringLiteral("Léa"))).first;
    const CRole* pNode = &*lea;
    auto it = v.addLine(phrase(0, 10, 20)).first;
    it = v.setLineRole(it, lea);
    ASSERT_EQ(it->getRolePtr(), pNode);
    v.updateRole(lea, [](CRole& r) {
        r.setName(QStringLiteral("Ignoré"));
        r.setColor(0xFF8000);
        r.setSelected(false);
    });
    EXPECT_EQ(lea->getName(), "Léa");
    EXPECT_EQ(lea->getColor(), 0xFF8000u);
    EXPECT_FALSE(lea->isSelected());
    EXPECT_EQ(&*lea, pNode);
    EXPECT_EQ(it->getRole().getColor(), 0xFF8000u);
    it = v.setLineRole(it, v.getRoles().end());
    EXPECT_FALSE(it->hasRole());
}

TEST(VarE, HeaderHelpersAndCopy) {
    CVarE v;
    v.set(CVarE::H_SEASON, QStringLiteral("2"));
    v.set(CVarE::H_EPISODE_NUMBER, QStringLiteral("5"));
    EXPECT_EQ(v.getEpisodeLabel(), "#205");
    v.set(CVarE::H_EPISODE_NUMBER, QStringLiteral("12"));
    EXPECT_EQ(v.getEpisodeLabel(), "#212");
    v.set(CVarE::H_SEASON, QString());
    v.set(CVarE::H_EPISODE_NUMBER, QStringLiteral("7"));
    EXPECT_EQ(v.getEpisodeLabel(), "#7");

    v.set(CVarE::H_AUDIO_FILE, QStringLiteral("a.wav"));
    v.setTimeStamp(CTimeCode("10:00:00:00"));
    v.setVideoFile(QStringLiteral("film.mov"));
    EXPECT_EQ(v.get(CVarE::H_AUDIO_FILE), "");
    EXPECT_FALSE(v.getTimeStamp().isValid());

    CRole r(QStringLiteral("Léa"));
    r.setId(QStringLiteral("custom"));
    auto itRole = v.addRole(r).first;
    CLine l = phrase(1, 10, 20);
    l.setRole(&*itRole);
    v.addLine(l);
    v.addLoop(CLoop(tc(5), 3));
    v.addShot(tc(7));

    CVarE copy;
    copy.copyFrom(v);
    EXPECT_EQ(copy.get(CVarE::H_VIDEO_FILE), "film.mov");
    ASSERT_EQ(copy.getLineCount(), 1);
    const CLine& c = *copy.getLines().begin();
    ASSERT_TRUE(c.hasRole());
    EXPECT_EQ(&c.getRole(), &*copy.getRoles().begin()); // points into the copy, not the original
    EXPECT_EQ(c.getRole().getId(), "lea");
    EXPECT_EQ(loopNumbers(copy), (std::vector<int>{3}));
    EXPECT_EQ(copy.getShots().size(), 1u);
    EXPECT_EQ(copy.getTrackCount(), 2);
}

TEST(VarE, ClearWritesItsTraceLines) {
    CVarE v;
    testing::internal::CaptureStdout();
    v.log().Open(4, 1, QStringLiteral("/tmp"), QStringLiteral("vare"));
    v.clear();
    const std::string out = testing::internal::GetCapturedStdout();
    const char* lines[] = {"\tCVarE::clear()\n",          "\t\tClearing string...\n",
                           "\t\tClearing TC...\n",        "\t\tClearing loop list...\n",
                           "\t\tClearing shot list...\n", "\t\tClearing line list...\n",
                           "\t\tClearing role list...\n", "\tCVarE::clear() => Ok\n"};
    size_t pos = 0;
    for (const char* l : lines) {
        pos = out.find(l, pos);
        ASSERT_NE(pos, std::string::npos) << l << " in\n" << out;
    }
    v.log().Open(1, 0, QStringLiteral("/tmp"), QStringLiteral("vare"));
}

TEST(VarE, AShiftMovesTheIndexWithTheItemsOrNothingAtAll) {
    CVarE v;
    for (int i = 0; i < 40; ++i)
        v.addLine(phrase(i % 4, 100 + 30 * i, i % 5 ? 120 + 30 * i : -1));
    v.addLine(phrase(2, 900, 2159960)); // long, in the middle of the order
    for (int i = 0; i < 6; ++i)
        v.addLoop(CLoop(tc(90 + 200 * i), 0));
    // The look-ups of a script whose index is built from its items as they are.
    auto sameLookUps = [](const CVarE& a) {
        CVarE fresh;
        fresh.copyFrom(a);
        for (int f = 0; f < 1600; f += 7) {
            for (int k = 0; k < 4; ++k) {
                const auto x = a.getLineAt(k, tc(f)), y = fresh.getLineAt(k, tc(f));
                ASSERT_EQ(x == a.getLines().end(), y == fresh.getLines().end()) << f;
                if (x != a.getLines().end()) {
                    ASSERT_EQ(x->getKey(), y->getKey()) << f;
                }
            }
            const auto n = a.getNextSign(tc(f)), m = fresh.getNextSign(tc(f));
            ASSERT_EQ(n.second, m.second) << f;
            if (n.second >= 0) {
                ASSERT_EQ(n.first->getKey(), m.first->getKey()) << f;
            }
            ASSERT_EQ(a.getLoopAt(tc(f)) == a.getLoops().end(),
                      fresh.getLoopAt(tc(f)) == fresh.getLoops().end());
        }
        EXPECT_GE(a.getLongestPhraseBound(), 2159960 - 900);
    };
    ASSERT_NO_FATAL_FAILURE(sameLookUps(v)); // the index is built
    auto frames = [](const CVarE& a) {
        std::vector<int> f;
        for (const CLine& l : a.getLines())
            for (int i = 0; i < l.getSignCount(); ++i)
                f.push_back(l.getSign(i).getFrames());
        return f;
    };
    const std::vector<int> before = frames(v);
    // The long phrase would pass the day's end: refused when the phrases before it have moved.
    EXPECT_FALSE(v.shift(20));
    EXPECT_EQ(frames(v), before);
    ASSERT_NO_FATAL_FAILURE(sameLookUps(v));
    ASSERT_TRUE(v.shift(13));
    ASSERT_NO_FATAL_FAILURE(sameLookUps(v));
    ASSERT_TRUE(v.shift(-60));
    ASSERT_NO_FATAL_FAILURE(sameLookUps(v));
    std::vector<int> expected = before;
    for (int& f : expected)
        f -= 47;
    EXPECT_EQ(frames(v), expected);
    EXPECT_EQ(v.getLoops().begin()->getFrames(), 43);
}
