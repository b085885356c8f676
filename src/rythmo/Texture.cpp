#include "Texture.h"

#include "GLDevice.h"
#include "base/TraceLog.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <algorithm>

CTexture::~CTexture() {
    releaseResources();
    if (m_pDevice) m_pDevice->unregisterTexture(this);
}

void CTexture::setDevice(CGLDevice* pDevice, CTraceLog* pLog) {
    if (m_pDevice && m_pDevice != pDevice) m_pDevice->unregisterTexture(this);
    CMotif::setDevice(pDevice, pLog);
    m_nSlot = pDevice ? pDevice->registerTexture(this) : -1;
}

void CTexture::releaseResources() {
    QOpenGLContext* pContext = m_nTextureId ? QOpenGLContext::currentContext() : nullptr;
    if (pContext) {
        GLuint id = m_nTextureId;
        pContext->functions()->glDeleteTextures(1, &id);
    }
    // Without a current context the texture went with its context.
    m_nTextureId = 0;
    m_bFailed = false;
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

void CTexture::prepare(QOpenGLExtraFunctions& gl, int nUnit) {
    gl.glActiveTexture(GL_TEXTURE0 + GLenum(nUnit));
    if (m_image.isNull() || m_bFailed) {
        gl.glBindTexture(GL_TEXTURE_2D, 0); // samples as zero coverage: the text stays invisible
        return;
    }
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(m_image.bytesPerLine()));
    if (!m_nTextureId) {
        while (gl.glGetError() != GL_NO_ERROR) {
        }
        GLuint id = 0;
        gl.glGenTextures(1, &id);
        gl.glBindTexture(GL_TEXTURE_2D, id);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, m_image.width(), m_image.height(), 0, GL_RED, GL_UNSIGNED_BYTE,
                        m_image.constBits());
        const GLenum err = gl.glGetError();
        if (id == 0 || err != GL_NO_ERROR) {
            if (m_pLog) m_pLog->Log("CreateTexture failed : %x\n", unsigned(err));
            if (id) gl.glDeleteTextures(1, &id);
            m_bFailed = true; // that text stays invisible, as with a font that could not be made
            gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
            return;
        }
        m_nTextureId = id;
    } else {
        gl.glBindTexture(GL_TEXTURE_2D, m_nTextureId);
        if (m_nDirtyTop < m_nDirtyBottom)
            gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, m_nDirtyTop, m_image.width(), m_nDirtyBottom - m_nDirtyTop,
                               GL_RED, GL_UNSIGNED_BYTE, m_image.constScanLine(m_nDirtyTop));
    }
    gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    m_nDirtyTop = m_nDirtyBottom = 0;
}

void CTexture::submitTextured(float tv0, float tu0, float tv1, float tu1) {
    const float uv[8] = {tu0, tv1, tu0, tv0, tu1, tv0, tu1, tv1};
    for (int i = 0; i < 4; ++i) {
        const CVertex& v = m_vertices[i];
        m_texVertices[i] = CTexVertex{v.x, v.y, v.z, v.colour, uv[2 * i], uv[2 * i + 1]};
    }
    submit(uv, m_nSlot);
}

void CTexture::drawTexturedQuad(int x0, int y0, int x1, int y1, std::uint32_t colour, float tv0, float tu0, float tv1,
                                float tu1) {
    setQuad(x0, y0, x1, y1, colour, colour, colour, colour);
    submitTextured(tv0, tu0, tv1, tu1);
}

void CTexture::drawTexturedGradient(int x0, int y0, int x1, int y1, std::uint32_t a, std::uint32_t b, float tv0,
                                    float tu0, float tv1, float tu1) {
    setQuad(x0, y0, x1, y1, a, b, b, a);
    submitTextured(tv0, tu0, tv1, tu1);
}
