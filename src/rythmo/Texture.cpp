#include "Texture.h"

#include "GLDevice.h"

#include <QOpenGLExtraFunctions>
#include <algorithm>

CTexture::~CTexture() {
    if (m_pDevice) m_pDevice->unregisterTexture(this);
}

void CTexture::setDevice(CGLDevice* pDevice, CTraceLog* pLog) {
    if (m_pDevice && m_pDevice != pDevice) m_pDevice->unregisterTexture(this);
    CMotif::setDevice(pDevice, pLog);
    m_nSlot = pDevice ? pDevice->registerTexture(this) : -1;
}

void CTexture::releaseResources() {
    m_nDirtyTop = 0;
    m_nDirtyBottom = m_image.height();
}

void CTexture::markDirty(int y0, int y1) {
    if (m_nDirtyTop >= m_nDirtyBottom) {
        m_nDirtyTop = y0;
        m_nDirtyBottom = y1;
    } else {
        m_nDirtyTop = std::min(m_nDirtyTop, y0);
        m_nDirtyBottom = std::max(m_nDirtyBottom, y1);
    }
}

void CTexture::upload(QOpenGLExtraFunctions& gl, int nLayer) {
    if (m_image.isNull() || m_nDirtyTop >= m_nDirtyBottom) return;
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(m_image.bytesPerLine()));
    gl.glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, m_nDirtyTop, nLayer, m_image.width(),
                       m_nDirtyBottom - m_nDirtyTop, 1, GL_RED, GL_UNSIGNED_BYTE,
                       m_image.constScanLine(m_nDirtyTop));
    gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    m_nDirtyTop = m_nDirtyBottom = 0;
}

void CTexture::submitTextured(float tv0, float tu0, float tv1, float tu1) {
    if (m_nSlot < 0) return; // no layer to sample: drawing would show solid boxes
    const float uv[8] = {tu0, tv1, tu0, tv0, tu1, tv0, tu1, tv1};
    for (int i = 0; i < 4; ++i) {
        const CVertex& v = m_vertices[i];
        m_texVertices[i] = CTexVertex{v.x, v.y, v.z, v.colour, uv[2 * i], uv[2 * i + 1]};
    }
    submit(uv, m_nSlot);
}

void CTexture::drawTexturedQuad(int x0, int y0, int x1, int y1, std::uint32_t colour, float tv0, float tu0,
                                float tv1, float tu1) {
    drawTexturedQuad(float(x0), float(y0), float(x1), float(y1), colour, tv0, tu0, tv1, tu1);
}

void CTexture::drawTexturedQuad(float x0, float y0, float x1, float y1, std::uint32_t colour, float tv0,
                                float tu0, float tv1, float tu1) {
    setQuad(x0, y0, x1, y1, colour, colour, colour, colour);
    submitTextured(tv0, tu0, tv1, tu1);
}

void CTexture::drawTexturedGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b,
                                    float tv0, float tu0, float tv1, float tu1) {
    setQuad(float(x0), float(y0), float(x1), float(y1), a, b, b, a);
    submitTextured(tv0, tu0, tv1, tu1);
}
