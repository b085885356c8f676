#include "Motif.h"

#include "GLDevice.h"

void CMotif::setDevice(CGLDevice* pDevice, CTraceLog* pLog) {
    m_pDevice = pDevice;
    m_pLog = pLog;
}

void CMotif::setQuad(float x0, float y0, float x1, float y1, std::uint32_t c0, std::uint32_t c1,
                     std::uint32_t c2, std::uint32_t c3) {
    m_vertices[0] = CVertex{x0, y0, 0.0f, c0};
    m_vertices[1] = CVertex{x0, y1, 0.0f, c1};
    m_vertices[2] = CVertex{x1, y1, 0.0f, c2};
    m_vertices[3] = CVertex{x1, y0, 0.0f, c3};
}

void CMotif::submit(const float* pUV, int nSlot) {
    if (!m_pDevice) return;
    static constexpr float s_noUV[8] = {};
    if (!pUV) pUV = s_noUV;
    // Fan 0-1-2, 0-2-3 as a list.
    static constexpr int s_order[6] = {0, 1, 2, 0, 2, 3};
    CBandVertex* p = m_pDevice->appendTriangles(6);
    for (int i : s_order) {
        const CVertex& v = m_vertices[i];
        m_pDevice->put(p++, v.x, v.y, v.colour, pUV[2 * i], pUV[2 * i + 1], nSlot);
    }
}

void CMotif::drawGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b,
                          bool bHorizontal) {
    const float fx0 = float(x0), fy0 = float(y0), fx1 = float(x1), fy1 = float(y1);
    if (bHorizontal)
        setQuad(fx0, fy0, fx1, fy1, a, a, b, b);
    else
        setQuad(fx0, fy0, fx1, fy1, a, b, b, a);
    submit(nullptr, -1);
}

void CMotif::drawVerticalGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b) {
    drawGradient(x0, y0, x1, y1, a, b, false);
}

void CMotif::drawQuad(int x0, int y0, int x1, int y1, std::uint32_t c) {
    setQuad(float(x0), float(y0), float(x1), float(y1), c, c, c, c);
    submit(nullptr, -1);
}
