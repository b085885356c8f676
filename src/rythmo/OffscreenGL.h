#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

// An OpenGL 3.3 core context on an off-screen surface with a framebuffer object to draw into: the
// band drawn without a window (tests, tavorin-cli render-band, the benchmark). Needs a
// QGuiApplication and a platform that gives GL contexts ("offscreen" or xcb with an X server, our
// "tavorin-egl" without one: see HeadlessGL.h).
class COffscreenGL {
public:
    COffscreenGL();
    ~COffscreenGL();
    COffscreenGL(const COffscreenGL&) = delete;
    COffscreenGL& operator=(const COffscreenGL&) = delete;

    // Creates the context and a framebuffer of the size, and makes them current.
    bool create(QSize size, QString* pError = nullptr);
    bool makeCurrent();
    void doneCurrent();
    // Binds the framebuffer (the context must be current).
    void bind();
    QSize size() const { return m_size; }
    // Waits for the GPU and reads the framebuffer, top row first.
    QImage grab();
    void finish();

    // The format the band asks for: OpenGL 3.3 core, no depth buffer.
    static void applyBandFormat(class QSurfaceFormat& format);

private:
    std::unique_ptr<QOpenGLContext> m_pContext;
    std::unique_ptr<QOffscreenSurface> m_pSurface;
    std::unique_ptr<QOpenGLFramebufferObject> m_pFbo;
    QSize m_size;
};
