#pragma once

#include "sync/SteadyTime.h"

class CSyncManager;

// Paces the clock by elapsed time: the band calls tick() once per displayed frame, and tick() runs
// the sync manager's compute() once for every compute period that has really elapsed since the
// previous step. The clock keeps real speed when frames come late (it catches up) or faster than
// the compute frequency (no retrace under Xvfb: it waits), and a stall longer than the catch-up cap
// is dropped rather than replayed as a jump.
class CClockDriver {
public:
    using TimePoint = CSteadyTime::TimePoint;
    using TimeSource = CSteadyTime::Source;

    explicit CClockDriver(CSyncManager& sync, TimeSource source = {});

    // Runs the steps that are due and returns their number.
    int tick();
    // Forgets the elapsed time: the next tick starts a fresh period (after a pause of the loop).
    void restart() { m_bStarted = false; }

    // Most steps run by one tick; 0.2 s at 75 steps per second by default.
    void setMaxCatchUp(int nSteps) { m_nMaxCatchUp = nSteps > 0 ? nSteps : 1; }
    int getMaxCatchUp() const { return m_nMaxCatchUp; }

private:
    CSyncManager& m_sync;
    TimeSource m_source;
    TimePoint m_tLast;
    bool m_bStarted = false;
    int m_nLastRate = 0;
    int m_nMaxCatchUp = 15;
};
