#pragma once

#include <QMatrix4x4>
#include <QOpenGLBuffer>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QString>
#include <QVector2D>
#include <cstdint>
#include <vector>

class CTraceLog;
class CTexture;

// One vertex of the band: position in band space, texture coordinates, colour as 0xAARRGGBB and the
// texture slot it samples (-1: untextured, the colour alone).
struct CBandVertex {
    float x, y;
    float u, v;
    std::uint32_t argb;
    std::int32_t nSlot;
};

// The drawing device of the band: the primitives append their triangles and lines to one vertex
// array per frame, and draw() sends it to the GPU in one buffer upload and as few draw calls as
// there are changes between triangles and lines. Filling the arrays needs no GL context; the arrays
// only grow, so a warm frame allocates nothing.
//
// Threading: GUI thread only; create(), draw() and destroy() need the owner's context current.
class CGLDevice {
public:
    static constexpr int MAX_SLOTS = 4;

    CGLDevice();
    ~CGLDevice();
    CGLDevice(const CGLDevice&) = delete;
    CGLDevice& operator=(const CGLDevice&) = delete;

    // Compiles the shaders and creates the buffers in the current context. On failure the reason is
    // in *pError and in the log.
    bool create(CTraceLog* pLog, QString* pError = nullptr);
    // Releases the GL objects (the context of create() must be current, or already gone).
    void destroy();
    bool isCreated() const { return m_bCreated; }
    int maxTextureSize() const { return m_nMaxTextureSize; }

    // Textures register once and keep their slot (their layer in the atlas array); at most
    // MAX_SLOTS of them.
    int registerTexture(CTexture* pTexture);
    void unregisterTexture(CTexture* pTexture);

    // Starts a frame: empties the arrays, sets the visible band range and the clear colour.
    void beginFrame(float fLeft, float fRight, float fBottom, float fTop, std::uint32_t clearArgb);
    // World translation applied to the vertices appended from now on.
    void setTranslation(float x, float y) {
        m_fTx = x;
        m_fTy = y;
    }
    float translationX() const { return m_fTx; }
    float translationY() const { return m_fTy; }

    // Room for n more vertices of triangles (three a triangle) or lines (two a line), already
    // translated by the caller through translate().
    CBandVertex* appendTriangles(int n) { return append(GL_TRIANGLES, n); }
    CBandVertex* appendLines(int n) { return append(GL_LINES, n); }
    // Writes one vertex with the world translation applied.
    void put(CBandVertex* p, float x, float y, std::uint32_t argb, float u = 0, float v = 0,
             int nSlot = -1) const {
        *p = CBandVertex{x + m_fTx, y + m_fTy, u, v, argb, nSlot};
    }

    // Whether what is appended from now on is blended over what is below (the default). Opaque
    // layers that cover the band (the track backgrounds) go faster without.
    void setBlending(bool bBlend) { m_bBlend = bBlend; }

    // Uploads the frame and draws it into the bound framebuffer, viewport w x h pixels.
    void draw(int nViewportWidth, int nViewportHeight);

    // Figures of the last frame.
    int vertexCount() const { return int(m_nVertices); }
    int drawCallCount() const { return int(m_nRuns); }
    const QMatrix4x4& projection() const { return m_projection; }

    QOpenGLExtraFunctions& gl() { return m_gl; }

    // Read access for tests and tools.
    const CBandVertex* vertices() const { return m_vertices.data(); }

private:
    struct CRun {
        unsigned mode;
        bool bBlend;
        int nFirst;
        int nCount;
    };
    CBandVertex* append(unsigned mode, int n);
    // Makes the atlas array and sends what changed in each texture.
    void prepareAtlases();

    QOpenGLExtraFunctions m_gl;
    CTraceLog* m_pLog = nullptr;
    bool m_bCreated = false;
    int m_nMaxTextureSize = 2048;
    QOpenGLShaderProgram* m_pProgram = nullptr;
    QOpenGLBuffer m_vbo;
    QOpenGLVertexArrayObject m_vao;
    int m_nBufferCapacity = 0; // in vertices, on the GPU side
    int m_nProjectionLoc = -1;
    int m_nScaleLoc = -1;
    unsigned m_nArrayId = 0; // the textures' images, one layer each
    int m_nArraySize = 0;
    bool m_bArrayFailed = false;
    QVector2D m_scales[MAX_SLOTS];

    CTexture* m_slots[MAX_SLOTS] = {};

    std::vector<CBandVertex> m_vertices; // grows, never shrinks
    std::size_t m_nVertices = 0;
    std::vector<CRun> m_runs;
    std::size_t m_nRuns = 0;
    float m_fTx = 0, m_fTy = 0;
    bool m_bBlend = true;
    QMatrix4x4 m_projection;
    std::uint32_t m_clearArgb = 0xFF000000;
};
