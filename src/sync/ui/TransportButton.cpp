#include "sync/ui/TransportButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace {
// A triangle in the unit box [0,1]x[0,1] pointing right (or left), scaled into r.
void triangle(QPainterPath& path, const QRectF& r, bool bRight) {
    const qreal x0 = bRight ? r.left() : r.right(), x1 = bRight ? r.right() : r.left();
    path.moveTo(x0, r.top());
    path.lineTo(x1, r.center().y());
    path.lineTo(x0, r.bottom());
    path.closeSubpath();
}
} // namespace

CTransportButton::CTransportButton(char cCaption, int nCommand, QWidget* pParent)
    : QAbstractButton(pParent), m_nCommand(nCommand) {
    setText(QString(QLatin1Char(cCaption)));
    // The band keeps the keyboard: a click must not take the focus.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

QSize CTransportButton::sizeHint() const {
    return {30, 24};
}

void CTransportButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.features = QStyleOptionButton::None;
    if (isDown())
        opt.state |= QStyle::State_Sunken;
    else
        opt.state |= QStyle::State_Raised;
    p.drawControl(QStyle::CE_PushButtonBevel, opt);

    const qreal s = std::min(width(), height()) * 0.42;
    const QRectF box(QPointF(width() / 2.0 - s / 2, height() / 2.0 - s / 2), QSizeF(s, s));
    const qreal bar = s / 5;
    QPainterPath path;
    const QString strCaption = text();
    const char c = strCaption.size() == 1 ? char(strCaption.at(0).toLatin1()) : '\0';
    switch (c) {
    case PLAY:
        triangle(path, box, true);
        break;
    case PAUSE:
        path.addRect(QRectF(box.left(), box.top(), bar * 1.6, s));
        path.addRect(QRectF(box.right() - bar * 1.6, box.top(), bar * 1.6, s));
        break;
    case REWIND:
    case FAST_FORWARD: {
        const bool bRight = c == FAST_FORWARD;
        const QRectF half(box.left(), box.top(), s / 2, s);
        triangle(path, half, bRight);
        triangle(path, half.translated(s / 2, 0), bRight);
        break;
    }
    case PREVIOUS_FRAME:
        path.addRect(QRectF(box.left(), box.top(), bar, s));
        triangle(path, box.adjusted(bar * 1.5, 0, 0, 0), false);
        break;
    case NEXT_FRAME:
        triangle(path, box.adjusted(0, 0, -bar * 1.5, 0), true);
        path.addRect(QRectF(box.right() - bar, box.top(), bar, s));
        break;
    default: // an unknown caption is shown as text
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(rect(), Qt::AlignCenter, strCaption);
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(path,
               palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
}
