#pragma once

#include "Motif.h"

#include <QImage>

class QOpenGLExtraFunctions;

// A CMotif that also owns a one-channel image (coverage; the colour comes from the vertices) and
// draws textured quadrilaterals from it. The device keeps the images of all its textures as the
// layers of one GL array texture: the image is sent again after a lost context or a change.
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
    // Forgets what the GPU holds: the whole image goes up again on the next draw.
    void releaseResources() override;

    // The caller passes y1 above y0; the texture's v axis points down, so the top edge samples tv0.
    void drawTexturedQuad(int x0, int y0, int x1, int y1, std::uint32_t colour, float tv0, float tu0,
                          float tv1, float tu1);
    void drawTexturedGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b, float tv0,
                              float tu0, float tv1, float tu1);
    // The same at coordinates between whole band units.
    void drawTexturedQuad(float x0, float y0, float x1, float y1, std::uint32_t colour, float tv0, float tu0,
                          float tv1, float tu1);

    // Called by the device with its context current and its array texture bound: sends the rows
    // that changed into layer nLayer.
    void upload(QOpenGLExtraFunctions& gl, int nLayer);

    const QImage& image() const { return m_image; }

protected:
    QImage m_image; // Format_Grayscale8
    // Rows [y0, y1) changed since the last upload.
    void markDirty(int y0, int y1);

private:
    void submitTextured(float tv0, float tu0, float tv1, float tu1);

    CTexVertex m_texVertices[4] = {};
    int m_nSlot = -1;
    int m_nDirtyTop = 0;
    int m_nDirtyBottom = 0;
};
