#include "RythmoDXEditView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleHints>
#include <QToolTip>
#include <algorithm>

CRythmoDXEditView::CRythmoDXEditView(IBandEditHost& host, QWidget* pParent)
    : CRythmoDXView(pParent), m_host(host), m_editor(renderer(), host), m_signs(m_editor, renderer(), host),
      m_navigator(m_editor, renderer(), host), m_verifier(m_editor, renderer(), host),
      m_finder(m_editor, renderer(), host), m_mouse(m_editor, renderer(), host, m_signs) {
    setMouseTracking(true);
    m_editor.m_redraw = [this] { onEditorChanged(); };
    m_editor.m_contextMenu = [this](IBandEditHost::EMenu eMenu, int x, int y) {
        m_host.showContextMenu(eMenu, globalPointOf(x, y));
    };
    const int nBlink = QGuiApplication::styleHints()->cursorFlashTime() / 2;
    m_blink.setInterval(nBlink > 0 ? nBlink : 500);
    connect(&m_blink, &QTimer::timeout, this, &CRythmoDXEditView::onEditorChanged);
    // The tool tip depends on the point of the band under the pointer: the view shows it itself, after
    // the usual rest of the pointer.
    m_toolTipDelay.setSingleShot(true);
    m_toolTipDelay.setInterval(700);
    connect(&m_toolTipDelay, &QTimer::timeout, this, [this] {
        if (!m_strToolTip.isEmpty()) QToolTip::showText(m_toolTipAt, m_strToolTip, this);
    });
}

void CRythmoDXEditView::OnInitialUpdate() {
    m_editor.setLog(&log());
    CRythmoDXView::OnInitialUpdate();
    m_editor.OnInitialUpdate();
    onEditorChanged();
}

void CRythmoDXEditView::OnUpdate(int nHint, const void* pObject) {
    m_editor.OnUpdate(nHint, pObject);
    CRythmoDXView::OnUpdate(nHint, pObject);
    onEditorChanged();
}

void CRythmoDXEditView::onEditorChanged() {
    const CBandViewState& st = state();
    const bool bCaret = (st.m_bEditMode || st.m_bSignSelected) && st.m_bHasSelectedLine;
    if (bCaret && !m_blink.isActive())
        m_blink.start();
    else if (!bCaret)
        m_blink.stop();
    requestFrame();
}

QPoint CRythmoDXEditView::globalPointOf(int x, int y) {
    const CBandSpace& space = renderer().space();
    const double fWidth = std::max(1, space.nRight - space.nLeft);
    const double fHeight = CBandSpace::HEIGHT - CBandSpace::BOTTOM;
    const QPoint local(int((x - space.nLeft) / fWidth * width()),
                       int((CBandSpace::HEIGHT - y) / fHeight * height()));
    return mapToGlobal(local);
}

void CRythmoDXEditView::keyPressEvent(QKeyEvent* pEvent) {
    const bool bKey = m_editor.OnKeyDown(pEvent->key(), pEvent->modifiers());
    if (!bKey) {
        // The character the key types, when it types one.
        const QString strText = pEvent->text();
        if (strText.isEmpty()) return CRythmoDXView::keyPressEvent(pEvent);
        for (char32_t c : strText.toUcs4())
            m_editor.OnChar(c, pEvent->isAutoRepeat());
    }
    pEvent->accept();
}

void CRythmoDXEditView::keyReleaseEvent(QKeyEvent* pEvent) {
    const QList<uint> chars = pEvent->text().toUcs4();
    m_editor.OnKeyUp(pEvent->key(), chars.isEmpty() ? 0 : char32_t(chars.first()), pEvent->isAutoRepeat());
    pEvent->accept();
}

void CRythmoDXEditView::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) m_editor.OnLButtonDblClk();
    pEvent->accept();
}

QPoint CRythmoDXEditView::bandPointOf(const QPointF& local) const {
    const CBandSpace& space = const_cast<CRythmoDXEditView*>(this)->renderer().space();
    const int x = int(local.x() * space.nZoom) + space.nLeft;
    return {x, CBandSpace::yAt(local.y(), height())};
}

void CRythmoDXEditView::mousePressEvent(QMouseEvent* pEvent) {
    const QPoint p = bandPointOf(pEvent->position());
    m_strToolTip.clear();
    m_toolTipDelay.stop();
    QToolTip::hideText();
    switch (pEvent->button()) {
    case Qt::LeftButton:
        m_mouse.OnLButtonDown(p.x(), p.y(), pEvent->modifiers() & Qt::ControlModifier);
        break;
    case Qt::MiddleButton:
        m_mouse.OnMButtonDown(p.x());
        break;
    case Qt::RightButton:
        m_mouse.OnRButtonDown(p.x(), p.y());
        break;
    default:
        break;
    }
    pEvent->accept();
}

void CRythmoDXEditView::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) m_mouse.OnLButtonUp();
    if (pEvent->button() == Qt::MiddleButton) m_mouse.OnMButtonUp();
    pEvent->accept();
}

QString CRythmoDXEditView::toolTipAt(const QPointF& local) {
    const QPoint p = bandPointOf(local);
    return m_mouse.describeAt(p.x(), p.y());
}

void CRythmoDXEditView::hoverMoved(const QPointF& local, const QPointF& global) {
    const QString str = toolTipAt(local);
    m_toolTipAt = global.toPoint();
    if (str == m_strToolTip) return;
    m_strToolTip = str;
    QToolTip::hideText();
    if (str.isEmpty())
        m_toolTipDelay.stop();
    else
        m_toolTipDelay.start();
}

void CRythmoDXEditView::mouseMoveEvent(QMouseEvent* pEvent) {
    const QPoint p = bandPointOf(pEvent->position());
    if (pEvent->buttons() != Qt::NoButton) {
        m_mouse.OnMouseMove(p.x(), p.y());
        m_strToolTip.clear();
        m_toolTipDelay.stop();
    } else {
        hoverMoved(pEvent->position(), pEvent->globalPosition());
    }
    const bool bOverSign = m_mouse.isOverSign(p.x(), p.y());
    if (bOverSign != (cursor().shape() == Qt::SizeHorCursor)) {
        if (bOverSign)
            setCursor(Qt::SizeHorCursor);
        else
            unsetCursor();
    }
    pEvent->accept();
}

void CRythmoDXEditView::wheelEvent(QWheelEvent* pEvent) {
    m_mouse.OnMouseWheel(pEvent->angleDelta().y());
    pEvent->accept();
}
