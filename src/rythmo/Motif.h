#pragma once

#include <cstdint>

class CGLDevice;
class CTraceLog;

// A coloured quadrilateral, flat or a two-colour gradient. Vertex 0 is (x0, y0), 1 (x0, y1),
// 2 (x1, y1), 3 (x1, y0); the quadrilateral is a fan of two triangles. Colours are 0xAARRGGBB.
// The band view keeps one and reuses it for every rectangle it draws.
class CMotif {
public:
    struct CVertex {
        float x, y, z;
        std::uint32_t colour;
    };

    // Not virtual: every primitive is a member of the view and dies with it.
    CMotif() = default;
    ~CMotif() = default;
    CMotif(const CMotif&) = delete;
    CMotif& operator=(const CMotif&) = delete;

    // With bHorizontal, A along x0 and B along x1; otherwise A along y0 and B along y1.
    void drawGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b, bool bHorizontal);
    void drawVerticalGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b);
    void drawQuad(int x0, int y0, int x1, int y1, std::uint32_t c);
    virtual void setDevice(CGLDevice* pDevice, CTraceLog* pLog);
    virtual void releaseResources() {}

    CGLDevice* getDevice() const { return m_pDevice; }
    const CVertex* getVertices() const { return m_vertices; }

protected:
    void setQuad(float x0, float y0, float x1, float y1, std::uint32_t c0, std::uint32_t c1, std::uint32_t c2,
                 std::uint32_t c3);
    // Sends the current quadrilateral as two triangles, sampling texture slot nSlot when >= 0.
    void submit(const float* pUV, int nSlot);

    CVertex m_vertices[4] = {};
    CGLDevice* m_pDevice = nullptr;
    CTraceLog* m_pLog = nullptr;
};
