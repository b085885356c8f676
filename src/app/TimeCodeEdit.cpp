#include "app/TimeCodeEdit.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFrame>

CTimeCodeEdit::CTimeCodeEdit(QWidget* pParent) : QWidget(pParent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setStyleHint(QFont::Monospace);
    f.setPointSize(14);
    setFont(f);
    setTimeCode(TC_ZERO);
}

void CTimeCodeEdit::setTimeCode(const CTimeCode& tc) {
    const char* psz = tc.getText();
    int n = 0;
    for (int i = 0; psz[i] && n < 8; ++i)
        if (psz[i] != ':') m_acDigits[n++] = psz[i];
    m_tc = tc;
    m_nCursor = 0;
    update();
    emit timeCodeChanged();
}

QString CTimeCodeEdit::text() const {
    return QString::asprintf("%c%c:%c%c:%c%c:%c%c", m_acDigits[0], m_acDigits[1], m_acDigits[2],
                             m_acDigits[3], m_acDigits[4], m_acDigits[5], m_acDigits[6], m_acDigits[7]);
}

void CTimeCodeEdit::typeDigit(char c) {
    m_acDigits[m_nCursor] = c;
    m_nCursor = (m_nCursor + 1) % 8;
    if (!m_tc.parse(text())) m_tc = TC_INVALID;
    update();
    emit timeCodeChanged();
}

void CTimeCodeEdit::nextGroup() {
    m_nCursor = (m_nCursor / 2 + 1) % 4 * 2;
    update();
}

void CTimeCodeEdit::keyPressEvent(QKeyEvent* pEvent) {
    const QString str = pEvent->text();
    if (str.size() == 1 && str[0] >= QLatin1Char('0') && str[0] <= QLatin1Char('9')) {
        typeDigit(char(str[0].unicode()));
        return;
    }
    if (str == QLatin1String(".") || str == QLatin1String(":")) {
        nextGroup();
        return;
    }
    switch (pEvent->key()) {
    case Qt::Key_Left:
        m_nCursor = (m_nCursor + 7) % 8;
        update();
        return;
    case Qt::Key_Right:
        m_nCursor = (m_nCursor + 1) % 8;
        update();
        return;
    case Qt::Key_Home:
        m_nCursor = 0;
        update();
        return;
    case Qt::Key_End:
        m_nCursor = 7;
        update();
        return;
    default:
        QWidget::keyPressEvent(pEvent);
    }
}

QRect CTimeCodeEdit::cellRect(int nCell) const {
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(QLatin1Char('0'));
    const int x = 6 + (nCell + nCell / 2) * w; // a colon before each group but the first
    return QRect(x, (height() - fm.height()) / 2, w, fm.height());
}

void CTimeCodeEdit::mousePressEvent(QMouseEvent* pEvent) {
    setFocus(Qt::MouseFocusReason);
    for (int i = 0; i < 8; ++i)
        if (pEvent->position().x() < cellRect(i).right() + 1) {
            m_nCursor = i;
            break;
        }
    update();
}

QSize CTimeCodeEdit::sizeHint() const {
    const QFontMetrics fm(font());
    return QSize(12 + fm.horizontalAdvance(QStringLiteral("00:00:00:00")), fm.height() + 10);
}

void CTimeCodeEdit::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionFrame opt;
    opt.initFrom(this);
    opt.lineWidth = 1;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
    const QString str = text();
    const QFontMetrics fm(font());
    const QRect first = cellRect(0);
    if (hasFocus()) p.fillRect(cellRect(m_nCursor), palette().highlight());
    p.setPen(palette().text().color());
    int x = first.left();
    for (int i = 0; i < str.size(); ++i) {
        const bool bCursor = hasFocus() && i == m_nCursor + m_nCursor / 2;
        p.setPen(bCursor ? palette().highlightedText().color() : palette().text().color());
        p.drawText(QPoint(x, first.top() + fm.ascent()), QString(str[i]));
        x += fm.horizontalAdvance(QLatin1Char('0'));
    }
}

void CTimeCodeEdit::focusInEvent(QFocusEvent* pEvent) {
    QWidget::focusInEvent(pEvent);
    update();
}

void CTimeCodeEdit::focusOutEvent(QFocusEvent* pEvent) {
    QWidget::focusOutEvent(pEvent);
    update();
}
