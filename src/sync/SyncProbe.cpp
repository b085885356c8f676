#include "sync/SyncProbe.h"

#include "base/TraceLog.h"
#include "sync/MediaUnits.h"

CSyncProbe::CSyncProbe(CTraceLog& log, CSteadyTime::Source source)
    : m_log(log), m_source(std::move(source)), m_tStart(CSteadyTime::now(m_source)) {}

CSyncProbe::~CSyncProbe() {
    flush();
}

bool CSyncProbe::isOn() const {
    return m_log.isLogOn(MASK);
}

void CSyncProbe::bandShown(int nPosition, int nRate) {
    if (!isOn()) return;
    const auto nMicros =
        std::chrono::duration_cast<std::chrono::microseconds>(CSteadyTime::now(m_source) - m_tStart).count();
    m_records[size_t(m_nCount++)] = {nMicros,     nRate,      m_nPicture, nPosition / MediaUnits::FRAME_25,
                                     m_nTimecode, m_nReported};
    // A stop is the moment to write: nothing is being played.
    if (m_nCount == CAPACITY || nRate == 0) flush();
}

void CSyncProbe::flush() {
    static constexpr const char* LINE = "probe\t%lld\t%i\t%i\t%i\t%i\t%i\n";
    for (int i = 0; i < m_nCount; ++i) {
        const SRecord& r = m_records[size_t(i)];
        // The last line of a batch goes through Log, which flushes: the file holds every batch whole.
        if (i + 1 < m_nCount)
            m_log.LogIf(MASK, LINE, r.nMicros, r.nRate, r.nPicture, r.nBand, r.nTimecode, r.nReported);
        else
            m_log.Log(LINE, r.nMicros, r.nRate, r.nPicture, r.nBand, r.nTimecode, r.nReported);
    }
    m_nCount = 0;
}
