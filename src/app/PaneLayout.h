#pragma once

#include <QRect>
#include <QWidget>
#include <array>

// The four panes of the main window.
enum class EPane { Script = 0, Control = 1, Video = 2, Band = 3 };

// Ideal sizes of the panes for a client area: the band takes the lower fifth, the picture a 4:3 box
// in the upper right, the script text and the control view (92 pixels) share the upper left. In full
// screen the picture fills all but a strip of 6 pixels for the band.
struct SPaneSizes {
    int nUpper = 0;  // height of the upper row
    int nBand = 0;   // ideal height of the band row
    int nLeft = 0;   // width of the left column
    int nVideo = 0;  // ideal width of the picture
    int nScript = 0; // height of the script text
    int nControl = 0;
};
SPaneSizes computePaneSizes(int cx, int cy, bool bFullScreen);

// Places the four panes by the rule above, separated by bars of one pixel that cannot be dragged.
// The last pane of each row or column takes what the bars leave.
class CPaneContainer : public QWidget {
    Q_OBJECT
public:
    static constexpr int BAR = 1;

    explicit CPaneContainer(QWidget* pParent = nullptr);

    // Puts a widget in a pane; the previous one is deleted. The container owns the widget.
    void setPane(EPane ePane, QWidget* pWidget);
    QWidget* pane(EPane ePane) const { return m_apPanes[size_t(ePane)]; }

    void setFullScreen(bool b);
    bool isFullScreen() const { return m_bFullScreen; }
    // Geometry given to a pane at the current size.
    QRect paneRect(EPane ePane) const { return m_aRects[size_t(ePane)]; }

protected:
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void relayout();

    std::array<QWidget*, 4> m_apPanes{};
    std::array<QRect, 4> m_aRects{};
    bool m_bFullScreen = false;
};
