#pragma once

#include <cstdint>

class CGLDevice;

// The eleven sign shapes, one per sign type, as small vector drawings in band units around their
// origin: arrows for openings (green) and closings (red), brown marks for the lip positions.
class CLipSyncShapes {
public:
    static constexpr int SHAPE_COUNT = 11;
    static constexpr int VERTEX_COUNT = 115;

    struct CVertex {
        float x, y, z;
        std::uint32_t colour;
    };
    struct CShape {
        int nFirst; // into the vertex table
        int nCount;
        bool bFan; // triangle fan, else triangle list
    };

    void setDevice(CGLDevice* pDevice) { m_pDevice = pDevice; }
    // Fills the vertex table.
    void build();
    bool isBuilt() const { return m_bBuilt; }

    // Draws shape nIndex (a sign type; others draw nothing) with its origin at (x, y).
    void drawShape(int nIndex, int x, int y);

    const CVertex* vertices() const { return m_vertices; }
    const CShape& shape(int nIndex) const { return m_shapes[nIndex]; }
    // Triangles drawn for a shape.
    static int triangleCount(const CShape& s) { return s.bFan ? s.nCount - 2 : s.nCount / 3; }

private:
    CGLDevice* m_pDevice = nullptr;
    CVertex m_vertices[VERTEX_COUNT] = {};
    CShape m_shapes[SHAPE_COUNT] = {};
    bool m_bBuilt = false;
};
