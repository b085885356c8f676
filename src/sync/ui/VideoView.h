#pragma once

#include "base/UpdateHint.h"

#include "base/TraceLog.h"
#include "vare/TimeCode.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class CQuickTime;
class CSyncManager;
class CVideoPicture;
class QScrollBar;

// The picture view: the main player's picture above a horizontal scroll bar over the media's
// length in whole seconds. The scroll bar is checked against the player once a second and on every
// document update; its arrows step by one second, its page areas by ten, and dragging its thumb
// goes to the second under it.
//
// The view moves nothing itself: each scroll bar action emits the signal of its transport command
// (connect them directly: the view reads the clock again right after the signal), then asks every
// view to redraw (updateAllViews with the "nothing changed" hint) and gives the keyboard back to
// the band (the focus target).
class CVideoView : public QWidget {
    Q_OBJECT
public:
    // Command identifiers of the scroll bar's steps.
    enum {
        ID_ONE_SECOND_LATER = 40009,
        ID_ONE_SECOND_BACK = 40010,
        ID_TEN_SECONDS_LATER = 40011,
        ID_TEN_SECONDS_BACK = 40012,
    };
    // The document's update hint meaning "nothing in the script changed, redraw".
    static constexpr int HINT_NOTHING = NOTHING;
    static constexpr int SCROLL_CHECK_MS = 1000;

    // The player's picture is attached when the view is first shown. Traces go to pLog (the
    // application's log); none when null.
    CVideoView(CQuickTime* pQT, CSyncManager* pSync, CTraceLog* pLog = nullptr, QWidget* pParent = nullptr);
    ~CVideoView() override;

    CVideoPicture* getPicture() const { return m_pPicture; }
    QScrollBar* getScrollBar() const { return m_pScrollBar; }
    void setFocusTarget(QWidget* pTarget) { m_pFocusTarget = pTarget; }

    // The still shown without a picture; a file that cannot be read gives the test card.
    void setDefaultImage(const QString& strPath);
    // Where the "DefaultImage" setting points: a relative name is taken from the program folder.
    static QString defaultImagePath(const QString& strSetting, const QString& strProgramFolder);

public slots:
    // A document update hint: redraw the picture, give the player its idle time, check the scroll bar.
    void onUpdate(int nHint);
    // Sets the scroll bar's range and position from the player; runs every second.
    void checkScroll();

signals:
    void oneSecondBack();
    void oneSecondLater();
    void tenSecondsBack();
    void tenSecondsLater();
    // Thumb dragged: go to this timecode (through the application's clamping goto).
    void gotoTimeCode(const CTimeCode& tc);
    void updateAllViews(int nHint);

protected:
    void resizeEvent(QResizeEvent* pEvent) override;

private slots:
    void onScrollAction(int nAction);

private:
    CQuickTime* m_pQT;
    CSyncManager* m_pSync;
    CTraceLog m_silentLog; // never opened
    CTraceLog* m_pLog;
    QPointer<QWidget> m_pFocusTarget;
    CVideoPicture* m_pPicture;
    QScrollBar* m_pScrollBar;
    QTimer m_scrollTimer;
    bool m_bInAction = false;
};
