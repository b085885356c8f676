#include "vare/ScriptItems.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {
CTimeCode tc(int f) {
    return CTimeCode::fromFrames(f);
}

// Opening sign, "Bonjour", closing sign: positions 0, 1..7, 8.
CLine bonjour() {
    CLine l;
    l.setTrack(0);
    EXPECT_TRUE(l.insertSign(tc(100), CLipSync::IN_OPEN, true, 0));
    l.insertText(QStringLiteral("Bonjour"), -1);
    EXPECT_TRUE(l.insertSign(tc(150), CLipSync::OUT_CLOSE, true, -1));
    return l;
}

std::vector<int> links(const CLine& l) {
    std::vector<int> v;
    for (const CLipSync& s : l.getSigns())
        v.push_back(s.getLink());
    return v;
}
} // namespace

TEST(Line, PositionSequenceAndTextEditing) {
    CLine l = bonjour();
    EXPECT_EQ(l.getLength(), 9);
    EXPECT_EQ(links(l), (std::vector<int>{0, 8}));
    EXPECT_EQ(l.getTextBetween(0, 8), "Bonjour");
    EXPECT_EQ(l.getTextBetween(tc(100), tc(150)), "Bonjour");

    l.insertText(QStringLiteral("X"), 1);
    EXPECT_EQ(l.getText(), "XBonjour");
    EXPECT_EQ(links(l), (std::vector<int>{0, 9}));

    // A lip sign inside the word, then delete across it: the sign inside the range is unlinked and takes
    // one of the deleted positions.
    ASSERT_TRUE(l.insertSign(tc(120), CLipSync::MPB, true, 4)); // X B o | n j o u r
    EXPECT_EQ(links(l), (std::vector<int>{0, 4, 10}));
    EXPECT_EQ(l.getTextBetween(0, 4), "XBo");
    EXPECT_EQ(l.getTextBetween(4, -1), "njour");
    l.deleteText(3, 3); // positions 3 ('o'), 4 (sign), 5 ('n')
    EXPECT_EQ(l.getText(), "XBjour");
    EXPECT_EQ(links(l), (std::vector<int>{0, -1, 7}));
    EXPECT_EQ(l.getLength(), 8);

    // Deleting all the text leaves only the first sign linked.
    l.deleteText(1, 6);
    EXPECT_TRUE(l.getText().isEmpty());
    EXPECT_EQ(links(l), (std::vector<int>{0, -1, -1}));
}

// The caret of the edit view stands on a position; when a linked sign holds it, typing goes before the
// sign (the sign moves on by the length typed) and deleting from there takes the sign off the text.
TEST(Line, TextAtAPositionHeldByASign) {
    auto bonjourWithLabial = [] {
        CLine l = bonjour();
        EXPECT_TRUE(
            l.insertSign(tc(120), CLipSync::MPB, true, 4)); // 0 sign, 1-3 Bon, 4 sign, 5-8 jour, 9 sign
        EXPECT_EQ(links(l), (std::vector<int>{0, 4, 9}));
        return l;
    };
    CLine l = bonjourWithLabial();
    l.insertText(QStringLiteral("XY"), 4);
    EXPECT_EQ(l.getText(), "BonXYjour");
    EXPECT_EQ(links(l), (std::vector<int>{0, 6, 11}));
    EXPECT_EQ(l.getTextBetween(0, 6), "BonXY");
    EXPECT_EQ(l.getTextBetween(6, 11), "jour");
    // At the closing sign's position: the end of the text, the sign after it.
    l.insertText(QStringLiteral("!"), 11);
    EXPECT_EQ(l.getText(), "BonXYjour!");
    EXPECT_EQ(links(l), (std::vector<int>{0, 6, 12}));

    // Deleting the sign's position and the character after it: the sign is unlinked and only the
    // character goes; the closing sign moves back by both.
    l = bonjourWithLabial();
    l.deleteText(4, 2);
    EXPECT_EQ(l.getText(), "Bonour");
    EXPECT_EQ(links(l), (std::vector<int>{0, -1, 7}));
    // Deleting the character right after a sign leaves the sign where it is.
    l = bonjourWithLabial();
    l.deleteText(5, 1);
    EXPECT_EQ(l.getText(), "Bonour");
    EXPECT_EQ(links(l), (std::vector<int>{0, 4, 8}));
    // ... and the one right before it moves the sign back.
    l = bonjourWithLabial();
    l.deleteText(3, 1);
    EXPECT_EQ(l.getText(), "Bojour");
    EXPECT_EQ(links(l), (std::vector<int>{0, 3, 8}));
}

TEST(Line, MoveSignKeepsItBetweenItsNeighbours) {
    CLine l = bonjour();
    ASSERT_TRUE(l.insertSign(tc(120), CLipSync::MPB, true, 4));
    EXPECT_FALSE(l.moveSign(tc(120), tc(100))); // onto the opening sign
    EXPECT_FALSE(l.moveSign(tc(120), tc(160))); // past the closing sign
    EXPECT_FALSE(l.moveSign(tc(121), tc(130))); // no sign there
    EXPECT_FALSE(l.moveSign(tc(120), TC_INVALID));
    ASSERT_TRUE(l.moveSign(tc(120), tc(149)));
    EXPECT_EQ(l.getSignAt(tc(149)), 1);
    EXPECT_EQ(links(l), (std::vector<int>{0, 4, 9}));
    ASSERT_TRUE(l.moveSign(tc(100), tc(90))); // the first sign: the phrase starts earlier
    EXPECT_EQ(l.getStartFrame(), 90);
    EXPECT_EQ(l.getKey(), (SLineKey{90, 0}));
}

TEST(Line, SignInsertionKeepsTimeOrderOfLinks) {
    CLine l = bonjour();
    // Frame already taken: refused, unchanged.
    EXPECT_FALSE(l.insertSign(tc(150), CLipSync::MPB, true, 3));
    EXPECT_EQ(l.getSigns().size(), 2);
    EXPECT_EQ(links(l), (std::vector<int>{0, 8}));

    // Linked at position 3 but later in time than the closing sign: placed unlinked.
    ASSERT_TRUE(l.insertSign(tc(200), CLipSync::VOWEL_A, true, 3));
    EXPECT_EQ(links(l), (std::vector<int>{0, 8, -1}));
    // Linked at the end but earlier in time than the closing sign: unlinked too.
    ASSERT_TRUE(l.insertSign(tc(140), CLipSync::VOWEL_I, true, -1));
    EXPECT_EQ(links(l), (std::vector<int>{0, -1, 8, -1}));
    // A fitting one moves the later links.
    ASSERT_TRUE(l.insertSign(tc(110), CLipSync::VOWEL_O, true, 2));
    EXPECT_EQ(links(l), (std::vector<int>{0, 2, -1, 9, -1}));
    EXPECT_EQ(l.getTextBetween(0, 2), "B");
    EXPECT_EQ(l.getTextBetween(2, 9), "onjour");
    // An invalid timecode is refused.
    EXPECT_FALSE(l.insertSign(TC_INVALID, CLipSync::MPB, false));
}

TEST(Line, UnlinkRelinkErase) {
    CLine l;
    l.insertText(QStringLiteral("abcdef"), -1);
    ASSERT_TRUE(l.insertSign(tc(10), CLipSync::IN_OPEN, true, 0));
    ASSERT_TRUE(l.insertSign(tc(20), CLipSync::MPB, true, 3));
    ASSERT_TRUE(l.insertSign(tc(30), CLipSync::OUT_OPEN, true, -1));
    EXPECT_EQ(links(l), (std::vector<int>{0, 3, 8}));
    EXPECT_EQ(l.getTextBetween(0, 3), "ab");

    // Unlinking the first of three moves the two others back by one, order unchanged.
    EXPECT_TRUE(l.unlinkSign(tc(10)));
    EXPECT_EQ(links(l), (std::vector<int>{-1, 2, 7}));
    EXPECT_EQ(l.getText(), "abcdef");
    EXPECT_TRUE(l.relinkSign(tc(10), 0));
    EXPECT_EQ(links(l), (std::vector<int>{0, 3, 8}));

    EXPECT_TRUE(l.eraseSign(tc(20)));
    EXPECT_EQ(links(l), (std::vector<int>{0, 7}));
    EXPECT_EQ(l.getTextBetween(0, 7), "abcdef");
    EXPECT_FALSE(l.eraseSign(tc(20)));

    l.unlinkAllSigns();
    EXPECT_EQ(links(l), (std::vector<int>{-1, -1}));
    EXPECT_EQ(l.getLength(), 6);
}

TEST(Line, NormaliseKeepsFirstAndClosingSigns) {
    CLine l;
    l.insertText(QStringLiteral("abcdef"), -1);
    ASSERT_TRUE(l.insertSign(tc(10), CLipSync::IN_OPEN, true, 0));
    ASSERT_TRUE(l.insertSign(tc(20), CLipSync::MPB, true, 3));
    ASSERT_TRUE(l.insertSign(tc(25), CLipSync::FVR, true, 5));
    ASSERT_TRUE(l.insertSign(tc(30), CLipSync::OUT_OPEN, true, -1));
    ASSERT_TRUE(l.insertSign(tc(40), CLipSync::NEUTRAL, true, -1));
    EXPECT_EQ(links(l), (std::vector<int>{0, 3, 5, 9, 10}));
    l.normalize();
    EXPECT_EQ(links(l), (std::vector<int>{0, -1, -1, 7, -1}));
    EXPECT_EQ(l.getTextBetween(0, 7), "abcdef");
}

TEST(Line, QueriesAndWordMovement) {
    CLine l;
    l.insertText(QStringLiteral("un deux trois"), -1);
    ASSERT_TRUE(l.insertSign(tc(10), CLipSync::IN_OPEN, true, 0));
    ASSERT_TRUE(l.insertSign(tc(20), CLipSync::MPB, true, 4)); // before 'd'... "un " | "deux"
    ASSERT_TRUE(l.insertSign(tc(30), CLipSync::OUT_CLOSE, true, -1));
    ASSERT_TRUE(l.insertSign(tc(25), CLipSync::NEUTRAL, false));
    EXPECT_EQ(l.getSignAt(tc(20)), 1);
    EXPECT_EQ(l.getSignAt(tc(21)), -1);
    EXPECT_EQ(l.getNextSign(tc(20)), 2);
    EXPECT_EQ(l.getPreviousSign(tc(20)), 0);
    EXPECT_EQ(l.getPreviousSign(tc(10)), -1);
    EXPECT_EQ(l.getNextSign(tc(30)), -1);
    EXPECT_EQ(l.getSignAtPosition(4), 1);
    EXPECT_EQ(l.getFirstSignFrom(5), 3);
    EXPECT_EQ(l.getLastLinkedSignBefore(4), 0);
    EXPECT_EQ(l.getFirstClosingSign(), 3);
    EXPECT_TRUE(l.hasClosingSign());
    EXPECT_TRUE(l.isClosingSignLinked());
    EXPECT_EQ(l.getLinkAt(tc(25)), -1);
    EXPECT_EQ(l.getLinkAt(tc(30)), 15);

    // Positions: 0 sign, 1..3 "un ", 4 sign, 5..14 "deux trois", 15 sign.
    EXPECT_EQ(l.getNextWordEnd(1), 5);   // past "un " and past the lip sign before "deux"
    EXPECT_EQ(l.getNextWordEnd(5), 10);  // past "deux "
    EXPECT_EQ(l.getNextWordEnd(10), 15); // to the end of the text, before the closing sign
    EXPECT_EQ(l.getPreviousWordStart(15), 10);
    EXPECT_EQ(l.getPreviousWordStart(10), 5);
    EXPECT_EQ(l.getPreviousWordStart(5), 1);

    l.shift(-5);
    EXPECT_EQ(l.getStartFrame(), 5);
    EXPECT_EQ(l.getEndFrame(), 25);
}

TEST(Line, Equality) {
    CRole a(QStringLiteral("Léa")), b(QStringLiteral("Marc"));
    CLine x = bonjour(), y = bonjour();
    EXPECT_EQ(x, y);
    x.setRole(&a);
    EXPECT_NE(x, y);
    y.setRole(&b);
    EXPECT_NE(x, y);
    CRole a2(QStringLiteral("Léa"));
    y.setRole(&a2);
    EXPECT_EQ(x, y);
    y.insertText(QStringLiteral("!"), -1);
    EXPECT_NE(x, y);
    CLine z = bonjour();
    z.setTrack(2);
    EXPECT_NE(z, bonjour());
}

TEST(Role, EqualityLeavesTheImportTickOut) {
    CRole a(QStringLiteral("Léa")), b(QStringLiteral("Léa"));
    b.setSelected(false);
    EXPECT_EQ(a, b);
    for (auto change : std::vector<std::function<void(CRole&)>>{
             [](CRole& r) { r.setId("x"); }, [](CRole& r) { r.setColor(1); },
             [](CRole& r) { r.setDescription("x"); }, [](CRole& r) { r.setGender(CRole::GENDER_MALE); },
             [](CRole& r) { r.setImage("x"); }, [](CRole& r) { r.setName("x"); }}) {
        CRole c(a);
        change(c);
        EXPECT_NE(a, c);
    }
}

TEST(Role, IdentifierFromName) {
    EXPECT_EQ(CRole::makeId(QStringLiteral("Zoé & Co")), "zoe_e_co");
    EXPECT_EQ(CRole::makeId(QStringLiteral("Zoé & Co"), 2), "zoe_e_co_2");
    EXPECT_EQ(CRole::makeId(QStringLiteral("LÉA")), "lea");
    EXPECT_EQ(CRole::makeId(QStringLiteral("Ça @ Noël")), "ca_a_noel");
    EXPECT_EQ(CRole::makeId(QStringLiteral("Ñoño Ü")), "nono_u");
    EXPECT_EQ(CRole::makeId(QStringLiteral("Œdipe")), "_dipe");
}

TEST(LipSync, TypeNames) {
    EXPECT_STREQ(CLipSync::typeName(CLipSync::WEUQUE), "weuque");
    EXPECT_EQ(CLipSync::typeFromName("out_close"), CLipSync::OUT_CLOSE);
    EXPECT_EQ(CLipSync::typeFromName("neutral"), CLipSync::NEUTRAL);
    EXPECT_EQ(CLipSync::typeFromName("bogus"), -1);
    CLipSync s;
    EXPECT_EQ(s.getLink(), -1);
    EXPECT_EQ(s.getType(), CLipSync::NEUTRAL);
    EXPECT_FALSE(s.getTimeCode().isValid());
}

// The readers build a phrase with CLineAppender: it must give the very phrase that text and sign
// insertions at the end give, whatever the order, repeats and links of what is read.
TEST(Line, AppendingGivesWhatInsertionsAtTheEndGive) {
    std::mt19937 random(7);
    for (int nRound = 0; nRound < 400; ++nRound) {
        CLine inserted, appended;
        CLineAppender append(appended);
        const int nSteps = 1 + int(random() % 40);
        for (int i = 0; i < nSteps; ++i) {
            if (random() % 3 == 0) {
                const QString str = QString(QChar(u'a' + int(random() % 26))).repeated(int(random() % 3));
                inserted.insertText(str, -1);
                append.appendText(str);
            } else {
                // Mostly forward in time, sometimes back, sometimes a frame already taken or none.
                const int nFrames = int(random() % 10) == 0 ? -1 : int(i * 3 + int(random() % 7) - 3);
                const CTimeCode t = nFrames < 0 ? TC_INVALID : CTimeCode::fromFrames(nFrames);
                const int nType = int(random() % 11);
                const bool bLinked = random() % 4 != 0;
                EXPECT_EQ(append.appendSign(t, nType, bLinked), inserted.insertSign(t, nType, bLinked, -1))
                    << nRound << " " << i;
            }
        }
        append.finish();
        ASSERT_EQ(appended.getText(), inserted.getText()) << nRound;
        ASSERT_EQ(appended.getSigns(), inserted.getSigns()) << nRound;
        ASSERT_EQ(appended.getStartFrame(), inserted.getStartFrame()) << nRound;
        ASSERT_EQ(appended.getLength(), inserted.getLength()) << nRound;
    }
}
