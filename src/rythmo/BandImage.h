#pragma once

#include "BandRenderer.h"
#include "OffscreenGL.h"

#include <QImage>

// The band drawn off-screen: the same renderer as the window, into a framebuffer object of its own
// (tavorin-cli render-band, tests, the benchmark).
class CBandImage {
public:
    CBandImage() = default;
    ~CBandImage();
    CBandImage(const CBandImage&) = delete;
    CBandImage& operator=(const CBandImage&) = delete;

    // Makes the context and the renderer for a size in pixels. False with the reason on failure.
    bool create(QSize size, const CBandFonts& fonts, CTraceLog* pLog = nullptr, QString* pError = nullptr);
    CBandRenderer& renderer() { return m_renderer; }
    COffscreenGL& gl() { return m_gl; }

    // One frame at the position (media time), read back.
    QImage render(int nPosition);

private:
    COffscreenGL m_gl;
    CBandRenderer m_renderer;
    bool m_bCreated = false;
};
