// The band's drawing primitives drawn for real into an off-screen framebuffer, and the glyph atlas's
// measurements.
#include "GLTestSupport.h"
#include "rythmo/GLDevice.h"
#include "rythmo/LipSyncShapes.h"
#include "rythmo/Motif.h"
#include "rythmo/OffscreenGL.h"
#include "rythmo/Police.h"

#include <gtest/gtest.h>

namespace {
// A 400 x 400 framebuffer in which one band unit is one pixel, y up.
class PrimitivesTest : public ::testing::Test {
protected:
    // Declared in the order they must be made; destroyed in reverse with the context still there.
    struct CGL {
        COffscreenGL gl;
        CGLDevice device;
        CPolice font;
        CLipSyncShapes shapes;
    };
    static void SetUpTestSuite() {
        testApp();
        s_p = new CGL;
        QString strError;
        s_bReady = s_p->gl.create(QSize(400, 400), &strError) && s_p->device.create(nullptr, &strError);
        if (!s_bReady) s_strError = strError;
        s_p->font.init(&s_p->device, QStringLiteral("Open Sans Light"), nullptr);
        s_p->shapes.setDevice(&s_p->device);
        s_p->shapes.build();
    }
    static void TearDownTestSuite() {
        s_p->gl.makeCurrent();
        delete s_p;
        s_p = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_bReady) << s_strError.toStdString();
        s_p->gl.makeCurrent();
        m_quad.setDevice(&m_device, nullptr);
        m_device.beginFrame(0, 400, 0, 400, 0xFF000000);
    }
    QImage render() {
        m_device.draw(400, 400);
        return s_p->gl.grab();
    }
    // Pixel whose centre is at band (x + 0.5, y + 0.5).
    static QRgb at(const QImage& image, int x, int y) { return image.pixel(x, 399 - y); }

    static inline CGL* s_p = nullptr;
    static inline bool s_bReady = false;
    static inline QString s_strError;
    CMotif m_quad;
    CGLDevice& m_device = s_p->device;
    CPolice& m_font = s_p->font;
    CLipSyncShapes& m_shapes = s_p->shapes;
};

TEST_F(PrimitivesTest, QuadsAndGradientsFollowTheVertexColourLayout) {
    m_quad.drawQuad(10, 10, 50, 50, 0xFF123456);
    m_quad.drawGradient(100, 0, 200, 100, 0xFF000000, 0xFFFF0000, true);   // A along x0, B along x1
    m_quad.drawGradient(200, 0, 300, 100, 0xFF000000, 0xFF00FF00, false);  // A along y0, B along y1
    m_quad.drawVerticalGradient(300, 0, 400, 100, 0xFF0000FF, 0xFF000000); // same as the flag false
    const QImage image = render();
    EXPECT_TRUE(near(at(image, 30, 30), 0xFF123456)) << hex(at(image, 30, 30));
    EXPECT_TRUE(near(at(image, 60, 30), 0xFF000000));
    EXPECT_TRUE(near(at(image, 100, 50), 0xFF000000, 4));
    EXPECT_TRUE(near(at(image, 149, 50), 0xFF800000, 4)) << hex(at(image, 149, 50));
    EXPECT_TRUE(near(at(image, 199, 50), 0xFFFF0000, 4));
    EXPECT_TRUE(near(at(image, 250, 0), 0xFF000000, 4));
    EXPECT_TRUE(near(at(image, 250, 99), 0xFF00FF00, 4)) << hex(at(image, 250, 99));
    EXPECT_TRUE(near(at(image, 350, 0), 0xFF0000FF, 4));
    EXPECT_TRUE(near(at(image, 350, 99), 0xFF000000, 4));
}

TEST_F(PrimitivesTest, HalfTransparentColoursBlendOverWhatIsBelow) {
    m_quad.drawQuad(0, 0, 100, 100, 0xFFFFFFFF);
    m_quad.drawQuad(0, 0, 100, 100, 0x40000000); // a quarter-opaque black, as a faded role label
    const QImage image = render();
    EXPECT_TRUE(near(at(image, 50, 50), 0xFFBFBFBF, 3)) << hex(at(image, 50, 50));
}

TEST_F(PrimitivesTest, SignShapesAreDrawnAroundTheirOrigin) {
    EXPECT_TRUE(m_shapes.isBuilt());
    int nVertices = 0;
    for (int i = 0; i < CLipSyncShapes::SHAPE_COUNT; ++i)
        nVertices += m_shapes.shape(i).nCount;
    EXPECT_EQ(nVertices, CLipSyncShapes::VERTEX_COUNT);
    const int triangles[CLipSyncShapes::SHAPE_COUNT] = {3, 3, 3, 3, 6, 12, 14, 6, 4, 6, 1};
    for (int i = 0; i < CLipSyncShapes::SHAPE_COUNT; ++i)
        EXPECT_EQ(CLipSyncShapes::triangleCount(m_shapes.shape(i)), triangles[i]) << i;

    m_shapes.drawShape(0, 50, 100);   // opening: green arrow up
    m_shapes.drawShape(3, 150, 100);  // closing, mouth closed: red arrow down
    m_shapes.drawShape(4, 250, 100);  // labial: three brown bars
    m_shapes.drawShape(7, 350, 100);  // vowel A: a bowl
    m_shapes.drawShape(42, 200, 300); // not a sign type: nothing
    const QImage image = render();
    // Arrow head near its tip (0, 24) and shaft (0, -20).
    EXPECT_EQ(qRed(at(image, 50, 120)), 0);
    EXPECT_GT(qGreen(at(image, 50, 120)), 0xE0);
    EXPECT_GT(qGreen(at(image, 50, 80)), 0x90);
    EXPECT_TRUE(near(at(image, 50, 130), 0xFF000000)); // above the tip
    // The closing arrow points down: its head is below.
    EXPECT_GT(qRed(at(image, 150, 78)), 0x70);
    EXPECT_EQ(qGreen(at(image, 150, 78)), 0);
    EXPECT_TRUE(near(at(image, 150, 73), 0xFF000000));
    // Labial bars at x -9 and +9 and the middle bar, no ink between the bars above the middle.
    EXPECT_TRUE(near(at(image, 241, 110), 0xFF786249));
    EXPECT_TRUE(near(at(image, 259, 110), 0xFF786249));
    EXPECT_TRUE(near(at(image, 250, 100), 0xFF786249));
    EXPECT_TRUE(near(at(image, 250, 110), 0xFF000000));
    EXPECT_TRUE(near(at(image, 350, 95), 0xFF786249));
    EXPECT_TRUE(near(at(image, 200, 300), 0xFF000000));
}

TEST_F(PrimitivesTest, AtlasMeasuresLatinAndFrenchCharacters) {
    ASSERT_TRUE(m_font.isReady());
    EXPECT_EQ(m_font.getPointSize(), 48);
    EXPECT_EQ(m_font.getTextureWidth(), 2048);
    EXPECT_GT(m_font.getSpacing(), 0);
    EXPECT_EQ(m_font.getSpacing(), int(std::ceil(0.3 * m_font.getCellHeight())));

    const QString strText = QStringLiteral("Bonjour à toi");
    int nSum = 0;
    for (QChar c : strText)
        nSum += m_font.getTextWidth(QString(c));
    EXPECT_EQ(m_font.getTextWidth(strText), nSum);
    EXPECT_GT(m_font.getTextWidth(QStringLiteral("W")), m_font.getTextWidth(QStringLiteral("i")));

    // Beyond Latin-1: measured, never dropped, and the text after them keeps its place.
    for (const char16_t c : {u'œ', u'Œ', u'’', u'“', u'”', u'…', u'–', u'—', u'€', u'\u202F'})
        EXPECT_GT(m_font.getTextWidth(QString(QChar(c))), 0) << int(c);
    EXPECT_GT(m_font.getTextWidth(QStringLiteral("cœur")), m_font.getTextWidth(QStringLiteral("cur")));
    // Not in the prepared set: rasterised on first use.
    const int nBefore = m_font.extraGlyphCount();
    EXPECT_GT(m_font.getTextWidth(QStringLiteral("λ")), 0);
    EXPECT_EQ(m_font.extraGlyphCount(), nBefore + 1);
    EXPECT_GT(m_font.getTextWidth(QString::fromUtf8("\xF0\x9F\x98\x80")), 0); // outside the BMP
    // A line break (CR LF) or a tab keeps the words apart like a space; other control characters
    // take no room.
    EXPECT_EQ(m_font.getTextWidth(QStringLiteral("a\r\nb")), m_font.getTextWidth(QStringLiteral("a b")));
    EXPECT_EQ(m_font.getTextWidth(QStringLiteral("a\tb")), m_font.getTextWidth(QStringLiteral("a b")));
    EXPECT_EQ(m_font.getTextWidth(QStringLiteral("a") + QChar(0x7F) + QChar(0x1B) + QChar(0x85) +
                                  QStringLiteral("b")),
              m_font.getTextWidth(QStringLiteral("ab")));
}

TEST_F(PrimitivesTest, RatiosAndIndicesAreInverse) {
    EXPECT_EQ(m_font.getPositionRatio(QString(), 0), 0.0f);
    EXPECT_EQ(m_font.getPositionRatio(QStringLiteral("abc"), 4), -1.0f);
    EXPECT_EQ(m_font.getPositionRatio(QStringLiteral("abc"), 3), 1.0f);
    EXPECT_EQ(m_font.getIndexAtRatio(QString(), 0.5f), 0);
    const QString strText = QStringLiteral("Mais où est donc Ornicar ?");
    for (int i = 0; i <= strText.size(); ++i) {
        const float r = m_font.getPositionRatio(strText, i);
        EXPECT_EQ(m_font.getIndexAtRatio(strText, r), i) << i;
    }
    EXPECT_EQ(m_font.getIndexAtRatio(strText, -0.5f), 0);
    EXPECT_EQ(m_font.getIndexAtRatio(strText, 1.5f), strText.size());
    // A click a third into a wide letter belongs before it, two thirds in after it.
    const QString strWide = QStringLiteral("iWi");
    const float rStart = m_font.getPositionRatio(strWide, 1), rEnd = m_font.getPositionRatio(strWide, 2);
    EXPECT_EQ(m_font.getIndexAtRatio(strWide, rStart + (rEnd - rStart) / 3), 1);
    EXPECT_EQ(m_font.getIndexAtRatio(strWide, rStart + 2 * (rEnd - rStart) / 3), 2);
}

TEST_F(PrimitivesTest, SmallAtlasWrapsEarlierAndFallsBackWhenFull) {
    CPolice small;
    small.init(&m_device, QStringLiteral("DejaVu Sans"), nullptr, 400, 512);
    ASSERT_TRUE(small.isReady());
    EXPECT_EQ(small.getTextureWidth(), 512);
    EXPECT_EQ(small.getTextureHeight(), 512);
    // A 512 texel atlas cannot hold a 64 pixel font's Latin-1: what does not fit is measured and
    // drawn as the replacement glyph instead of vanishing.
    for (char16_t c = 0x20; c <= 0xFF; ++c) {
        if (c >= 0x7F && c < 0xA0) continue;
        EXPECT_GT(small.getTextWidth(QString(QChar(c))), 0) << int(c);
    }
    EXPECT_GT(small.getTextWidth(QStringLiteral("中文")), 0);
}

TEST_F(PrimitivesTest, TextIsStretchedExactlyIntoItsRectangle) {
    // Glyph quads cover the inked part of their cells; measured from the vertices drawn.
    struct CBox {
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    };
    auto box = [&] {
        CBox b;
        const CBandVertex* v = m_device.vertices();
        for (int i = 0; i < m_device.vertexCount(); ++i) {
            b.x0 = std::min(b.x0, v[i].x);
            b.x1 = std::max(b.x1, v[i].x);
            b.y0 = std::min(b.y0, v[i].y);
            b.y1 = std::max(b.y1, v[i].y);
        }
        return b;
    };
    const QString strText = QStringLiteral("Allons-y");
    const int nWidth = m_font.getTextWidth(strText);
    // Natural width from x0: the ink runs from about x0 to about x0 + width.
    m_device.beginFrame(0, 400, 0, 400, 0xFF000000);
    m_font.drawText(strText, 1000, 20, 1000, 100, 0, 0, 0, 1);
    EXPECT_EQ(m_device.vertexCount(), 6 * 8); // one quad a glyph
    CBox b = box();
    EXPECT_NEAR(b.x0, 1000, 6);
    EXPECT_NEAR(b.x1, 1000 + nWidth, 8);
    // Squeezed to half its width, anywhere on the band.
    m_device.beginFrame(0, 400, 0, 400, 0xFF000000);
    m_font.drawText(strText, -300, 20, -300 + nWidth / 2, 100, 0, 0, 0, 1);
    b = box();
    EXPECT_NEAR(b.x0, -300, 4);
    EXPECT_NEAR(b.x1, -300 + nWidth / 2, 5);
    // 80 units high from y0: the descender of the y near the bottom, the ascenders near the top.
    EXPECT_GE(b.y0, 20.0f);
    EXPECT_LT(b.y0, 30.0f);
    EXPECT_LE(b.y1, 100.0f);
    EXPECT_GT(b.y1, 75.0f);
    // Stretched to three times its width.
    m_device.beginFrame(0, 400, 0, 400, 0xFF000000);
    m_font.drawText(strText, 0, 20, 3 * nWidth, 100, 0, 0, 0, 1);
    b = box();
    EXPECT_NEAR(b.x0, 0, 12);
    EXPECT_NEAR(b.x1, 3 * nWidth, 20);

    // Spaces advance the pen but draw nothing; an empty text draws nothing.
    m_device.beginFrame(0, 400, 0, 400, 0xFF000000);
    m_font.drawText(QStringLiteral("a b"), 0, 0, 0, 100, 0, 0, 0, 1);
    EXPECT_EQ(m_device.vertexCount(), 12);
    m_font.drawText(QString(), 0, 0, 100, 100, 0, 0, 0, 1);
    EXPECT_EQ(m_device.vertexCount(), 12);
}

TEST_F(PrimitivesTest, GlyphsAreInkedFromTheAtlasInTheTextColour) {
    m_quad.drawQuad(0, 0, 400, 400, 0xFFFFFFFF);
    m_font.drawText(QStringLiteral("MMMM"), 20, 100, 380, 300, 1, 0, 0, 1);
    const QImage image = render();
    int nRed = 0, nOther = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) {
            const QRgb c = at(image, x, y);
            if (c == qRgb(255, 255, 255)) continue;
            if (qRed(c) > 0xF0 && qGreen(c) == qBlue(c)) {
                if (x < 20 - m_font.getSpacing() || x > 380 + m_font.getSpacing() || y < 100 || y > 300)
                    ++nOther;
                else
                    ++nRed;
            } else {
                ++nOther;
            }
        }
    EXPECT_GT(nRed, 4000); // four stretched M
    EXPECT_EQ(nOther, 0);
}
} // namespace
