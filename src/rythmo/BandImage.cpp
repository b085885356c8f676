#include "BandImage.h"

CBandImage::~CBandImage() {
    if (m_bCreated && m_gl.makeCurrent()) m_renderer.releaseGL();
}

bool CBandImage::create(QSize size, const CBandFonts& fonts, CTraceLog* pLog, QString* pError) {
    if (!m_gl.create(size, pError)) return false;
    if (!m_renderer.initGL(pLog, fonts, pError)) return false;
    m_renderer.setViewport(size.width(), size.height(), m_renderer.getZoomLevel());
    m_bCreated = true;
    return true;
}

QImage CBandImage::render(int nPosition) {
    if (!m_bCreated || !m_gl.makeCurrent()) return {};
    m_renderer.render(nPosition);
    return m_gl.grab();
}
