#include "sync/PresentedFrame.h"

#include <algorithm>
#include <cmath>

void CPresentedFrame::restart(long long nFrom) {
    m_nFrom = nFrom;
    m_bFirst = true;
    m_nLast = -1;
    m_nLastTarget = 0;
}

long long CPresentedFrame::onNewPicture(long long nReported, long long nTargetUs, long long nNowUs,
                                        double dFrameUs, int nDir) {
    if (nReported < 0) return nReported;
    const long long nNextQueued = nReported - nDir; // the picture, if mpv has queued the next one
    long long nFrame = nReported;
    if (nTargetUs > 0 && dFrameUs > 0.0) {
        const double dLate = double(nNowUs - nTargetUs);
        // Drawn that early, the next picture cannot have been queued: the report stands.
        const bool bEarly = dLate < dFrameUs - double(QUEUE_AHEAD_US + MARGIN_US);
        if (!bEarly && m_nLastTarget > 0 && dLate <= dFrameUs) {
            const long long nSteps = std::llround(double(nTargetUs - m_nLastTarget) / dFrameUs);
            nFrame = std::clamp(m_nLast + nDir * nSteps, std::min(nReported, nNextQueued),
                                std::max(nReported, nNextQueued));
        } else if (!bEarly && dLate > dFrameUs - double(QUEUE_AHEAD_US) / 2) {
            // Drawn after the next picture was due, that one is reported. With nothing to count from,
            // the same guess from half the offset on: the later, the likelier.
            nFrame = nNextQueued;
        }
    }
    nFrame = std::max(0LL, nFrame);
    if (m_bFirst) {
        // The series' first picture is often the standing one drawn again, at a time of its own.
        if (m_nFrom >= 0) nFrame = nDir > 0 ? std::max(nFrame, m_nFrom) : std::min(nFrame, m_nFrom);
        m_bFirst = false;
        m_nLastTarget = 0;
    } else {
        m_nLastTarget = nTargetUs;
    }
    m_nLast = nFrame;
    return nFrame;
}
