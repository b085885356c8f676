#include "BandRenderer.h"

#include "base/TraceLog.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace {
qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
// 0xAARRGGBB components as the 0..1 floats of drawText.
float channel(std::uint32_t argb, int nShift) {
    return float((argb >> nShift) & 0xFF) / 255.0f;
}
} // namespace

CBandRenderer::CBandRenderer() {
    // Frames can be built before the GL device exists (measurements, positions); only drawing needs it.
    m_quad.setDevice(&m_device, nullptr);
    m_shapes.setDevice(&m_device);
    m_shapes.build();
}

CBandRenderer::~CBandRenderer() = default;

bool CBandRenderer::initGL(CTraceLog* pLog, const CBandFonts& fonts, QString* pError) {
    m_pLog = pLog;
    if (!m_device.create(pLog, pError)) return false;
    if (m_pLog) m_pLog->Log("Creating loops\n");
    if (m_pLog) m_pLog->Log("Initialisation de la texture pour l'affichage des lipsync\n");
    m_quad.setDevice(&m_device, pLog);
    if (m_pLog) m_pLog->Log("Initialisation des polices\n");
    if (!m_bFontsMade) initFonts(fonts);
    return true;
}

void CBandRenderer::initFonts(const CBandFonts& fonts) {
    m_phraseFont.init(&m_device, fonts.strText, m_pLog, 200);
    m_roleFont.init(&m_device, fonts.strLabel, m_pLog, 600);
    m_loopFont.init(&m_device, fonts.strLabel, m_pLog, 700);
    m_bookmarkFont.init(&m_device, fonts.strLabel, m_pLog, 700);
    m_bFontsMade = true;
}

void CBandRenderer::releaseGL() {
    m_phraseFont.releaseResources();
    m_roleFont.releaseResources();
    m_loopFont.releaseResources();
    m_bookmarkFont.releaseResources();
    m_device.destroy();
}

void CBandRenderer::setScript(const CVarE* pScript) {
    m_pScript = pScript;
    clearSelection();
    resetFirstVisible();
}

void CBandRenderer::setDetection(const CVarE* pDetection) {
    m_pDetection = pDetection;
    resetFirstVisible();
}

void CBandRenderer::setViewport(int nWidth, int nHeight, int nZoom) {
    m_nWidth = std::max(0, nWidth);
    m_nHeight = std::max(0, nHeight);
    m_space = CBandSpace::make(m_nWidth, nZoom);
}

void CBandRenderer::clearSelection() {
    m_state.m_bHasSelectedLine = false;
    m_state.m_nSelectedSign = -1;
}

void CBandRenderer::resetFirstVisible() {
    m_bFirstVisibleValid = false;
}

void CBandRenderer::lineChanged(CVarE::LineIterator it) {
    // Every phrase before the cached one ended before the window; the changed one may no longer.
    if (!m_bFirstVisibleValid || !m_pScript) return;
    if (m_itFirstVisible == m_pScript->getLines().end() || it->getKey() < m_itFirstVisible->getKey())
        m_itFirstVisible = it;
}

void CBandRenderer::shifted(int nFrames) {
    // Moved earlier, the phrases passed are still passed.
    if (nFrames <= 0 || !m_bFirstVisibleValid || !m_pScript) return;
    // Moved later, a phrase passed is back when it now ends in the window. No phrase is longer than the
    // bound, so none that starts before the floor can be; the walk back stops there.
    const CVarE::LineSet& lines = m_pScript->getLines();
    const long long nFloor = (long long)m_nFirstFrame - nFrames - m_pScript->getLongestPhraseBound();
    for (auto it = m_itFirstVisible; it != lines.begin();) {
        --it;
        if (it->getStartFrame() < nFloor) break;
        if (it->getEndFrame() >= m_nFirstFrame) m_itFirstVisible = it;
    }
}

void CBandRenderer::setPosition(int nPosition) {
    if (nPosition < 0) nPosition = 0;
    // The walk only moves forward: going back, it starts again.
    if (nPosition < m_nPosition) resetFirstVisible();
    m_nPosition = nPosition;
}

void CBandRenderer::buildFrame(int nPosition) {
    if (nPosition < 0) nPosition = 0;
    if (nPosition < m_nPosition || !m_bFirstVisibleValid) {
        if (m_pScript) m_itFirstVisible = m_pScript->getLines().begin();
        if (m_pDetection) m_itFirstVisibleDetection = m_pDetection->getLines().begin();
        m_bFirstVisibleValid = true;
    }
    m_nPosition = nPosition;
    m_nFirstFrame = m_space.firstFrame(nPosition);
    m_nLastFrame = m_space.lastFrame(nPosition);

    m_device.beginFrame(float(m_space.nLeft), float(m_space.nRight), float(CBandSpace::BOTTOM),
                        float(CBandSpace::HEIGHT), CBandPalette::CLEAR);
    const CBandPalette& pal = *m_pPalette;
    const int l = m_space.nLeft, r = m_space.nRight;
    if (*m_pActiveTrack < 0 || *m_pActiveTrack >= CBandSpace::TRACK_COUNT) *m_pActiveTrack = 0;
    // The active track's own colours instead of the background under them: the same picture with
    // a quarter less to fill.
    m_device.setBlending(false);
    for (int k = 0; k < CBandSpace::TRACK_COUNT; ++k) {
        const int b = CBandSpace::base(k);
        const bool bActive = k == *m_pActiveTrack;
        const int nLow = k == CBandSpace::TRACK_COUNT - 1 ? CBandSpace::BOTTOM : b;
        m_quad.drawVerticalGradient(l, nLow, r, b + CBandSpace::TRACK_HEIGHT,
                                    bActive ? pal.activeBase : pal.trackBase,
                                    bActive ? pal.activeTop : pal.trackTop);
    }
    m_device.setBlending(true);

    if (!m_state.m_bHideGridAndSigns) drawGrid();
    if (m_pScript) {
        drawSelectedBand();
        drawLoops();
        drawShots();
    }
    drawBookmarks();
    if (m_state.m_bShowDetection && m_pDetection) drawLines(*m_pDetection, m_itFirstVisibleDetection, true);
    if (m_pScript) drawLines(*m_pScript, m_itFirstVisible, false);
    drawReadingBar();
}

void CBandRenderer::drawFrame() {
    if (m_pLog) m_pLog->LogIf(CTraceLog::MASK_RENDER, "Present scene: ");
    m_device.draw(m_nWidth, m_nHeight);
    if (m_pLog) m_pLog->LogIf(CTraceLog::MASK_RENDER, "OK\n");
}

void CBandRenderer::drawGrid() {
    if (m_pLog) m_pLog->LogIf(CTraceLog::MASK_RENDER, "Creating grid\n");
    const int nRate = std::clamp(m_pScript ? m_pScript->getFrameRate() : CTimeCode::DEFAULT_RATE, 1, 600);
    if (nRate != m_nGridRate) {
        // One second: the five track boundaries, and a tick per frame on each (long on the second).
        int n = 0;
        for (int y = 100; y <= 400; y += 100) {
            m_grid[n++] = {0.0f, float(y)};
            m_grid[n++] = {600.0f, float(y)};
        }
        const int s = CTimeCode::MEDIA_TIME_SCALE / nRate;
        for (int x = 0; x < 600; x += s)
            for (int y = 0; y <= 400; y += 100) {
                const int h = x == 0 ? 12 : 4;
                m_grid[n++] = {float(x), float(y - h)};
                m_grid[n++] = {float(x), float(y + h)};
            }
        m_nGridCount = n;
        m_nGridRate = nRate;
    }
    const int nPos = m_nPosition > 0 ? m_nPosition : 0;
    const std::uint32_t c = m_pPalette->grid;
    for (int o = (m_space.nLeft / 600) * 600 - (nPos % 600) - 600; o < m_space.nRight; o += 600) {
        m_device.setTranslation(float(o), 0.0f);
        CBandVertex* p = m_device.appendLines(m_nGridCount);
        for (int i = 0; i < m_nGridCount; ++i)
            m_device.put(p++, m_grid[i].x, m_grid[i].y, c);
    }
    m_device.setTranslation(0.0f, 0.0f);
}

void CBandRenderer::drawSelectedBand() {
    if (!m_state.m_bEditMode || !m_state.m_bHasSelectedLine) return;
    const CLine& line = *m_state.m_itSelectedLine;
    if (line.getSigns().empty() || line.getTrack() < 0 || line.getTrack() >= CBandSpace::TRACK_COUNT) return;
    const int b = CBandSpace::base(line.getTrack());
    const int nClosing = line.getFirstClosingSign();
    const int xEnd = nClosing >= 0 ? xOf(line.getSigns()[nClosing].getTimeCode())
                                   : m_space.nRight + m_nPosition + CBandSpace::MARGIN_AFTER;
    // The first colour goes along the top.
    m_quad.drawVerticalGradient(xOf(line.getTimeCode()), b + CBandSpace::TRACK_HEIGHT, xEnd, b,
                                m_pPalette->selectedTop, m_pPalette->selectedBase);
}

int CBandRenderer::numberText(int n, char16_t* pBuffer) const {
    char16_t tmp[12];
    int nLen = 0;
    const bool bNegative = n < 0;
    unsigned u = bNegative ? 0u - unsigned(n) : unsigned(n);
    do {
        tmp[nLen++] = char16_t(u'0' + u % 10);
        u /= 10;
    } while (u);
    int i = 0;
    if (bNegative) pBuffer[i++] = u'-';
    while (nLen)
        pBuffer[i++] = tmp[--nLen];
    return i;
}

void CBandRenderer::drawLoops() {
    const CVarE::LoopSet& loops = m_pScript->getLoops();
    const int nCell = std::max(1, m_loopFont.getCellHeight());
    for (auto it = m_pScript->loopLowerBound(CTimeCode::fromFrames(m_nFirstFrame)); it != loops.end(); ++it) {
        if (it->getFrames() > m_nLastFrame) break;
        m_device.setTranslation(float(xOf(it->getTimeCode())), 0.0f);
        m_quad.drawGradient(-5, 400, 0, 0, CBandPalette::LOOP_EDGE, CBandPalette::LOOP_CENTRE, true);
        m_quad.drawGradient(0, 400, 5, 0, CBandPalette::LOOP_CENTRE, CBandPalette::LOOP_EDGE, true);
        char16_t sz[16];
        const QStringView number(sz, numberText(it->getNumber(), sz));
        const int w = m_loopFont.getTextWidth(number) * 50 / nCell;
        const int n = w / 2;
        m_quad.drawGradient(-n - 10, 0, 0, 50, CBandPalette::LOOP_EDGE, CBandPalette::LOOP_CENTRE, true);
        m_quad.drawGradient(0, 0, n + 11, 50, CBandPalette::LOOP_CENTRE, CBandPalette::LOOP_EDGE, true);
        m_loopFont.drawText(number, -w / 2, 0, n + 1, 50, 1, 1, 1, 1);
    }
    m_device.setTranslation(0.0f, 0.0f);
}

void CBandRenderer::drawShots() {
    const CVarE::ShotSet& shots = m_pScript->getShots();
    const CVarE::LoopSet& loops = m_pScript->getLoops();
    for (auto it = m_pScript->shotLowerBound(CTimeCode::fromFrames(m_nFirstFrame)); it != shots.end(); ++it) {
        if (it->getFrames() > m_nLastFrame) break;
        const auto loop = m_pScript->loopLowerBound(it->getTimeCode());
        const bool bOnLoop = loop != loops.end() && loop->getFrames() == it->getFrames();
        const std::uint32_t edge = bOnLoop ? CBandPalette::SHOT_LOOP_EDGE : CBandPalette::SHOT_EDGE;
        const std::uint32_t centre = bOnLoop ? CBandPalette::SHOT_LOOP_CENTRE : CBandPalette::SHOT_CENTRE;
        const int x = xOf(it->getTimeCode());
        for (int k = 0; k < CBandSpace::TRACK_COUNT; ++k) {
            const int b = CBandSpace::base(k);
            m_quad.drawGradient(x - 5, b + 50, x, b + 100, edge, centre, true);
            m_quad.drawGradient(x, b + 50, x + 5, b + 100, centre, edge, true);
        }
    }
}

void CBandRenderer::drawBookmarks() {
    if (!m_pBookmarks) return;
    const int nCell = std::max(1, m_loopFont.getCellHeight());
    for (auto it = m_pBookmarks->lower_bound(CTimeCode::fromFrames(m_nFirstFrame)); it != m_pBookmarks->end();
         ++it) {
        if (it->first.getFrames() > m_nLastFrame) break;
        const int x = xOf(it->first);
        const QStringView label(it->second.strLabel);
        // The label's text stands as tall as a role name, so that it reads at the band's usual height.
        constexpr int TOP = CBandSpace::HEIGHT - 1, LOW = TOP - 44, TEXT_HEIGHT = 38;
        const int w = m_loopFont.getTextWidth(label) * TEXT_HEIGHT / nCell;
        m_device.setTranslation(float(x), 0.0f);
        m_quad.drawQuad(-w - 13, TOP, -8, LOW, CBandPalette::BOOKMARK_CENTRE);
        m_quad.drawGradient(-8, TOP, -3, LOW, CBandPalette::BOOKMARK_CENTRE, CBandPalette::BOOKMARK_SHADE,
                            true);
        m_bookmarkFont.drawText(label, -w - 8, TOP - TEXT_HEIGHT, -8, TOP, 1, 1, 1, 1);
        m_device.setTranslation(0.0f, 0.0f);
        for (int y = 0; y < CBandSpace::HEIGHT; y += 50) {
            m_quad.drawGradient(x - 3, y, x, y + 25, CBandPalette::BOOKMARK_EDGE,
                                CBandPalette::BOOKMARK_CENTRE, true);
            m_quad.drawGradient(x, y, x + 3, y + 25, CBandPalette::BOOKMARK_CENTRE,
                                CBandPalette::BOOKMARK_EDGE, true);
        }
    }
}

void CBandRenderer::drawLines(const CVarE& script, CVarE::LineIterator& itFirst, bool bDetection) {
    const CVarE::LineSet& lines = script.getLines();
    // Phrases that ended before the window are passed for good while the position moves forward.
    while (itFirst != lines.end() && itFirst->getEndFrame() < m_nFirstFrame)
        ++itFirst;
    for (auto it = itFirst; it != lines.end(); ++it) {
        if (it->getStartFrame() > m_nLastFrame) break;
        if (it->getEndFrame() < m_nFirstFrame) continue;
        const bool bSelected = !bDetection && m_state.m_bHasSelectedLine && it == m_state.m_itSelectedLine;
        drawLine(script, *it, bDetection, bSelected);
    }
}

void CBandRenderer::drawLine(const CVarE& script, const CLine& line, bool bDetection, bool bSelected) {
    const int k = line.getTrack();
    if (line.getSigns().empty() || k < 0 || k >= CBandSpace::TRACK_COUNT) return;
    const int b = CBandSpace::base(k);
    const int s = xOf(line.getSigns().front().getTimeCode());
    const bool bHide = m_state.m_bHideGridAndSigns;

    std::uint32_t text = CBandPalette::TEXT;
    std::uint32_t label = 0xFF000000;
    if (bDetection) {
        text = CBandPalette::DETECTION_NO_ROLE;
        if (const CRole* pRole = line.getRolePtr()) {
            auto lighten = [](std::uint8_t c) { return std::uint32_t(255 - (255 - c) / 2); };
            text = 0xFF000000u | (lighten(pRole->getRed()) << 16) | (lighten(pRole->getGreen()) << 8) |
                   lighten(pRole->getBlue());
        }
        label = text;
    } else {
        if (m_state.m_bEditMode && bSelected) {
            text = CBandPalette::TEXT_EDITED;
            if (m_state.m_nSelStart != m_state.m_nSelEnd) {
                const int x0 = getPositionX(line, m_state.m_nSelStart),
                          x1 = getPositionX(line, m_state.m_nSelEnd);
                m_quad.drawVerticalGradient(std::min(x0, x1), b, std::max(x0, x1), b + 100,
                                            CBandPalette::SELECTION_BASE, CBandPalette::SELECTION_TOP);
            }
        }
        if (const CRole* pRole = line.getRolePtr()) {
            const QStringView name(pRole->getName());
            const int h = m_roleFont.getTextWidth(name) / 2;
            const int e = s - 20;
            // A label repeated right after the same role's previous phrase is faded.
            float fAlpha = 1.0f;
            const auto itPrev = script.getPreviousLine(k, line.getTimeCode(), true, false);
            if (itPrev != script.getLines().end() && itPrev->getRolePtr() == pRole) {
                const int nClosing = itPrev->getFirstClosingSign();
                if (nClosing >= 0 && std::abs(xOf(itPrev->getSigns()[nClosing].getTimeCode()) - s) < h + 20)
                    fAlpha = 0.25f;
            }
            const std::uint32_t a = std::uint32_t(fAlpha * 255.0f);
            label = (a << 24) | pRole->getColor();
            m_quad.drawQuad(e - h - 10, b + 55, e + 10, b + 100, label);
            // White on dark role colours, black on pale ones (lime, pale blue...).
            const float fInk = CBandPalette::isPale(pRole->getColor()) ? 0.0f : 1.0f;
            m_roleFont.drawText(name, e - h, b + 60, e, b + 100, fInk, fInk, fInk, fAlpha);
        }
    }
    if (line.isVoiceOff())
        m_quad.drawQuad(s, b + 17, xOf(line.getSigns().back().getTimeCode()), b + 20, label);

    const float r = channel(text, 16), g = channel(text, 8), bl = channel(text, 0);
    CAnchor anchor{s, 0};
    for (const CLipSync& sign : line.getSigns()) {
        const int x = xOf(sign.getTimeCode());
        if (sign.getFrames() < m_nFirstFrame) {
            if (sign.isLinked()) anchor = CAnchor{x, sign.getLink() + 1};
            continue;
        }
        if (!bHide && !bDetection) m_shapes.drawShape(sign.getType(), x, b + 15);
        if (sign.isLinked()) {
            const QStringView between = line.viewBetween(anchor.nPos, sign.getLink());
            if (!between.isEmpty())
                m_phraseFont.drawText(between, anchor.x, bHide ? b : b + 20, x, b + 100, r, g, bl, 1.0f);
            anchor = CAnchor{x, sign.getLink() + 1};
        }
        if (sign.getFrames() > m_nLastFrame) break;
    }
    if (anchor.x <= m_space.nRight) {
        const QStringView trailing = line.viewBetween(anchor.nPos, -1);
        if (!trailing.isEmpty())
            m_phraseFont.drawText(trailing, anchor.x, b + 20, anchor.x, b + 100, r, g, bl, 1.0f);
    }
    if (bSelected && (m_state.m_bEditMode || m_state.m_bSignSelected)) drawCaret(line, b);
}

void CBandRenderer::drawCaret(const CLine& line, int nBase) {
    if (m_state.m_bSignSelected && m_state.m_nSelectedSign >= 0 &&
        m_state.m_nSelectedSign < line.getSigns().size()) {
        const CLipSync& sign = line.getSigns()[m_state.m_nSelectedSign];
        const int nCaret = sign.getLink() + 1 - (sign.isClosing() ? 1 : 0);
        m_state.m_nSelStart = m_state.m_nSelEnd = nCaret;
    }
    if (m_nCaretBlinkMs > 0) {
        const qint64 t = nowMs();
        if (t - m_state.m_nCaretToggleTime > m_nCaretBlinkMs) {
            m_state.m_bCaretVisible = !m_state.m_bCaretVisible;
            m_state.m_nCaretToggleTime = t;
        }
    } else {
        m_state.m_bCaretVisible = true;
    }
    if (!m_state.m_bCaretVisible) return;
    const int nCaret = m_state.m_nSelStart;
    const int x = getPositionX(line, nCaret);
    int d = 0;
    if (line.getSignAtPosition(nCaret - 1) >= 0)
        d = 12;
    else if (line.getSignAtPosition(nCaret) >= 0)
        d = -12;
    m_quad.drawVerticalGradient(x - 1, nBase, x + 1, nBase + 100, CBandPalette::CARET_BASE,
                                CBandPalette::CARET_TOP);
    m_quad.drawQuad(x + d - 10, nBase, x + d + 10, nBase + 4, CBandPalette::CARET_BASE);
    m_quad.drawQuad(x + d - 10, nBase + 98, x + d + 10, nBase + 100, CBandPalette::CARET_TOP);
}

void CBandRenderer::drawReadingBar() {
    int nStart = 0;
    if (m_pScript) {
        CTimeCode now;
        now.fromMediaTime(m_nPosition);
        if (m_pScript->getLoopAt(now) != m_pScript->getLoops().end()) nStart = 50;
    }
    m_quad.drawGradient(-3, nStart, 0, 399, CBandPalette::BAR_EDGE, CBandPalette::BAR_CENTRE, true);
    m_quad.drawGradient(0, nStart, 3, 399, CBandPalette::BAR_CENTRE, CBandPalette::BAR_EDGE, true);
}

int CBandRenderer::getPositionX(const CLine& line, int nPos) const {
    if (line.getSigns().empty()) return 0;
    CAnchor anchor{xOf(line.getSigns().front().getTimeCode()), 0};
    for (const CLipSync& sign : line.getSigns()) {
        if (!sign.isLinked()) continue;
        const int xb = xOf(sign.getTimeCode());
        if (sign.getLink() < nPos) {
            anchor = CAnchor{xb, sign.getLink() + 1};
            continue;
        }
        if (sign.getLink() == nPos) return xb;
        const QStringView between = line.viewBetween(anchor.nPos, sign.getLink());
        const float fRatio = m_phraseFont.getPositionRatio(between, nPos - anchor.nPos);
        return anchor.x + int(float(xb - anchor.x) * std::max(0.0f, fRatio));
    }
    return anchor.x + m_phraseFont.getTextWidth(line.viewBetween(anchor.nPos, nPos));
}

int CBandRenderer::getPositionAt(const CLine& line, int x) const {
    if (line.getSigns().empty()) return 0;
    const int s = xOf(line.getSigns().front().getTimeCode());
    if (x < s) return 1;
    CAnchor anchor{s, 0};
    int nResult = -1;
    for (const CLipSync& sign : line.getSigns()) {
        if (!sign.isLinked()) continue;
        const int xb = xOf(sign.getTimeCode());
        if (xb > x) {
            const QStringView between = line.viewBetween(anchor.nPos, sign.getLink());
            const float fRatio = float(x - anchor.x) / float(xb - anchor.x);
            nResult = anchor.nPos + m_phraseFont.getIndexAtRatio(between, fRatio);
            break;
        }
        anchor = CAnchor{xb, sign.getLink() + 1};
    }
    if (nResult < 0) {
        const QStringView trailing = line.viewBetween(anchor.nPos, -1);
        const int w = m_phraseFont.getTextWidth(trailing);
        const float fRatio = w > 0 ? float(x - anchor.x) / float(w) : 0.0f;
        nResult = anchor.nPos + m_phraseFont.getIndexAtRatio(trailing, fRatio);
    }
    if (nResult == line.getLength() && line.isClosingSignLinked()) --nResult;
    return nResult;
}
