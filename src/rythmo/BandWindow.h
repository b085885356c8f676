#pragma once

#include <QOpenGLWindow>

class CRythmoDXView;

// The native window the band view draws into while no picture shares its top-level window, embedded
// in the view through a window container. Drawing straight into a window of its own spares the
// composition of the whole top-level window at every band frame, which costs more than the band
// itself on a software renderer. It owns no state: the GL calls go to the view, and the input it
// receives is sent on to the view, so the view stays the widget that takes focus, keys, clicks and the
// context menu.
//
// GUI thread only.
class CBandWindow : public QOpenGLWindow {
    Q_OBJECT
public:
    explicit CBandWindow(CRythmoDXView* pView);

    // Draws and presents a frame now, without waiting for the platform's update scheduling (on X11
    // a fixed pause before every frame). False when the window cannot draw yet: update() then.
    bool renderNow();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    // Files dragged over the band go to the view's top-level window, as anywhere else in it.
    bool event(QEvent* pEvent) override;

private:
    // Sends a copy of the event to the view and reports whether the view took it.
    void forward(QEvent* pEvent);

    CRythmoDXView* m_pView;
};
