#include "BandWindow.h"

#include "RythmoDXView.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QWheelEvent>
#include <QWidget>
#include <memory>

CBandWindow::CBandWindow(CRythmoDXView* pView) : QOpenGLWindow(NoPartialUpdate), m_pView(pView) {
    // The keyboard stays with the view's top-level window, whose focus widget is the view.
    setFlag(Qt::WindowDoesNotAcceptFocus);
}

bool CBandWindow::renderNow() {
    if (!isExposed() || !isValid()) return false;
    makeCurrent();
    paintGL();
    context()->swapBuffers(this);
    emit frameSwapped();
    return true;
}

void CBandWindow::initializeGL() {
    m_pView->initializeGL();
}

void CBandWindow::resizeGL(int w, int h) {
    m_pView->resizeGL(w, h);
}

void CBandWindow::paintGL() {
    m_pView->paintGL();
}

void CBandWindow::forward(QEvent* pEvent) {
    // The view and this window share their origin: local positions carry over unchanged.
    const std::unique_ptr<QEvent> pCopy(pEvent->clone());
    QCoreApplication::sendEvent(m_pView, pCopy.get());
    pEvent->setAccepted(pCopy->isAccepted());
}

void CBandWindow::keyPressEvent(QKeyEvent* pEvent) {
    forward(pEvent);
}

void CBandWindow::keyReleaseEvent(QKeyEvent* pEvent) {
    forward(pEvent);
}

void CBandWindow::mousePressEvent(QMouseEvent* pEvent) {
    // This window never takes the keyboard itself: a click on it activates the view's window, as a
    // click on any widget there would, and gives the view the focus.
    if (QWidget* pTop = m_pView->window(); pTop && !pTop->isActiveWindow()) pTop->activateWindow();
    if (m_pView->focusPolicy() & Qt::ClickFocus) m_pView->setFocus(Qt::MouseFocusReason);
    forward(pEvent);
    // A plain window gets no context menu event: make the one a widget gets on this press here.
    if (pEvent->button() == Qt::RightButton) {
        QContextMenuEvent menu(QContextMenuEvent::Mouse, pEvent->position().toPoint(),
                               pEvent->globalPosition().toPoint(), pEvent->modifiers());
        QCoreApplication::sendEvent(m_pView, &menu);
    }
}

void CBandWindow::mouseReleaseEvent(QMouseEvent* pEvent) {
    forward(pEvent);
}

void CBandWindow::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    forward(pEvent);
}

void CBandWindow::mouseMoveEvent(QMouseEvent* pEvent) {
    forward(pEvent);
}

void CBandWindow::wheelEvent(QWheelEvent* pEvent) {
    forward(pEvent);
}

bool CBandWindow::event(QEvent* pEvent) {
    switch (pEvent->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        if (QWidget* pTop = m_pView->window()) {
            QCoreApplication::sendEvent(pTop, pEvent);
            return true;
        }
        break;
    default:
        break;
    }
    return QOpenGLWindow::event(pEvent);
}
