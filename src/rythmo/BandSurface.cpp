#include "BandSurface.h"

#include "RythmoDXView.h"

CBandSurface::CBandSurface(CRythmoDXView* pView) : QOpenGLWidget(pView), m_pView(pView) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void CBandSurface::initializeGL() {
    m_pView->initializeGL();
}

void CBandSurface::resizeGL(int w, int h) {
    m_pView->resizeGL(w, h);
}

void CBandSurface::paintGL() {
    m_pView->paintGL();
}
