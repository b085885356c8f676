// Positions of a phrase's sequence on the band and back: the caret and mouse clicks rely on them.
#include "BandScripts.h"
#include "GLTestSupport.h"
#include "rythmo/BandRenderer.h"

#include <gtest/gtest.h>

namespace {
class BandPositionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testApp();
        s_pRenderer = new CBandRenderer;
        s_pRenderer->initFonts(CBandFonts{});
    }
    static void TearDownTestSuite() {
        delete s_pRenderer;
        s_pRenderer = nullptr;
    }
    void SetUp() override {
        s_pRenderer->setViewport(1600, 400, 2);
        s_pRenderer->buildFrame(POS);
    }
    static constexpr int POS = 6000;
    static int xf(int nFrame) { return nFrame * 24 - POS; }
    static inline CBandRenderer* s_pRenderer = nullptr;

    // Every position that holds a character maps to an x and back to itself; x never decreases.
    static void expectRoundTrips(const CLine& line) {
        int xPrev = INT_MIN;
        for (int p = 1; p < line.getLength(); ++p) {
            const int x = s_pRenderer->getPositionX(line, p);
            EXPECT_GE(x, xPrev) << p;
            xPrev = x;
            if (line.getSignAtPosition(p) >= 0) continue;
            EXPECT_EQ(s_pRenderer->getPositionAt(line, x), p) << "position " << p << " x " << x;
        }
    }
};

TEST_F(BandPositionTest, TextStretchedBetweenSeveralLinkedSigns) {
    // 0 opening, 1..8 "Bonjour ", 9 labial, 10..17 "tout le ", 18..22 "monde", 23 closing; the vowel is
    // not linked and takes no position.
    const CLine line = makeLine(0, {{QString(), 240, 0},
                                    {QStringLiteral("Bonjour "), 250, 4},
                                    {QStringLiteral("tout le "), 255, 7, false},
                                    {QStringLiteral("monde"), 270, 2}});
    ASSERT_EQ(line.getLength(), 24);
    ASSERT_EQ(line.getSigns()[2].getLink(), -1);
    ASSERT_EQ(line.getSigns()[3].getLink(), 23);
    EXPECT_EQ(s_pRenderer->getPositionX(line, 0), xf(240));
    EXPECT_EQ(s_pRenderer->getPositionX(line, 1), xf(240));
    EXPECT_EQ(s_pRenderer->getPositionX(line, 9), xf(250)); // a linked sign sits at its own x
    EXPECT_EQ(s_pRenderer->getPositionX(line, 10), xf(250));
    EXPECT_EQ(s_pRenderer->getPositionX(line, 23), xf(270));
    // "Bonjour " is stretched over its 10 frames: the position after "Bon" is at its share of the width.
    auto& font = s_pRenderer->phraseFont();
    const float r = font.getPositionRatio(QStringLiteral("Bonjour "), 3);
    EXPECT_EQ(s_pRenderer->getPositionX(line, 4), xf(240) + int(240 * r));
    expectRoundTrips(line);

    // Before the phrase: the first character. Past the linked closing sign: its own position is
    // never returned, the last character's end is.
    EXPECT_EQ(s_pRenderer->getPositionAt(line, xf(240) - 500), 1);
    EXPECT_EQ(s_pRenderer->getPositionAt(line, xf(270) + 2000), 23);
    // Clicking a sign's x gives the position right after it.
    EXPECT_EQ(s_pRenderer->getPositionAt(line, xf(250)), 10);
}

TEST_F(BandPositionTest, TrailingTextAfterTheLastLinkedSignIsAtNaturalWidth) {
    // "Salut" between opening and labial, then " les amis" with no closing sign.
    CLine line = makeLine(1, {{QString(), 240, 1}, {QStringLiteral("Salut"), 246, 4}});
    line.insertText(QStringLiteral(" les amis"), -1);
    ASSERT_EQ(line.getLength(), 16);
    auto& font = s_pRenderer->phraseFont();
    EXPECT_EQ(s_pRenderer->getPositionX(line, 11), xf(246) + font.getTextWidth(QStringLiteral(" les")));
    EXPECT_EQ(s_pRenderer->getPositionX(line, 16), xf(246) + font.getTextWidth(QStringLiteral(" les amis")));
    expectRoundTrips(line);
    // Beyond the end of open text: the sequence end.
    EXPECT_EQ(s_pRenderer->getPositionAt(line, xf(246) + 100000), 16);
}

TEST_F(BandPositionTest, PhraseWithOnlyItsFirstSignLinked) {
    CLine line = makeLine(2, {{QString(), 240, 0}, {QString(), 260, 10, false}, {QString(), 280, 3, false}});
    line.insertText(QStringLiteral("Ça, c’est œuvré…"), -1);
    auto& font = s_pRenderer->phraseFont();
    EXPECT_EQ(s_pRenderer->getPositionX(line, line.getLength()),
              xf(240) + font.getTextWidth(QStringLiteral("Ça, c’est œuvré…")));
    expectRoundTrips(line);
}

TEST_F(BandPositionTest, PositionsFollowTheBandAsItScrolls) {
    const CLine line = makeLine(0, {{QString(), 240, 0}, {QStringLiteral("Allez"), 260, 2}});
    const int x = s_pRenderer->getPositionX(line, 3);
    s_pRenderer->buildFrame(POS + 240);
    EXPECT_EQ(s_pRenderer->getPositionX(line, 3), x - 240);
    EXPECT_EQ(s_pRenderer->getPositionAt(line, x - 240), 3);
}
} // namespace
