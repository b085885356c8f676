#include "sync/PresentedFrame.h"

#include <algorithm>
#include <cmath>

void CPresentedFrame::restart(long long nFrom) {
    m_nFrom = nFrom;
    m_bFirst = true;
    m_nLast = -1;
    m_nLastTarget = 0;
    m_nLastReported = -1;
    m_bLastCounted = false;
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
        const long long nSteps =
            m_nLastTarget > 0 ? std::llround(double(nTargetUs - m_nLastTarget) / dFrameUs) : 0;
        if (nSteps >= 1 && m_bLastCounted && nReported == m_nLastReported && m_nLast == nReported) {
            // A new picture, and the report still on the picture before, which was its own: this
            // picture's report has not come yet (mpv reports when its core next wakes, which may be after
            // the view has drawn it). Counted from the picture before.
            nFrame = nReported + nDir * nSteps;
        } else if (!bEarly && m_nLastTarget > 0 && dLate <= dFrameUs) {
            nFrame = std::clamp(m_nLast + nDir * nSteps, std::min(nReported, nNextQueued),
                                std::max(nReported, nNextQueued));
        } else if (!bEarly && dLate > dFrameUs - double(QUEUE_AHEAD_US) / 2) {
            // Drawn after the next picture was due, that one is reported. With nothing to count from,
            // the same guess from half the offset on: the later, the likelier.
            nFrame = nNextQueued;
        }
    }
    nFrame = std::max(0LL, nFrame);
    // A picture's label is sure enough to count the next from when it could be counted itself.
    m_bLastCounted = !m_bFirst && m_nLastTarget > 0;
    if (m_bFirst) {
        // The series' first picture is often the standing one drawn again, at a time of its own.
        if (m_nFrom >= 0) nFrame = nDir > 0 ? std::max(nFrame, m_nFrom) : std::min(nFrame, m_nFrom);
        m_bFirst = false;
        m_nLastTarget = 0;
    } else {
        m_nLastTarget = nTargetUs;
    }
    m_nLast = nFrame;
    m_nLastReported = nReported;
    return nFrame;
}
