#include "sync/PositionEstimate.h"
#include "sync/MediaUnits.h"

#include <algorithm>
#include <cmath>

void CPositionEstimate::anchor(long long nMovieTime) {
    m_nAnchor = nMovieTime;
    m_tAnchor = CSteadyTime::now(m_source);
}

long long CPositionEstimate::at(float fRate) const {
    if (fRate == 0.0f) return m_nAnchor;
    const double dElapsed = std::chrono::duration<double>(CSteadyTime::now(m_source) - m_tAnchor).count();
    const long long nMax = m_nFrameUnits - 1;
    const long long nDelta =
        std::clamp(std::llround(dElapsed * MediaUnits::PER_SECOND_F * double(fRate)), -nMax, nMax);
    return std::clamp(m_nAnchor + nDelta, 0LL, std::max(0LL, m_nDuration));
}
