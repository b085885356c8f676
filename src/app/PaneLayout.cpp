#include "app/PaneLayout.h"

#include <QResizeEvent>
#include <algorithm>

SPaneSizes computePaneSizes(int cx, int cy, bool bFullScreen) {
    SPaneSizes s;
    if (bFullScreen) {
        s.nUpper = std::max(cy - 6, 0);
        s.nBand = cy - s.nUpper;
        s.nLeft = 0;
        s.nVideo = cx;
        s.nScript = std::max(s.nUpper - 92, 0);
        s.nControl = s.nUpper - s.nScript;
        return s;
    }
    const int nTop = cy - cy / 5;
    const int nVideo = nTop * 4 / 3;
    s.nUpper = std::max(nTop, 0);
    s.nBand = cy / 5;
    s.nLeft = std::max(cx - nVideo, 0);
    s.nVideo = nVideo;
    s.nScript = std::max(nTop - 92, 0);
    s.nControl = s.nUpper - s.nScript;
    return s;
}

CPaneContainer::CPaneContainer(QWidget* pParent) : QWidget(pParent) {
    // The one-pixel bars show the container's own background.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));
    setPalette(pal);
    for (size_t i = 0; i < m_apPanes.size(); ++i) {
        m_apPanes[i] = new QWidget(this);
        // An empty pane until its view is plugged in: it shows the layout, nothing more.
        m_apPanes[i]->setObjectName(QStringLiteral("emptyPane%1").arg(i));
        m_apPanes[i]->setAutoFillBackground(true);
        m_apPanes[i]->setBackgroundRole(QPalette::Base);
    }
}

void CPaneContainer::setPane(EPane ePane, QWidget* pWidget) {
    QWidget*& pSlot = m_apPanes[size_t(ePane)];
    if (pSlot == pWidget) return;
    delete pSlot;
    pSlot = pWidget;
    if (pWidget) {
        pWidget->setParent(this);
        pWidget->show();
    }
    relayout();
}

void CPaneContainer::setFullScreen(bool b) {
    m_bFullScreen = b;
    relayout();
}

void CPaneContainer::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    relayout();
}

void CPaneContainer::relayout() {
    const int cx = width(), cy = height();
    const SPaneSizes s = computePaneSizes(cx, cy, m_bFullScreen);
    // A pane squeezed to nothing also gives up its bar.
    const int nUpper = std::min(s.nUpper, cy);
    const int nBandTop = nUpper >= cy ? cy : nUpper + BAR;
    const int nLeft = std::min(s.nLeft, cx);
    const int nRight = nLeft == 0 ? 0 : std::min(nLeft + BAR, cx);
    const int nScript = std::min(s.nScript, nUpper);
    const int nControlTop = nScript == 0 ? 0 : std::min(nScript + BAR, nUpper);

    m_aRects[size_t(EPane::Script)] = QRect(0, 0, nLeft, nScript);
    m_aRects[size_t(EPane::Control)] = QRect(0, nControlTop, nLeft, nUpper - nControlTop);
    m_aRects[size_t(EPane::Video)] = QRect(nRight, 0, cx - nRight, nUpper);
    m_aRects[size_t(EPane::Band)] = QRect(0, nBandTop, cx, cy - nBandTop);
    for (size_t i = 0; i < m_apPanes.size(); ++i) {
        if (!m_apPanes[i]) continue;
        const QRect& r = m_aRects[i];
        m_apPanes[i]->setGeometry(r);
        m_apPanes[i]->setVisible(r.width() > 0 && r.height() > 0);
    }
}
