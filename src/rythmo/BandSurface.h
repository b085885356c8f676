#pragma once

#include <QOpenGLWidget>

class CRythmoDXView;

// The OpenGL surface the band view draws into: a child that fills the view and is composed with the
// rest of the top-level window, so that a picture, the band and the timecode that change together
// reach the screen in one buffer swap. It owns no state and takes no input: the GL calls go to the
// view, and the keys, clicks, wheel, drops and cursor are the view's, as if the surface were not there.
//
// GUI thread only.
class CBandSurface : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit CBandSurface(CRythmoDXView* pView);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    CRythmoDXView* m_pView;
};
