#pragma once

#include "base/TraceLog.h"
#include "sync/ui/ControlTheme.h"
#include "vare/TimeCode.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>

class CSyncManager;
class CSyncProbe;
class CTransportButton;
class CVarE;
class QLabel;

// The transport control view: five transport buttons, the current timecode in large digits, the
// current loop (number, start, end, duration) and the VI/VO indicators. It refreshes itself every
// 40 ms from the clock and at once on every document update; it never takes the keyboard, which
// stays with the band (the focus target).
//
// The buttons do not act themselves: each emits the signal of its transport command, which the
// application connects to its command handlers (connect with a direct connection: the focus goes
// back to the band right after the signal).
class CControlView : public QWidget {
    Q_OBJECT
public:
    // Command identifiers of the five buttons.
    enum {
        ID_REWIND = 40001,
        ID_FAST_FORWARD = 40002,
        ID_NEXT_FRAME = 40003,
        ID_PREVIOUS_FRAME = 40004,
        ID_PLAY_PAUSE = 40005,
    };
    // The text fields, readable for the application's tests and tools.
    enum EField {
        F_TIMECODE,
        F_TIMECODE_LABEL,
        F_LOOP_NUMBER,
        F_LOOP_LABEL,
        F_LOOP_START,
        F_ARROW,
        F_LOOP_END,
        F_DURATION_LABEL,
        F_MINUTES,
        F_MINUTES_LABEL,
        F_SECONDS,
        F_SECONDS_LABEL,
        F_VI,
        F_VO,
        F_COUNT
    };
    static constexpr int REFRESH_MS = 40;

    // The clock and the script are read, never changed; either may be null (nothing to show).
    // Traces go to pLog (the application's log); none when null.
    CControlView(CSyncManager* pSync, const CVarE* pScript, CTraceLog* pLog = nullptr,
                 QWidget* pParent = nullptr);
    ~CControlView() override;
    // Told of each timecode shown (nullptr: nothing is told).
    void setProbe(CSyncProbe* pProbe) { m_pProbe = pProbe; }

    void setScript(const CVarE* pScript) { m_pScript = pScript; }
    // The widget that gets the keyboard back after a click (the band view).
    void setFocusTarget(QWidget* pTarget) { m_pFocusTarget = pTarget; }

    CTransportButton* getButton(int nCommand) const;
    CTransportButton* getPlayPauseButton() const { return getButton(ID_PLAY_PAUSE); }
    QString getText(EField eField) const;
    const QLabel* fieldLabel(EField eField) const { return m_apField[size_t(eField)]; }
    QColor getTextColor(EField eField) const;
    QColor getBackgroundColor() const;
    const CControlTheme& getTheme() const { return m_theme; }
    bool isInitialised() const { return m_bInitialised; }

public slots:
    // Starts the refresh timer and sets the fonts and captions; done once (also on first show).
    void OnInitialUpdate();
    // A document update hint: refresh at once.
    void onUpdate(int nHint);
    // One refresh tick: timecode, current loop and their colours.
    void refresh();
    // "Theme" setting: 0 "Métal", any other value "Papier".
    void setTheme(int nTheme);
    // The main movie's sound channel count and whether the international version plays.
    void setAudioVersion(int nChannelCount, bool bInternational);
    // The play/pause button's picture: pause while the transport runs, play while stopped.
    void setPlaying(bool bRunning);

signals:
    void playPause();
    void nextFrame();
    void fastForward();
    void previousFrame();
    void rewind();

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    void buildLayout();
    void addButton(int nIndex, char cCaption, int nCommand, void (CControlView::*pSignal)());
    void setField(EField eField, const char* pszText);
    void applyColors();
    // The fields' fonts shrink with the pane so that the widest timecodes and the loop's times fit.
    QFont fieldFont(int nField, double dScale) const;
    int neededWidth(double dScale) const;
    double fontScaleFor(int nWidth) const;
    void applyFontScale(double dScale);
    void giveFocusBack();

    CSyncManager* m_pSync;
    const CVarE* m_pScript;
    CTraceLog m_silentLog; // never opened
    CTraceLog* m_pLog = &m_silentLog;
    CSyncProbe* m_pProbe = nullptr;
    QPointer<QWidget> m_pFocusTarget;
    CControlTheme m_theme;
    QTimer m_timer;
    bool m_bInitialised = false;
    int m_nChannels = 0;
    bool m_bInternational = false;

    std::array<QLabel*, F_COUNT> m_apField{};
    double m_dFontScale = 0.0;
    std::array<CTransportButton*, 5> m_apButton{};

    // What is on screen, so that a tick rewrites only what changed.
    int m_nShownFrames = -2;
    bool m_bLoopShown = true;
    int m_nShownNumber = -1;
    int m_nShownStart = -1;
    int m_nShownEnd = -1;
};
