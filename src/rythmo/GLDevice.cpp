#include "GLDevice.h"

#include "Texture.h"
#include "base/TraceLog.h"

#include <QOpenGLContext>
#include <algorithm>
#include <cstddef>

namespace {
const char* const s_pszVertexShader = R"(#version 330 core
layout(location = 0) in vec2 aPos;
layout(location = 1) in vec2 aUV;
layout(location = 2) in vec4 aColour;
layout(location = 3) in int aSlot;
uniform mat4 uProjection;
out vec4 vColour;
out vec2 vUV;
flat out int vSlot;
void main() {
    gl_Position = uProjection * vec4(aPos, 0.0, 1.0);
    vColour = aColour.zyxw; // 0xAARRGGBB read as bytes B, G, R, A
    vUV = aUV;
    vSlot = aSlot;
}
)";

// The glyph atlases are the layers of one array texture holding coverage in its one channel (a
// single sampler keeps software rasterisers fast); untextured vertices keep their colour.
const char* const s_pszFragmentShader = R"(#version 330 core
in vec4 vColour;
in vec2 vUV;
flat in int vSlot;
uniform sampler2DArray uAtlas;
uniform vec2 uScale[4];
out vec4 fragColour;
void main() {
    float a = 1.0;
    if (vSlot >= 0) a = textureLod(uAtlas, vec3(vUV * uScale[vSlot], float(vSlot)), 0.0).r;
    fragColour = vec4(vColour.rgb, vColour.a * a);
}
)";
} // namespace

CGLDevice::CGLDevice() : m_vbo(QOpenGLBuffer::VertexBuffer) {
    m_vertices.resize(65536); // a dense band at the widest zoom fits without growing
    m_runs.resize(16);
}

CGLDevice::~CGLDevice() {
    destroy();
}

bool CGLDevice::create(CTraceLog* pLog, QString* pError) {
    m_pLog = pLog;
    auto fail = [&](const QString& strWhy) {
        if (m_pLog) m_pLog->Log("CGLDevice::create() : %s\n", strWhy.toUtf8().constData());
        if (pError) *pError = strWhy;
        destroy();
        return false;
    };
    QOpenGLContext* pContext = QOpenGLContext::currentContext();
    if (!pContext) return fail(QStringLiteral("no current OpenGL context"));
    const QSurfaceFormat fmt = pContext->format();
    if (pContext->isOpenGLES() ||
        std::make_pair(fmt.majorVersion(), fmt.minorVersion()) < std::make_pair(3, 3))
        return fail(QStringLiteral("OpenGL 3.3 is not available (%1.%2)")
                        .arg(fmt.majorVersion())
                        .arg(fmt.minorVersion()));
    m_gl.initializeOpenGLFunctions();

    m_pProgram = new QOpenGLShaderProgram;
    if (!m_pProgram->addShaderFromSourceCode(QOpenGLShader::Vertex, s_pszVertexShader) ||
        !m_pProgram->addShaderFromSourceCode(QOpenGLShader::Fragment, s_pszFragmentShader) ||
        !m_pProgram->link())
        return fail(m_pProgram->log());
    m_pProgram->bind();
    m_nProjectionLoc = m_pProgram->uniformLocation("uProjection");
    m_nScaleLoc = m_pProgram->uniformLocation("uScale");
    m_pProgram->setUniformValue("uAtlas", 0);
    m_pProgram->release();

    if (!m_vao.create()) return fail(QStringLiteral("cannot create a vertex array object"));
    if (!m_vbo.create()) return fail(QStringLiteral("cannot create a vertex buffer"));
    m_vbo.setUsagePattern(QOpenGLBuffer::StreamDraw);
    m_vao.bind();
    m_vbo.bind();
    m_nBufferCapacity = 0;
    const GLsizei stride = sizeof(CBandVertex);
    m_gl.glEnableVertexAttribArray(0);
    m_gl.glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride,
                               reinterpret_cast<void*>(offsetof(CBandVertex, x)));
    m_gl.glEnableVertexAttribArray(1);
    m_gl.glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                               reinterpret_cast<void*>(offsetof(CBandVertex, u)));
    m_gl.glEnableVertexAttribArray(2);
    m_gl.glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                               reinterpret_cast<void*>(offsetof(CBandVertex, argb)));
    m_gl.glEnableVertexAttribArray(3);
    m_gl.glVertexAttribIPointer(3, 1, GL_INT, stride, reinterpret_cast<void*>(offsetof(CBandVertex, nSlot)));
    m_vao.release();
    m_vbo.release();

    GLint nMax = 2048;
    m_gl.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &nMax);
    m_nMaxTextureSize = nMax > 0 ? nMax : 2048;
    m_bCreated = true;
    return true;
}

void CGLDevice::destroy() {
    if (!m_bCreated && !m_pProgram) return;
    const bool bCurrent = QOpenGLContext::currentContext() != nullptr;
    for (CTexture* pTexture : m_slots)
        if (pTexture) pTexture->releaseResources();
    if (bCurrent) {
        if (m_vao.isCreated()) m_vao.destroy();
        if (m_vbo.isCreated()) m_vbo.destroy();
        if (m_nArrayId) m_gl.glDeleteTextures(1, &m_nArrayId);
    }
    // Without a current context the objects went with it.
    m_nArrayId = 0;
    m_nArraySize = 0;
    m_bArrayFailed = false;
    delete m_pProgram; // detaches itself when its context is gone
    m_pProgram = nullptr;
    m_nBufferCapacity = 0;
    m_bCreated = false;
}

int CGLDevice::registerTexture(CTexture* pTexture) {
    for (int i = 0; i < MAX_SLOTS; ++i)
        if (m_slots[i] == pTexture) return i;
    for (int i = 0; i < MAX_SLOTS; ++i)
        if (!m_slots[i]) {
            m_slots[i] = pTexture;
            return i;
        }
    return -1;
}

void CGLDevice::unregisterTexture(CTexture* pTexture) {
    for (CTexture*& p : m_slots)
        if (p == pTexture) p = nullptr;
}

void CGLDevice::beginFrame(float fLeft, float fRight, float fBottom, float fTop, std::uint32_t clearArgb) {
    m_nVertices = 0;
    m_nRuns = 0;
    m_fTx = m_fTy = 0;
    m_bBlend = true;
    m_clearArgb = clearArgb;
    m_projection.setToIdentity();
    m_projection.ortho(fLeft, fRight, fBottom, fTop, -1.0f, 1.0f);
}

CBandVertex* CGLDevice::append(unsigned mode, int n) {
    if (m_nVertices + std::size_t(n) > m_vertices.size())
        m_vertices.resize(std::max(m_vertices.size() * 2, m_nVertices + std::size_t(n)));
    if (m_nRuns > 0 && m_runs[m_nRuns - 1].mode == mode && m_runs[m_nRuns - 1].bBlend == m_bBlend) {
        m_runs[m_nRuns - 1].nCount += n;
    } else {
        if (m_nRuns == m_runs.size()) m_runs.resize(m_runs.size() * 2);
        m_runs[m_nRuns++] = CRun{mode, m_bBlend, int(m_nVertices), n};
    }
    CBandVertex* p = m_vertices.data() + m_nVertices;
    m_nVertices += std::size_t(n);
    return p;
}

void CGLDevice::draw(int nViewportWidth, int nViewportHeight) {
    auto channel = [](std::uint32_t argb, int nShift) { return float((argb >> nShift) & 0xFF) / 255.0f; };
    m_gl.glViewport(0, 0, nViewportWidth, nViewportHeight);
    m_gl.glDisable(GL_DEPTH_TEST);
    m_gl.glDisable(GL_CULL_FACE);
    m_gl.glDisable(GL_SCISSOR_TEST);
    m_gl.glClearColor(channel(m_clearArgb, 16), channel(m_clearArgb, 8), channel(m_clearArgb, 0),
                      channel(m_clearArgb, 24));
    m_gl.glClear(GL_COLOR_BUFFER_BIT);
    if (!m_bCreated || m_nVertices == 0) return;

    // The target keeps an opaque alpha so that a composited window never shows through.
    m_gl.glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);

    prepareAtlases();

    m_pProgram->bind();
    m_pProgram->setUniformValue(m_nProjectionLoc, m_projection);
    m_pProgram->setUniformValueArray(m_nScaleLoc, m_scales, MAX_SLOTS);
    m_vao.bind();
    m_vbo.bind();
    const int nBytes = int(m_nVertices * sizeof(CBandVertex));
    if (int(m_nVertices) > m_nBufferCapacity) {
        m_nBufferCapacity = int(m_vertices.size());
        m_vbo.allocate(int(m_vertices.size() * sizeof(CBandVertex)));
    }
    m_vbo.write(0, m_vertices.data(), nBytes);
    for (std::size_t i = 0; i < m_nRuns; ++i) {
        if (m_runs[i].bBlend)
            m_gl.glEnable(GL_BLEND);
        else
            m_gl.glDisable(GL_BLEND);
        m_gl.glDrawArrays(m_runs[i].mode, m_runs[i].nFirst, m_runs[i].nCount);
    }
    m_vbo.release();
    m_vao.release();
    m_pProgram->release();
}

void CGLDevice::prepareAtlases() {
    int nSize = 0;
    for (CTexture* pTexture : m_slots)
        if (pTexture) nSize = std::max({nSize, pTexture->image().width(), pTexture->image().height()});
    m_gl.glActiveTexture(GL_TEXTURE0);
    if (nSize == 0 || m_bArrayFailed) {
        m_gl.glBindTexture(GL_TEXTURE_2D_ARRAY, m_nArrayId);
        return;
    }
    if (m_nArrayId == 0 || nSize != m_nArraySize) {
        while (m_gl.glGetError() != GL_NO_ERROR) {
        }
        if (m_nArrayId) m_gl.glDeleteTextures(1, &m_nArrayId);
        m_gl.glGenTextures(1, &m_nArrayId);
        m_gl.glBindTexture(GL_TEXTURE_2D_ARRAY, m_nArrayId);
        m_gl.glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        m_gl.glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        m_gl.glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        m_gl.glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        m_gl.glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_R8, nSize, nSize, MAX_SLOTS, 0, GL_RED, GL_UNSIGNED_BYTE,
                          nullptr);
        const GLenum err = m_gl.glGetError();
        if (m_nArrayId == 0 || err != GL_NO_ERROR) {
            if (m_pLog) m_pLog->Log("CreateTexture failed : %x\n", unsigned(err));
            if (m_nArrayId) m_gl.glDeleteTextures(1, &m_nArrayId);
            m_nArrayId = 0;
            m_bArrayFailed = true; // the text stays invisible
            return;
        }
        m_nArraySize = nSize;
        for (CTexture* pTexture : m_slots)
            if (pTexture) pTexture->releaseResources(); // everything goes up again
    }
    m_gl.glBindTexture(GL_TEXTURE_2D_ARRAY, m_nArrayId);
    for (int i = 0; i < MAX_SLOTS; ++i) {
        m_scales[i] = QVector2D(1.0f, 1.0f);
        if (!m_slots[i]) continue;
        const QImage& image = m_slots[i]->image();
        m_scales[i] = QVector2D(float(image.width()) / float(nSize), float(image.height()) / float(nSize));
        m_slots[i]->upload(m_gl, i);
    }
}
