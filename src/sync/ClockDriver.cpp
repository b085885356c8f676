#include "sync/ClockDriver.h"

#include "sync/SyncManager.h"

CClockDriver::CClockDriver(CSyncManager& sync, TimeSource source)
    : m_sync(sync), m_source(std::move(source)) {}

int CClockDriver::tick() {
    const TimePoint now = CSteadyTime::now(m_source);
    const int nFrequency = m_sync.getComputeFrequency() > 0 ? m_sync.getComputeFrequency() : 75;
    const std::chrono::nanoseconds period(1000000000LL / nFrequency);

    // The loop idles while the clock stands: a start must not replay that time. Step boundaries are
    // kept half a period away from the frames so that jitter in the frame times does not make one
    // frame run two steps and the next none.
    const int nRate = m_sync.getRate();
    if (!m_bStarted || (m_nLastRate == 0 && nRate != 0)) {
        m_bStarted = true;
        m_tLast = now - period - period / 2;
    }
    m_nLastRate = nRate;

    long long nSteps = (now - m_tLast) / period;
    if (nSteps <= 0) return 0;
    if (nSteps > m_nMaxCatchUp) {
        nSteps = m_nMaxCatchUp;
        m_tLast = now - period / 2;
    } else {
        m_tLast += nSteps * period;
    }
    for (long long i = 0; i < nSteps; ++i)
        m_sync.compute();
    return int(nSteps);
}
