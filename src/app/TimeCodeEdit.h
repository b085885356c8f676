#pragma once

#include "vare/TimeCode.h"

#include <QWidget>

// Eight digit cells "hh:mm:ss:ff". A digit replaces the cell under the cursor and moves it one cell
// right (wrapping after the eighth); '.' or ':' jumps to the next group (from the last group back to
// the first). The value is read from the whole text after every digit, so it is invalid while a
// field is out of range.
class CTimeCodeEdit : public QWidget {
    Q_OBJECT
public:
    explicit CTimeCodeEdit(QWidget* pParent = nullptr);

    void setTimeCode(const CTimeCode& tc);
    // The typed value; invalid (frames -1) while a field is out of range.
    const CTimeCode& getTimeCode() const { return m_tc; }
    QString text() const;
    int cursorCell() const { return m_nCursor; }

    QSize sizeHint() const override;

signals:
    void timeCodeChanged();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;

private:
    void typeDigit(char c);
    void nextGroup();
    QRect cellRect(int nCell) const;

    char m_acDigits[8] = {'0', '0', '0', '0', '0', '0', '0', '0'};
    int m_nCursor = 0;
    CTimeCode m_tc;
};
