#pragma once

#include "Motif.h"

#include <QImage>

class QOpenGLExtraFunctions;

// A CMotif that also owns a one-channel texture (coverage in its red channel, the colour coming
// from the vertices) and draws textured quadrilaterals. The image is kept in memory: the GL texture
// is (re)made from it on the next draw after creation, a lost context or a change of the image.
class CTexture : public CMotif {
public:
    struct CTexVertex {
        float x, y, z;
        std::uint32_t colour;
        float u, v;
    };

    CTexture() = default;
    ~CTexture();

    void setDevice(CGLDevice* pDevice, CTraceLog* pLog) override;
    // Deletes the GL texture (when a context is current); the image stays for the next upload.
    void releaseResources() override;

    // The caller passes y1 above y0; the texture's v axis points down, so the top edge samples tv0.
    void drawTexturedQuad(int x0, int y0, int x1, int y1, std::uint32_t colour, float tv0, float tu0, float tv1,
                          float tu1);
    void drawTexturedGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b, float tv0,
                              float tu0, float tv1, float tu1);

    // Called by the device before drawing, with its context current: uploads what changed and binds
    // the texture on the given unit.
    void prepare(QOpenGLExtraFunctions& gl, int nUnit);

    const QImage& image() const { return m_image; }
    bool hasTexture() const { return m_nTextureId != 0; }

protected:
    // The texture's content; rows [y0, y1) changed since the last upload.
    QImage m_image;
    void markDirty(int y0, int y1);

private:
    void submitTextured(float tv0, float tu0, float tv1, float tu1);

    CTexVertex m_texVertices[4] = {};
    unsigned m_nTextureId = 0;
    int m_nSlot = -1;
    int m_nDirtyTop = 0;
    int m_nDirtyBottom = 0;
    bool m_bFailed = false;
};
