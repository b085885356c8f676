#pragma once

#include "sync/SteadyTime.h"

#include <array>

class CTraceLog;

// What the three displays show at each composition of the window that holds them: the frame of the
// picture the video view rendered last, the band's frame (the position it drew last), and the frame of
// the large timecode, as 25 fps frame counts. Written into a log under the detail mask 16 (beside the log's
// 2, 4 and 8; not part of the usual "everything", 15) as lines
//   "probe\t<microseconds>\t<rate>\t<picture>\t<band>\t<timecode>\t<reported>\n"
// where reported is the frame mpv last reported as its position (-1 when unknown), so that the gap
// between what mpv says and what is shown can be measured too (tools/sync-probe-summary reads them).
//
// The composition is the hot path: with the mask off it costs one test; with it on, one record in a
// buffer made beforehand. Lines are formatted when the buffer is full and when the clock stops.
//
// GUI thread only.
class CSyncProbe {
public:
    explicit CSyncProbe(CTraceLog& log, CSteadyTime::Source source = {});
    ~CSyncProbe();
    CSyncProbe(const CSyncProbe&) = delete;
    CSyncProbe& operator=(const CSyncProbe&) = delete;

    enum { MASK = 16 };

    bool isOn() const;

    void pictureShown(int nFrame) { m_nPicture = nFrame; }
    void timecodeShown(int nFrame) { m_nTimecode = nFrame; }
    void playerReported(int nFrame) { m_nReported = nFrame; }
    // The window was composed with the band's frame at this position (media time) and rate: one record.
    void bandShown(int nPosition, int nRate);
    // Writes the records kept so far.
    void flush();

    static constexpr int CAPACITY = 512;

private:
    struct SRecord {
        long long nMicros;
        int nRate, nPicture, nBand, nTimecode, nReported;
    };

    CTraceLog& m_log;
    CSteadyTime::Source m_source;
    CSteadyTime::TimePoint m_tStart;
    std::array<SRecord, CAPACITY> m_records{};
    int m_nCount = 0;
    int m_nPicture = -1;
    int m_nTimecode = -1;
    int m_nReported = -1;
};
