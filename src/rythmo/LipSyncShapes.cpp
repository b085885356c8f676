#include "LipSyncShapes.h"

#include "GLDevice.h"

namespace {
constexpr std::uint32_t G1 = 0xFF00FF00, G2 = 0xFF008000, G3 = 0xFF00E000, G4 = 0xFF00A000, G5 = 0xFF00C000;
constexpr std::uint32_t R1 = 0xFFFF0000, R2 = 0xFF800000, R3 = 0xFFE00000, R4 = 0xFFA00000, R5 = 0xFFC00000;
constexpr std::uint32_t B = 0xFF786249;

struct CRow {
    float x, y;
    std::uint32_t c;
};
// Arrows pointing up (head from y -5 to 25, shaft 12 wide from y -25 to -5) and down.
constexpr CRow s_up[9] = {{0, 25, 0},   {12, -5, 1}, {-12, -5, 0}, {-6, -5, 2}, {6, -5, 3},
                          {-6, -25, 4}, {6, -5, 3},  {6, -25, 1},  {-6, -25, 4}};
constexpr CRow s_down[9] = {{0, -25, 1}, {-12, 5, 0}, {12, 5, 1},  {6, 5, 3}, {-6, 5, 2},
                            {6, 25, 4},  {-6, 5, 2},  {-6, 25, 0}, {6, 25, 4}};
constexpr CRow s_labial[18] = {{-12, 15, B},  {-6, 15, B},  {-12, -15, B}, {-6, 15, B}, {-6, -15, B},
                               {-12, -15, B}, {-6, 5, B},   {6, 5, B},     {6, -5, B},  {-6, 5, B},
                               {6, -5, B},    {-6, -5, B},  {6, 15, B},    {12, 15, B}, {6, -15, B},
                               {12, 15, B},   {12, -15, B}, {6, -15, B}};
constexpr CRow s_halfLabial[14] = {{0, 0, B},    {-12, 15, B},  {-6, 15, B},  {0, 5, B},   {6, 15, B},
                                   {12, 15, B},  {3, 0, B},     {12, -15, B}, {6, -15, B}, {0, -5, B},
                                   {-6, -15, B}, {-12, -15, B}, {-3, 0, B},   {-12, 15, B}};
constexpr CRow s_rounded[16] = {{0, 0, B},    {-12, 15, B},  {-7.8f, 20, B}, {-3.6f, 23, B},
                                {0, 25, B},   {3.6f, 23, B}, {7.8f, 20, B},  {12, 15, B},
                                {3, 0, B},    {12, -15, B},  {6, -15, B},    {0, -5, B},
                                {-6, -15, B}, {-12, -15, B}, {-3, 0, B},     {-12, 15, B}};
constexpr CRow s_vowelA[8] = {{0, 10, B},  {12, 10, B},     {10.38f, -2.5f, B},  {6, -11.7f, B},
                              {0, -15, B}, {-6, -11.7f, B}, {-10.38f, -2.5f, B}, {-12, 10, B}};
constexpr CRow s_vowelI[12] = {{-3, 10, B}, {3, 10, B}, {-3, -15, B}, {3, 10, B}, {3, -15, B}, {-3, -15, B},
                               {0, 15, B},  {9, 10, B}, {0, 5, B},    {0, 15, B}, {-9, 10, B}, {0, 5, B}};
constexpr CRow s_vowelO[8] = {{0, -15, B}, {12, -15, B},  {10.38f, -2.5f, B},  {6, 6.7f, B},
                              {0, 10, B},  {-6, 6.7f, B}, {-10.38f, -2.5f, B}, {-12, -15, B}};
constexpr CRow s_neutral[3] = {{0, 15, B}, {12, -15, B}, {-12, -15, B}};
} // namespace

void CLipSyncShapes::build() {
    int n = 0;
    auto add = [&](int nShape, const CRow* pRows, int nRows, bool bFan, const std::uint32_t* pPalette) {
        m_shapes[nShape] = CShape{n, nRows, bFan};
        for (int i = 0; i < nRows; ++i) {
            const std::uint32_t c = pPalette ? pPalette[pRows[i].c] : pRows[i].c;
            m_vertices[n++] = CVertex{pRows[i].x, pRows[i].y, 0.0f, c};
        }
    };
    static constexpr std::uint32_t s_green[5] = {G1, G2, G3, G4, G5};
    static constexpr std::uint32_t s_red[5] = {R1, R2, R3, R4, R5};
    add(0, s_up, 9, false, s_green);
    add(1, s_down, 9, false, s_green);
    add(2, s_up, 9, false, s_red);
    add(3, s_down, 9, false, s_red);
    add(4, s_labial, 18, false, nullptr);
    add(5, s_halfLabial, 14, true, nullptr);
    add(6, s_rounded, 16, true, nullptr);
    add(7, s_vowelA, 8, true, nullptr);
    add(8, s_vowelI, 12, false, nullptr);
    add(9, s_vowelO, 8, true, nullptr);
    add(10, s_neutral, 3, false, nullptr);
    m_bBuilt = (n == VERTEX_COUNT);
}

void CLipSyncShapes::drawShape(int nIndex, int x, int y) {
    if (!m_pDevice || !m_bBuilt || nIndex < 0 || nIndex >= SHAPE_COUNT) return;
    const CShape& s = m_shapes[nIndex];
    const int nTriangles = triangleCount(s);
    CBandVertex* p = m_pDevice->appendTriangles(3 * nTriangles);
    const float fx = float(x), fy = float(y);
    auto put = [&](int i) {
        const CVertex& v = m_vertices[s.nFirst + i];
        m_pDevice->put(p++, v.x + fx, v.y + fy, v.colour);
    };
    for (int t = 0; t < nTriangles; ++t) {
        if (s.bFan) {
            put(0);
            put(t + 1);
            put(t + 2);
        } else {
            put(3 * t);
            put(3 * t + 1);
            put(3 * t + 2);
        }
    }
}
