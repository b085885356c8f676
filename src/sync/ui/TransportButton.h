#pragma once

#include <QAbstractButton>

// A transport button whose caption is one character of the classic symbol font that names its
// picture: "7" rewind, "9" previous frame, "4" play, ";" pause, ":" next frame, "8" fast forward.
// The picture is drawn as shapes, so it needs no symbol font; the caption stays the button's text,
// which is how the play/pause command tells the button what to show.
class CTransportButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr char REWIND = '7';
    static constexpr char PREVIOUS_FRAME = '9';
    static constexpr char PLAY = '4';
    static constexpr char PAUSE = ';';
    static constexpr char NEXT_FRAME = ':';
    static constexpr char FAST_FORWARD = '8';

    CTransportButton(char cCaption, int nCommand, QWidget* pParent = nullptr);

    // The command identifier the button sends (40001 ... 40005).
    int getCommand() const { return m_nCommand; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    int m_nCommand;
};
