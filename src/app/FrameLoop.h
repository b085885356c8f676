#pragma once

#include "sync/ClockDriver.h"

#include <QObject>

class CSyncManager;
class CTraceLog;
class QTimer;

// Keeps the band drawing while the clock runs: each frame advances the clock (once per compute
// period really elapsed, see CClockDriver) and asks the band for the next frame. It stops when the
// clock stops and is started again by the transport.
//
// Without a band view the frames come from a timer at the display's refresh period. A band view
// paces itself (it steps the clock through its time source before each frame and asks for the next
// one after each swap): in that mode, setBandDriven(true), the loop only wakes the band with
// frameRequested() when the clock starts.
class CFrameLoop : public QObject {
    Q_OBJECT
public:
    // Frame traffic is traced into the log under the transport mask.
    CFrameLoop(CSyncManager& sync, CTraceLog& log, QObject* pParent = nullptr);

    void setBandDriven(bool b);
    bool isBandDriven() const { return m_bBandDriven; }
    void setRefreshPeriod(int nMs);
    int refreshPeriod() const { return m_nPeriodMs; }

    // Starts the loop when the clock runs (or a jog is under way); harmless when it already runs.
    void wake();
    bool isRunning() const { return m_bRunning; }
    // One frame at the current position while the clock stands (after a jump).
    void requestFrame() { emit frameRequested(); }
    // Frames run since the loop was created (tests, diagnostics).
    long long frameCount() const { return m_nFrames; }
    CClockDriver& driver() { return m_driver; }

signals:
    // The band must draw a frame at the clock's new position.
    void frameRequested();
    // The loop started or stopped.
    void runningChanged(bool bRunning);

public slots:
    // One frame: the clock steps, the band is asked to draw; the loop stops when the clock stands.
    void onFrame();

private:
    bool clockMoves() const;
    void setRunning(bool b);

    CSyncManager& m_sync;
    CTraceLog& m_log;
    CClockDriver m_driver;
    // Frames per second, counted over whole seconds (for the trace).
    std::chrono::steady_clock::time_point m_tPrevious, m_tSecond;
    int m_nSecondCount = 0;
    int m_nFps = 0;
    QTimer* m_pTimer;
    bool m_bBandDriven = false;
    int m_nPeriodMs = 16;
    bool m_bRunning = false;
    long long m_nFrames = 0;
};
