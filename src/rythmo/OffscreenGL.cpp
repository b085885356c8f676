#include "OffscreenGL.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QSurfaceFormat>

COffscreenGL::COffscreenGL() = default;

COffscreenGL::~COffscreenGL() {
    if (m_pContext && m_pSurface && m_pContext->makeCurrent(m_pSurface.get())) {
        m_pFbo.reset();
        m_pContext->doneCurrent();
    }
}

void COffscreenGL::applyBandFormat(QSurfaceFormat& format) {
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
}

bool COffscreenGL::create(QSize size, QString* pError) {
    auto fail = [&](const char* pszWhy) {
        if (pError) *pError = QString::fromLatin1(pszWhy);
        return false;
    };
    QSurfaceFormat format;
    applyBandFormat(format);
    m_pContext = std::make_unique<QOpenGLContext>();
    m_pContext->setFormat(format);
    if (!m_pContext->create()) return fail("cannot create an OpenGL context");
    // A driver may hand out an older context than asked for; the band's shaders need 3.3.
    if (m_pContext->format().version() < qMakePair(3, 3)) return fail("OpenGL 3.3 is not available");
    m_pSurface = std::make_unique<QOffscreenSurface>();
    m_pSurface->setFormat(m_pContext->format());
    m_pSurface->create();
    if (!m_pSurface->isValid()) return fail("cannot create an off-screen surface");
    if (!m_pContext->makeCurrent(m_pSurface.get())) return fail("cannot make the OpenGL context current");
    m_pFbo = std::make_unique<QOpenGLFramebufferObject>(size, QOpenGLFramebufferObject::NoAttachment,
                                                        GL_TEXTURE_2D, GL_RGBA8);
    if (!m_pFbo->isValid()) return fail("cannot create a framebuffer object");
    m_pFbo->bind();
    m_size = size;
    return true;
}

bool COffscreenGL::makeCurrent() {
    if (!m_pContext || !m_pContext->makeCurrent(m_pSurface.get())) return false;
    if (m_pFbo) m_pFbo->bind();
    return true;
}

void COffscreenGL::doneCurrent() {
    if (m_pContext) m_pContext->doneCurrent();
}

void COffscreenGL::bind() {
    if (m_pFbo) m_pFbo->bind();
}

void COffscreenGL::finish() {
    if (m_pContext) m_pContext->functions()->glFinish();
}

QImage COffscreenGL::grab() {
    if (!m_pFbo) return {};
    QImage image = m_pFbo->toImage(true);
    return image.convertToFormat(QImage::Format_RGB32);
}
