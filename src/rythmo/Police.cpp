#include "Police.h"

#include "GLDevice.h"
#include "base/TraceLog.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
// Beyond Latin-1: the rest of the Windows-1252 repertoire (what French scripts typed on any desktop
// contain) and the spaces and hyphens of French typography. Sorted.
constexpr char32_t s_frenchExtras[] = {
    0x0152, 0x0153, 0x0160, 0x0161, 0x0178, 0x017D, 0x017E, 0x0192, 0x02BC, 0x02C6, 0x02DC, 0x2009,
    0x2010, 0x2011, 0x2013, 0x2014, 0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2020, 0x2021,
    0x2022, 0x2026, 0x2030, 0x2039, 0x203A, 0x202F, 0x20AC, 0x2122, 0x2212, 0xFFFD,
};
constexpr std::size_t MAX_EXTRAS = 4096;
constexpr char32_t REPLACEMENT = 0xFFFD;

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}
} // namespace

CPolice::CPolice() = default;

void CPolice::init(CGLDevice* pDevice, const QString& strFace, CTraceLog* pLog, int nWeight,
                   int nMaxTextureSize) {
    setDevice(pDevice, pLog);
    m_bReady = false;
    m_nPointSize = POINT_SIZE;
    int nMax = (pDevice && pDevice->isCreated()) ? pDevice->maxTextureSize() : DEFAULT_TEXTURE_SIZE;
    if (nMaxTextureSize > 0) nMax = std::min(nMax, nMaxTextureSize);
    m_nTexWidth = m_nTexHeight = std::min(DEFAULT_TEXTURE_SIZE, nMax);

    // 48 points at the 96 dots per inch of an image: the same pixel height on every display.
    m_font = QFont(strFace);
    m_font.setPixelSize((POINT_SIZE * 96 + 36) / 72);
    m_font.setWeight(QFont::Weight(std::clamp(nWeight, 100, 900)));
    m_font.setItalic(false);
    m_font.setKerning(false);
    m_font.setHintingPreference(QFont::PreferNoHinting);
    m_font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));

    const QFontMetrics fm(m_font);
    m_nCellHeight = fm.height();
    m_nAscent = fm.ascent();
    m_nSpacing = int(std::ceil(0.3 * m_nCellHeight));

    m_image = QImage(m_nTexWidth, m_nTexHeight, QImage::Format_Grayscale8);
    if (m_image.isNull()) {
        if (m_pLog) m_pLog->Log("CreateTexture failed : %x\n", 0u);
        return;
    }
    m_image.fill(0);
    releaseResources(); // a new image: the next draw uploads it whole
    markDirty(0, m_nTexHeight);

    std::fill(std::begin(m_bLatin), std::end(m_bLatin), false);
    m_extras.clear();
    m_extras.reserve(MAX_EXTRAS);
    m_nExtras = 0;
    m_nPenX = m_nSpacing;
    m_nPenY = 0;
    m_bFull = false;

    for (char32_t c = 0x20; c <= 0xFF; ++c)
        if (!isControl(c)) addGlyph(c);
    for (char32_t c : s_frenchExtras)
        addGlyph(c);
    const CGlyph* pReplacement = glyphFor(REPLACEMENT);
    m_replacement = pReplacement ? *pReplacement : m_latin['?' - 0x20];
    m_bReady = true;
}

bool CPolice::rasterise(char32_t c, CGlyph& glyph) const {
    const QString str = QString::fromUcs4(&c, 1);
    const QFontMetrics fm(m_font);
    const int w = std::max(0, fm.horizontalAdvance(str));
    const int h = m_nCellHeight;
    const int sp = m_nSpacing;
    if (w + 2 * sp > m_nTexWidth) return false;
    if (m_nPenX + w + sp > m_nTexWidth) {
        m_nPenX = sp;
        m_nPenY += h + 1;
    }
    if (m_nPenY + h > m_nTexHeight) return false;

    QImage scratch(w + 2 * sp, h, QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    {
        QPainter painter(&scratch);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(m_font);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(sp, m_nAscent), str);
    }
    CPolice* self = const_cast<CPolice*>(this); // the atlas is this font's cache
    const int x0 = m_nPenX - sp;
    const int nCellWidth = scratch.width();
    int nInkX0 = nCellWidth, nInkX1 = -1, nInkY0 = h, nInkY1 = -1;
    for (int y = 0; y < h; ++y) {
        const QRgb* pSrc = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        uchar* pDst = self->m_image.scanLine(m_nPenY + y) + x0;
        for (int x = 0; x < nCellWidth; ++x) {
            pDst[x] = uchar(qAlpha(pSrc[x]));
            if (pDst[x]) {
                nInkX0 = std::min(nInkX0, x);
                nInkX1 = std::max(nInkX1, x);
                nInkY0 = std::min(nInkY0, y);
                nInkY1 = std::max(nInkY1, y);
            }
        }
    }
    self->markDirty(m_nPenY, m_nPenY + h);

    const float W = float(m_nTexWidth), H = float(m_nTexHeight);
    glyph = CGlyph{
        float(x0) / W, float(m_nPenY) / H, float(m_nPenX + w + sp) / W, float(m_nPenY + h) / H, w, 0, 0, 0, 0,
        nInkX1 >= 0};
    if (glyph.bInk) { // a texel of transparent border for the filtering
        glyph.fInkX0 = float(std::max(0, nInkX0 - 1)) / float(nCellWidth);
        glyph.fInkX1 = float(std::min(nCellWidth, nInkX1 + 2)) / float(nCellWidth);
        glyph.fInkY0 = float(std::max(0, nInkY0 - 1)) / float(h);
        glyph.fInkY1 = float(std::min(h, nInkY1 + 2)) / float(h);
    }
    m_nPenX += w + 2 * sp;
    return true;
}

const CPolice::CGlyph* CPolice::addGlyph(char32_t c) const {
    if (m_bFull) return nullptr;
    CGlyph glyph{};
    if (c >= 0x20 && c <= 0xFF) {
        if (!rasterise(c, glyph)) {
            m_bFull = true;
            return nullptr;
        }
        m_latin[c - 0x20] = glyph;
        m_bLatin[c - 0x20] = true;
        return &m_latin[c - 0x20];
    }
    if (m_nExtras >= MAX_EXTRAS || !rasterise(c, glyph)) {
        m_bFull = true;
        return nullptr;
    }
    auto end = m_extras.begin() + std::ptrdiff_t(m_nExtras);
    auto it =
        std::lower_bound(m_extras.begin(), end, c, [](const CExtra& e, char32_t k) { return e.code < k; });
    const std::ptrdiff_t at = it - m_extras.begin();
    if (m_extras.size() < MAX_EXTRAS) m_extras.push_back(CExtra{}); // within the reserved capacity
    std::move_backward(m_extras.begin() + at, m_extras.begin() + std::ptrdiff_t(m_nExtras),
                       m_extras.begin() + std::ptrdiff_t(m_nExtras) + 1);
    m_extras[std::size_t(at)] = CExtra{c, glyph};
    ++m_nExtras;
    return &m_extras[std::size_t(at)].glyph;
}

const CPolice::CGlyph* CPolice::glyphFor(char32_t c) const {
    if (isControl(c)) return nullptr;
    if (c <= 0xFF) {
        if (m_bLatin[c - 0x20]) return &m_latin[c - 0x20];
    } else {
        auto end = m_extras.begin() + std::ptrdiff_t(m_nExtras);
        auto it = std::lower_bound(m_extras.begin(), end, c,
                                   [](const CExtra& e, char32_t k) { return e.code < k; });
        if (it != end && it->code == c) return &it->glyph;
    }
    if (const CGlyph* p = addGlyph(c)) return p;
    return m_bReady ? &m_replacement : nullptr;
}

const CPolice::CGlyph* CPolice::glyphAt(QStringView text, qsizetype i) const {
    const QChar ch = text[i];
    // A line break (LF, or the LF of CR LF) or a tab keeps the words apart on the band's one line.
    if (ch == QLatin1Char('\n') || ch == QLatin1Char('\t')) return glyphFor(' ');
    if (ch.isLowSurrogate()) {
        if (i > 0 && text[i - 1].isHighSurrogate()) return nullptr; // drawn with its high half
        return glyphFor(REPLACEMENT);
    }
    if (ch.isHighSurrogate()) {
        if (i + 1 < text.size() && text[i + 1].isLowSurrogate())
            return glyphFor(QChar::surrogateToUcs4(ch, text[i + 1]));
        return glyphFor(REPLACEMENT);
    }
    return glyphFor(ch.unicode());
}

int CPolice::getTextWidth(QStringView text) const {
    if (!m_bReady) return 0;
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (const CGlyph* p = glyphAt(text, i)) n += p->nWidth;
    return n;
}

float CPolice::getPositionRatio(QStringView text, int nIndex) const {
    if (nIndex > text.size()) return -1.0f;
    const int nTotal = getTextWidth(text);
    if (nTotal == 0 || nIndex <= 0) return 0.0f;
    return float(getTextWidth(text.first(nIndex))) / float(nTotal);
}

int CPolice::getIndexAtRatio(QStringView text, float fRatio) const {
    const int nTotal = getTextWidth(text);
    if (nTotal == 0) return 0;
    int nPrefix = 0;
    float rPrev = 0.0f;
    for (qsizetype i = 1; i <= text.size(); ++i) {
        if (const CGlyph* p = glyphAt(text, i - 1)) nPrefix += p->nWidth;
        const float r = float(nPrefix) / float(nTotal);
        if ((r + rPrev) / 2.0f > fRatio) return int(i - 1);
        rPrev = r;
    }
    return int(text.size());
}

void CPolice::drawText(QStringView text, int x0, int y0, int x1, int y1, float r, float g, float b, float a) {
    if (!m_bReady || text.isEmpty() || m_nCellHeight <= 0) return;
    auto byte = [](float c) -> std::uint32_t {
        if (c >= 1.0f) return 255;
        if (c <= 0.0f) return 0;
        return std::uint32_t(std::lround(c * 255.0f));
    };
    const std::uint32_t argb = (byte(a) << 24) | (byte(r) << 16) | (byte(g) << 8) | byte(b);
    const int nWidth = getTextWidth(text);
    float hs = nWidth > 0 ? float(x1 - x0) / float(nWidth) : 0.0f;
    if (hs == 0.0f) hs = 1.0f;
    const float vs = float(y1 - y0) / float(m_nCellHeight);
    const float fMargin = float(2 * m_nSpacing) * hs;
    float x = float(x0) - float(m_nSpacing) * hs;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const CGlyph* p = glyphAt(text, i);
        if (!p) continue;
        const CGlyph glyph = *p;
        const float cw = float(glyph.nWidth + 2 * m_nSpacing) * hs;
        const float ch = float(m_nTexHeight) * (glyph.tv1 - glyph.tv0) * vs;
        if (text[i] != QLatin1Char(' ') && glyph.bInk) {
            // The cell's quad as it stands, then only its inked part of it, mapped the same way.
            const float qx0 = float(int(x)), qx1 = float(int(x + cw));
            const float qy0 = float(y0), qy1 = float(int(float(y0) + ch));
            auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
            drawTexturedQuad(
                lerp(qx0, qx1, glyph.fInkX0), lerp(qy1, qy0, glyph.fInkY1), lerp(qx0, qx1, glyph.fInkX1),
                lerp(qy1, qy0, glyph.fInkY0), argb, lerp(glyph.tv0, glyph.tv1, glyph.fInkY0),
                lerp(glyph.tu0, glyph.tu1, glyph.fInkX0), lerp(glyph.tv0, glyph.tv1, glyph.fInkY1),
                lerp(glyph.tu0, glyph.tu1, glyph.fInkX1));
        }
        x += cw - fMargin;
    }
}
