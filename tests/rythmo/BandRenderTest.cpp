// Frames of the band drawn off-screen by the real renderer, checked at pixels computed from band
// coordinates.
#include "BandScripts.h"
#include "GLTestSupport.h"
#include "rythmo/BandImage.h"

#include <gtest/gtest.h>

namespace {
constexpr int W = 1600, H = CBandSpace::HEIGHT - CBandSpace::BOTTOM; // one band unit of y per pixel
constexpr int POS = 250 * 24;                                        // 00:00:10:00

std::uint32_t lerp(std::uint32_t a, std::uint32_t b, double t) {
    auto ch = [&](int s) {
        return std::uint32_t(int(((a >> s) & 0xFF) + (int((b >> s) & 0xFF) - int((a >> s) & 0xFF)) * t + 0.5))
               << s;
    };
    return 0xFF000000 | ch(16) | ch(8) | ch(0);
}

class BandRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testApp();
        s_pBand = new CBandImage;
        QString strError;
        s_bReady = s_pBand->create(QSize(W, H), CBandFonts{}, nullptr, &strError);
        s_strError = strError;
    }
    static void TearDownTestSuite() {
        delete s_pBand;
        s_pBand = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_bReady) << s_strError.toStdString();
        renderer().setScript(&m_script);
        renderer().setBookmarks(nullptr);
        renderer().setTheme(1);
        renderer().setCaretBlinkTime(0);
        renderer().state() = CBandViewState{};
        m_nTrack = 0;
        renderer().setActiveTrack(&m_nTrack);
        zoom(2);
    }
    void TearDown() override { renderer().setScript(nullptr); }

    static CBandRenderer& renderer() { return s_pBand->renderer(); }
    void zoom(int n) { renderer().setViewport(W, H, n); }
    QImage render(int nPos = POS) {
        m_image = s_pBand->render(nPos);
        if (qEnvironmentVariableIsSet("BAND_TEST_SAVE"))
            m_image.save(QStringLiteral(TAVORIN_BINARY_DIR "/%1.png")
                             .arg(QString::fromLatin1(
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name())));
        return m_image;
    }
    // Column of the pixel that covers band x, row of band y.
    int col(int x) const { return (x - renderer().space().nLeft) / renderer().space().nZoom; }
    QRgb at(int x, int y) const { return m_image.pixel(col(x), CBandSpace::HEIGHT - 1 - y); }
    QRgb atCol(int c, int y) const { return m_image.pixel(c, CBandSpace::HEIGHT - 1 - y); }
    // x of a frame at the test position.
    static int xf(int nFrame) { return nFrame * 24 - POS; }
    static bool isInk(QRgb c) { return qRed(c) < 0x60 && qGreen(c) < 0x60 && qBlue(c) < 0x60; }

    static inline CBandImage* s_pBand = nullptr;
    static inline bool s_bReady = false;
    static inline QString s_strError;
    CVarE m_script;
    int m_nTrack = 0;
    QImage m_image;
};

TEST_F(BandRenderTest, ReadingBarIsRedAtTheCentreAndClearsTheLoopNumber) {
    zoom(1); // one unit a pixel: column W/2 covers x in [0, 1)
    render();
    const int c = W / 2;
    EXPECT_TRUE(near(atCol(c, 200), lerp(0xFFC40000, 0xFF7F0000, 0.5 / 3))) << hex(atCol(c, 200));
    EXPECT_TRUE(near(atCol(c - 1, 200), lerp(0xFF7F0000, 0xFFC40000, 2.5 / 3))) << hex(atCol(c - 1, 200));
    EXPECT_TRUE(near(atCol(c + 2, 200), lerp(0xFFC40000, 0xFF7F0000, 2.5 / 3))) << hex(atCol(c + 2, 200));
    EXPECT_EQ(qRed(atCol(c + 3, 200)), qRed(atCol(c + 40, 200))); // the bar is 6 units wide
    EXPECT_TRUE(near(atCol(c, 20), lerp(0xFFC40000, 0xFF7F0000, 0.5 / 3)));

    // On a frame that holds a loop the bar starts at 50 and the loop's number box shows below.
    m_script.addLoop(CLoop(CTimeCode::fromFrames(250), 0));
    render();
    EXPECT_GT(qBlue(atCol(c, 20)), 0x70) << hex(atCol(c, 20));
    EXPECT_EQ(qGreen(atCol(c, 20)) == 0 && qBlue(atCol(c, 20)) == 0, false);
    EXPECT_TRUE(near(atCol(c, 60), lerp(0xFFC40000, 0xFF7F0000, 0.5 / 3))) << hex(atCol(c, 60));
    render(POS + 24); // the next frame: no loop there
    EXPECT_TRUE(near(atCol(c, 20), lerp(0xFFC40000, 0xFF7F0000, 0.5 / 3))) << hex(atCol(c, 20));
}

TEST_F(BandRenderTest, TracksAndTheActiveTrackInBothThemes) {
    renderer().state().m_bHideGridAndSigns = true;
    for (int nTheme : {1, 0}) {
        renderer().setTheme(nTheme);
        const CBandPalette& pal = CBandPalette::forTheme(nTheme);
        m_nTrack = 2;
        render();
        const int x = -300; // away from the bar
        for (int k = 0; k < 4; ++k) {
            const int b = CBandSpace::base(k);
            const std::uint32_t lo = k == 2 ? pal.activeBase : pal.trackBase,
                                hi = k == 2 ? pal.activeTop : pal.trackTop;
            EXPECT_TRUE(near(at(x, b), lerp(lo, hi, 0.005))) << nTheme << " " << k << " " << hex(at(x, b));
            EXPECT_TRUE(near(at(x, b + 50), lerp(lo, hi, 0.505)))
                << nTheme << " " << k << " " << hex(at(x, b + 50));
            EXPECT_TRUE(near(at(x, b + 99), lerp(lo, hi, 0.995))) << nTheme << " " << k;
        }
    }
    m_nTrack = 7; // out of range: the first track becomes active
    render();
    EXPECT_EQ(m_nTrack, 0);
}

TEST_F(BandRenderTest, GridTicksOneFrameApartAtEveryZoomAndHiddenOnRequest) {
    for (int nZoom : {1, 6}) {
        zoom(nZoom);
        render(POS + 7); // not on a frame boundary
        // Ticks cross the boundary at y 200; at y 202 only ticks are there.
        std::vector<int> ticks;
        for (int c = 0; c < W; ++c)
            if (near(atCol(c, 202), 0xFF786249, 8)) ticks.push_back(c);
        ASSERT_GT(ticks.size(), 10u) << nZoom;
        const int nFrameWidth = 24 / nZoom; // 24 pixels at zoom 1, 4 at zoom 6
        for (size_t i = 1; i < ticks.size(); ++i)
            EXPECT_NEAR(ticks[i] - ticks[i - 1], nFrameWidth, 1) << nZoom;
        // Long ticks (12 units) fall on whole seconds of media time.
        const int xSecond = 9 * 600 - (POS + 7); // 00:00:09:00
        // A line on a pixel boundary lights the column on either side of it.
        auto tickAt = [&](int x) {
            return near(atCol(col(x), 210), 0xFF786249, 8) || near(atCol(col(x) - 1, 210), 0xFF786249, 8);
        };
        EXPECT_TRUE(tickAt(xSecond)) << nZoom;
        EXPECT_FALSE(tickAt(xSecond + 24)) << nZoom;
        EXPECT_TRUE(tickAt(xSecond + 600)) << nZoom;
    }
    // At position 0 the past shows the grid too, long ticks on multiples of 600.
    zoom(1);
    render(0);
    EXPECT_TRUE(near(atCol(col(-600), 210), 0xFF786249, 8) || near(atCol(col(-600) - 1, 210), 0xFF786249, 8));
    renderer().state().m_bHideGridAndSigns = true;
    zoom(1);
    render(POS + 7);
    for (int c = 0; c < W; ++c)
        ASSERT_FALSE(near(atCol(c, 202), 0xFF786249, 8)) << c;
}

TEST_F(BandRenderTest, LoopBarNumberBoxAndShotChanges) {
    m_script.addLoop(CLoop(CTimeCode::fromFrames(240), 12));
    m_script.addShot(CTimeCode::fromFrames(240)); // on the loop: dark
    m_script.addShot(CTimeCode::fromFrames(262)); // alone: grey
    zoom(1);
    render();
    const int xl = xf(240), xs = xf(262);
    // The whole frame in three draw calls: opaque tracks, grid lines, the rest.
    EXPECT_EQ(renderer().device().drawCallCount(), 3);
    // The loop: a blue bar over the whole band, centre 0x005FBF.
    EXPECT_TRUE(near(at(xl, 120), lerp(0xFF005FBF, 0xFF003F7F, 0.1), 4)) << hex(at(xl, 120));
    EXPECT_TRUE(near(at(xl - 3, 330), lerp(0xFF003F7F, 0xFF005FBF, 2.5 / 5), 4)) << hex(at(xl - 3, 330));
    // Its number box, 50 high, wider than the bar, with white digits inside.
    EXPECT_GT(qBlue(at(xl + 12, 10)), 0x70);
    EXPECT_FALSE(qBlue(at(xl + 12, 60)) > 0x70 && qRed(at(xl + 12, 60)) < 0x20);
    int nWhite = 0;
    for (int x = xl - 30; x < xl + 30; ++x)
        for (int y = 0; y < 50; ++y)
            if (qRed(at(x, y)) > 0xE0 && qBlue(at(x, y)) > 0xE0) ++nWhite;
    EXPECT_GT(nWhite, 30);
    // Shot changes mark the upper half of every track only.
    for (int k = 0; k < 4; ++k) {
        const int b = CBandSpace::base(k);
        EXPECT_TRUE(near(at(xs, b + 75), lerp(0xFF7F7F7F, 0xFF606060, 0.1), 4)) << k << hex(at(xs, b + 75));
        EXPECT_TRUE(near(at(xl, b + 75), lerp(0xFF3F3F3F, 0xFF000000, 0.1), 4)) << k << hex(at(xl, b + 75));
        EXPECT_FALSE(near(at(xs, b + 25), 0xFF7F7F7F, 16)) << k;
    }
}

TEST_F(BandRenderTest, SignShapesAndTextStretchedBetweenLinkedSigns) {
    // Opening at 234, "Bonjour" to a labial at 252, "tout" to the closing at 270.
    const int f0 = 234, f1 = 252, f2 = 270;
    m_script.addLine(makeLine(
        1, {{QString(), f0, 0}, {QStringLiteral("Bonjour"), f1, 4}, {QStringLiteral("tout"), f2, 2}}));
    zoom(1);
    render();
    const int b = CBandSpace::base(1);
    // Green opening arrow and red closing arrow, at their signs' x, heads above the shaft.
    EXPECT_EQ(qRed(at(xf(f0), b + 30)), 0);
    EXPECT_GT(qGreen(at(xf(f0), b + 30)), 0x90) << hex(at(xf(f0), b + 30));
    EXPECT_GT(qRed(at(xf(f2), b + 30)), 0x90);
    EXPECT_EQ(qGreen(at(xf(f2), b + 30)), 0);
    EXPECT_TRUE(near(at(xf(f1) - 9, b + 25), 0xFF786249)) << hex(at(xf(f1) - 9, b + 25));
    // Ink of the text in both segments, and none to the right of the closing sign.
    auto inkIn = [&](int x0, int x1) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = b + 45; y < b + 100; ++y)
                n += isInk(at(x, y));
        return n;
    };
    EXPECT_GT(inkIn(xf(f0) + 2, xf(f1) - 2), 200);
    EXPECT_GT(inkIn(xf(f1) + 2, xf(f2) - 2), 100);
    EXPECT_EQ(inkIn(xf(f2) + 3, xf(f2) + 200), 0);
    // "Bonjour" fills its segment: ink near both of its ends.
    EXPECT_GT(inkIn(xf(f0), xf(f0) + 40), 20);
    EXPECT_GT(inkIn(xf(f1) - 40, xf(f1)), 20);
    EXPECT_EQ(inkIn(xf(f0) - 100, xf(f0) - 3), 0); // no role: nothing before the phrase

    // "Grille et Signes": no shapes, and the stretched text reaches down to the track's base.
    renderer().state().m_bHideGridAndSigns = true;
    render();
    EXPECT_FALSE(qGreen(at(xf(f0), b + 30)) > 0x90 && qRed(at(xf(f0), b + 30)) == 0);
    int nLow = 0;
    for (int x = xf(f0); x < xf(f1); ++x)
        for (int y = b + 2; y < b + 18; ++y)
            nLow += isInk(at(x, y));
    EXPECT_GT(nLow, 20);
}

TEST_F(BandRenderTest, TrailingTextAtNaturalWidthAndRoleLabels) {
    const CRole* pPaul = addRole(m_script, QStringLiteral("PAUL"), 0x2060C0);
    // Only the opening sign is linked: the whole text trails at natural width.
    m_script.addLine(makeLine(2, {{QString(), 230, 1}, {QStringLiteral("x"), 240, 7, false}}, pPaul));
    CLine line = makeLine(2, {{QString(), 270, 0}}, pPaul);
    line.insertText(QStringLiteral("Salut"), -1);
    m_script.addLine(line);
    zoom(1);
    render();
    const int b = CBandSpace::base(2);
    auto& font = renderer().phraseFont();
    const int w = font.getTextWidth(QStringLiteral("x")); // natural width in band units
    int nInk = 0, nBeyond = 0;
    for (int x = xf(230); x < xf(230) + w; ++x)
        for (int y = b + 25; y < b + 100; ++y)
            nInk += isInk(at(x, y));
    for (int x = xf(230) + w + font.getSpacing(); x < xf(270) - 100; ++x)
        for (int y = b + 45; y < b + 100; ++y)
            nBeyond += isInk(at(x, y));
    EXPECT_GT(nInk, 10);
    EXPECT_EQ(nBeyond, 0);
    // The role's label: a box in the role colour ending 10 after x - 20, white name inside.
    EXPECT_TRUE(near(at(xf(230) - 12, b + 57), 0xFF2060C0)) << hex(at(xf(230) - 12, b + 57));
    EXPECT_TRUE(near(at(xf(230) - 12, b + 50), 0xFF2060C0, 3) == false);
    // The second phrase follows the first (no closing sign): its label is drawn in full.
    EXPECT_TRUE(near(at(xf(270) - 12, b + 57), 0xFF2060C0)) << hex(at(xf(270) - 12, b + 57));

    // Without grid and signs, trailing text keeps its lower edge at base + 20 ("Salut" has no descender).
    renderer().state().m_bHideGridAndSigns = true;
    render();
    int nLow = 0, nHigh = 0;
    for (int x = xf(270); x < xf(270) + font.getTextWidth(QStringLiteral("Salut")); ++x) {
        for (int y = b; y < b + 19; ++y)
            nLow += isInk(at(x, y));
        for (int y = b + 20; y < b + 100; ++y)
            nHigh += isInk(at(x, y));
    }
    EXPECT_EQ(nLow, 0);
    EXPECT_GT(nHigh, 100);
}

TEST_F(BandRenderTest, TheBottomTrackShowsItsSignsWhole) {
    // An opening and a closing sign on the bottom track: their shafts reach 10 below its base.
    m_script.addLine(makeLine(3, {{QString(), 240, 0}, {QStringLiteral("Au large"), 262, 2}}));
    zoom(1);
    render();
    for (int y : {-9, -5, -1}) {
        EXPECT_GT(qGreen(at(xf(240), y)), 0x60) << y << " " << hex(at(xf(240), y));
        EXPECT_GT(qRed(at(xf(262), y)), 0x60) << y << " " << hex(at(xf(262), y));
    }
    // Below the bottom track the band goes on in that track's colour, not the clear colour.
    EXPECT_NE(at(-300, -5), CBandPalette::CLEAR);
}

TEST_F(BandRenderTest, RoleNamesReadOnPaleAndDarkColours) {
    const CRole* pLime = addRole(m_script, QStringLiteral("LIME"), 0xC0FF40);
    const CRole* pNavy = addRole(m_script, QStringLiteral("NAVY"), 0x102060);
    m_script.addLine(makeLine(1, {{QString(), 240, 0}}, pLime));
    m_script.addLine(makeLine(2, {{QString(), 240, 0}}, pNavy));
    zoom(1);
    render();
    // Count the dark and the light ink inside each label box (from its left end to x - 20).
    auto ink = [&](int nTrack, bool bDark) {
        const int b = CBandSpace::base(nTrack);
        int n = 0;
        for (int x = xf(240) - 80; x < xf(240) - 20; ++x)
            for (int y = b + 60; y < b + 100; ++y) {
                const QRgb c = at(x, y);
                const int l = (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000;
                n += bDark ? l < 60 : l > 230;
            }
        return n;
    };
    EXPECT_GT(ink(1, true), 30); // black name on lime
    EXPECT_EQ(ink(1, false), 0);
    EXPECT_GT(ink(2, false), 30); // white name on navy
    EXPECT_TRUE(CBandPalette::isPale(0xB0D8FF));
    EXPECT_FALSE(CBandPalette::isPale(0xC00000));
}

TEST_F(BandRenderTest, RepeatedRoleLabelIsFadedRightAfterTheSameRole) {
    const CRole* pAnne = addRole(m_script, QStringLiteral("ANNE"), 0x000000);
    m_script.addLine(makeLine(0, {{QString(), 250, 0}, {QStringLiteral("Oui"), 262, 2}}, pAnne));
    m_script.addLine(makeLine(0, {{QString(), 264, 0}, {QStringLiteral("Non"), 280, 2}}, pAnne));
    m_script.addLine(makeLine(3, {{QString(), 250, 0}, {QStringLiteral("Oui"), 262, 2}}, pAnne));
    m_script.addLine(makeLine(3, {{QString(), 272, 0}, {QStringLiteral("Non"), 280, 2}}, pAnne));
    zoom(1);
    render();
    // Track 0: the second label starts 48 units after the first's closing sign: faded to a quarter.
    const QRgb faded = at(xf(264) - 12, CBandSpace::base(0) + 57);
    const QRgb full = at(xf(272) - 12, CBandSpace::base(3) + 57);
    EXPECT_TRUE(near(full, 0xFF000000, 2)) << hex(full);
    EXPECT_GT(qRed(faded), 0x90) << hex(faded);
    EXPECT_LT(qRed(faded), 0xE0) << hex(faded);
}

TEST_F(BandRenderTest, SelectedPhraseBandSelectionAndCaretInEditMode) {
    m_script.addLine(makeLine(1, {{QString(), 240, 0}, {QStringLiteral("Bonjour"), 270, 2}}));
    CBandViewState& st = renderer().state();
    st.m_bEditMode = true;
    st.m_bHasSelectedLine = true;
    st.m_itSelectedLine = m_script.getLines().begin();
    st.m_nSelStart = 1;
    st.m_nSelEnd = 4; // "Bon"
    zoom(1);
    render();
    const int b = CBandSpace::base(1);
    const CLine& line = *m_script.getLines().begin();
    const int x4 = renderer().getPositionX(line, 4);
    const int x1 = renderer().getPositionX(line, 1);
    EXPECT_EQ(x1, xf(240));
    // Selection in blue between the two positions (selection drawn over the band).
    EXPECT_GT(qBlue(at((x1 + x4) / 2, b + 10)), 0xE0);
    // Beyond the selection, the dark band of the phrase being edited, up to the closing sign.
    const QRgb band = at(x4 + 10, b + 10);
    EXPECT_LT(qRed(band), 0x70) << hex(band);
    EXPECT_FALSE(qRed(at(xf(270) + 30, b + 10)) < 0x70);
    // The caret at the selection start, with its feet.
    EXPECT_TRUE(near(at(x1 + 12, b + 1), 0xFFA6896A, 4)) << hex(at(x1 + 12, b + 1)); // after the opening sign

    // A phrase being edited without a closing sign: its band runs off the right edge.
    CLine open = makeLine(3, {{QString(), 250, 1}});
    open.insertText(QStringLiteral("Attends"), -1);
    st.m_itSelectedLine = m_script.addLine(open).first;
    st.m_nSelStart = st.m_nSelEnd = 1;
    render();
    EXPECT_LT(qRed(at(renderer().space().nRight - 1, CBandSpace::base(3) + 10)), 0x70);
    EXPECT_GT(qRed(at(xf(250) - 10, CBandSpace::base(3) + 10)), 0x90);
}
} // namespace

namespace {
TEST_F(BandRenderTest, DetectionPhrasesBookmarksAndVoiceOff) {
    CVarE detection;
    const CRole* pRole = addRole(detection, QStringLiteral("LÉA"), 0x004080);
    detection.addLine(makeLine(3, {{QString(), 236, 0}, {QStringLiteral("MMMMMM"), 262, 2}}, pRole));
    const CRole* pPaul = addRole(m_script, QStringLiteral("PAUL"), 0x802000);
    CLine off = makeLine(0, {{QString(), 240, 0}, {QStringLiteral("hors champ"), 270, 2}}, pPaul);
    off.setVoiceOff(true);
    m_script.addLine(off);
    CBookmarks bookmarks;
    bookmarks.emplace(CTimeCode::fromFrames(275), CBookmark{45000, QStringLiteral("Reprise")});
    renderer().setDetection(&detection);
    renderer().setBookmarks(&bookmarks);
    renderer().state().m_bShowDetection = true;
    zoom(1);
    render();
    renderer().setDetection(nullptr);
    renderer().setBookmarks(nullptr);

    // The detection's text in its role colour lightened halfway to white, without sign shapes.
    const int b3 = CBandSpace::base(3);
    int nLight = 0;
    for (int x = xf(236); x < xf(262); ++x)
        for (int y = b3 + 30; y < b3 + 100; ++y)
            if (near(at(x, y), 0xFF7F9FBF, 6)) ++nLight;
    EXPECT_GT(nLight, 200);
    EXPECT_FALSE(qGreen(at(xf(236), b3 + 30)) > 0x90 && qRed(at(xf(236), b3 + 30)) == 0);
    // The voice-off bar from the first to the last sign, 3 high at b + 17, in the label colour.
    const int b0 = CBandSpace::base(0);
    EXPECT_TRUE(near(at((xf(240) + xf(270)) / 2 + 30, b0 + 18), 0xFF802000))
        << hex(at((xf(240) + xf(270)) / 2, b0 + 18));
    EXPECT_FALSE(near(at((xf(240) + xf(270)) / 2 + 30, b0 + 22), 0xFF802000));
    // The bookmark: its orange label box left of the mark at the top, dashes 25 long every 50.
    const int xb = xf(275);
    EXPECT_TRUE(near(at(xb - 20, 390), 0xFFF28500, 4)) << hex(at(xb - 20, 390));
    // Its label is as tall as a role name: white ink over most of the box's height.
    int nTop = -1, nBottom = -1;
    for (int y = 350; y < 400; ++y)
        for (int x = xb - 60; x < xb - 8; ++x)
            if (qRed(at(x, y)) > 0xF0 && qGreen(at(x, y)) > 0xF0 && qBlue(at(x, y)) > 0xF0) {
                if (nBottom < 0) nBottom = y;
                nTop = y;
            }
    EXPECT_GE(nTop - nBottom, 20) << nBottom << " to " << nTop;
    EXPECT_TRUE(near(at(xb, 10), 0xFFF28500, 40)) << hex(at(xb, 10));
    EXPECT_TRUE(near(at(xb, 60), 0xFFF28500, 40)) << hex(at(xb, 60));
    EXPECT_FALSE(near(at(xb, 35), 0xFFF28500, 40)) << hex(at(xb, 35));
}
} // namespace

namespace {
TEST_F(BandRenderTest, TextBetweenSignsOutsideTheViewIsDrawnAcrossIt) {
    // At zoom 1 the view shows frames 217 to 283; the phrase's signs lie far on both sides: "Un"
    // from 100 to 150, "Waouh" from 150 to 350.
    m_script.addLine(makeLine(
        2, {{QString(), 100, 0}, {QStringLiteral("Un"), 150, 4}, {QStringLiteral("Waouh"), 350, 2}}));
    zoom(1);
    render();
    const int b = CBandSpace::base(2);
    int nLeft = 0, nRight = 0;
    for (int x = -790; x < -100; ++x)
        for (int y = b + 45; y < b + 100; ++y)
            nLeft += isInk(at(x, y));
    for (int x = 100; x < 790; ++x)
        for (int y = b + 45; y < b + 100; ++y)
            nRight += isInk(at(x, y));
    EXPECT_GT(nLeft, 500);
    EXPECT_GT(nRight, 500);
    // The glyphs drawn are those of "Waouh", stretched from its sign at 150 to the one at 350.
    float fMin = 1e9f, fMax = -1e9f;
    const CBandVertex* v = renderer().device().vertices();
    for (int i = 0; i < renderer().device().vertexCount(); ++i)
        if (v[i].nSlot >= 0 && v[i].y > b) {
            fMin = std::min(fMin, v[i].x);
            fMax = std::max(fMax, v[i].x);
        }
    EXPECT_NEAR(fMin, xf(150), 200);
    EXPECT_NEAR(fMax, xf(350), 200);
}

TEST_F(BandRenderTest, ScrollingBackAndForthDrawsWhatAFreshViewDraws) {
    for (int i = 0; i < 40; ++i)
        m_script.addLine(
            makeLine(i % 4, {{QString(), 200 + 5 * i, 0}, {QStringLiteral("Encore"), 230 + 5 * i, 3}}));
    zoom(1);
    const QImage fresh = render(POS + 600);
    for (int p = POS + 3000; p >= POS - 3000; p -= 200)
        render(p); // backwards: the walk starts again
    for (int p = POS - 3000; p <= POS + 600; p += 100)
        render(p);
    EXPECT_EQ(render(POS + 600), fresh);
}
} // namespace
