#pragma once

#include "Texture.h"

#include <QFont>
#include <QString>
#include <QStringView>
#include <vector>

// A glyph atlas made once from a font: measures text and draws it stretched to an exact rectangle.
// The atlas holds Latin-1 and the punctuation and letters French dialogue needs beyond it (oe
// ligatures, typographic quotes and apostrophes, dashes, ellipsis, narrow spaces...). Any other
// character is rasterised into the atlas the first time it is measured; when the atlas is full it
// is measured and drawn as U+FFFD, so no text ever vanishes. A line break or a tab counts as a space;
// other control characters have no width.
class CPolice : public CTexture {
public:
    static constexpr int POINT_SIZE = 48;
    static constexpr int DEFAULT_TEXTURE_SIZE = 2048;

    struct CGlyph {
        float tu0, tv0, tu1, tv1; // cell, fractions of the texture size
        int nWidth;               // natural width in texels, margins excluded
        // The part of the cell that holds ink, as fractions of the cell (0..1, v down); only that
        // part is drawn, the rest of the cell being transparent.
        float fInkX0, fInkY0, fInkX1, fInkY1;
        bool bInk;
    };

    CPolice();

    // Builds the atlas from the face (weight as QFont::Weight: 200 extra-light ... 700 bold). The
    // atlas is DEFAULT_TEXTURE_SIZE square, or smaller when the device (or nMaxTextureSize, when
    // not 0) allows less.
    void init(CGLDevice* pDevice, const QString& strFace, CTraceLog* pLog, int nWeight = 200,
              int nMaxTextureSize = 0);
    bool isReady() const { return m_bReady; }

    // Stretches the text into the rectangle; with x1 == x0 it is drawn at its natural width.
    // Components are 0..1.
    void drawText(QStringView text, int x0, int y0, int x1, int y1, float r, float g, float b, float a);

    int getTextWidth(QStringView text) const;
    // Width of the first nIndex code units over the whole width; -1 beyond the length, 0 for an
    // empty text.
    float getPositionRatio(QStringView text, int nIndex) const;
    // Index of the character boundary nearest to a fraction of the text's width.
    int getIndexAtRatio(QStringView text, float fRatio) const;

    int getSpacing() const { return m_nSpacing; }
    int getPointSize() const { return m_nPointSize; }
    int getTextureWidth() const { return m_nTexWidth; }
    int getTextureHeight() const { return m_nTexHeight; }
    // Height in texels of the space character's cell.
    int getCellHeight() const { return m_nCellHeight; }
    const QFont& font() const { return m_font; }
    int extraGlyphCount() const { return int(m_nExtras); }

    // The glyph drawn for the code unit at index i, or null when it has no width and draws nothing
    // (control characters, the low half of a surrogate pair).
    const CGlyph* glyphAt(QStringView text, qsizetype i) const;

private:
    struct CExtra {
        char32_t code;
        CGlyph glyph;
    };
    const CGlyph* glyphFor(char32_t c) const;
    const CGlyph* addGlyph(char32_t c) const; // rasterises into the atlas; null when it is full
    bool rasterise(char32_t c, CGlyph& glyph) const;

    int m_nPointSize = POINT_SIZE;
    int m_nTexWidth = DEFAULT_TEXTURE_SIZE;
    int m_nTexHeight = DEFAULT_TEXTURE_SIZE;
    int m_nSpacing = 0;
    int m_nCellHeight = 0;
    int m_nAscent = 0;
    bool m_bReady = false;
    QFont m_font;

    // Latin-1 32..255, by code; then every other glyph, sorted by code. The atlas and its tables grow
    // while text is measured: they are the font's cache, not its visible state.
    mutable CGlyph m_latin[224] = {};
    mutable bool m_bLatin[224] = {};
    mutable std::vector<CExtra> m_extras; // capacity reserved once
    mutable std::size_t m_nExtras = 0;
    mutable int m_nPenX = 0; // where the next glyph goes
    mutable int m_nPenY = 0;
    mutable bool m_bFull = false;
    CGlyph m_replacement = {};
};
