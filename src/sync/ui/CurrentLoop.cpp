#include "sync/ui/CurrentLoop.h"

#include "vare/VarE.h"

#include <algorithm>
#include <iterator>

CCurrentLoop CCurrentLoop::find(const CVarE& script, const CTimeCode& tc) {
    CCurrentLoop loop;
    if (!tc.isValid()) return loop;
    const auto it = script.getPreviousLoop(tc, false);
    if (it == script.getLoops().end()) return loop;
    loop.m_bValid = true;
    loop.m_nNumber = it->getNumber();
    loop.m_start = it->getTimeCode();
    const auto next = std::next(it);
    loop.m_end = next != script.getLoops().end() ? next->getTimeCode() : lastLoopEnd(script, tc);
    return loop;
}

CTimeCode CCurrentLoop::lastLoopEnd(const CVarE& script, const CTimeCode& tc) {
    int nEnd = tc.getFrames();
    if (!script.getShots().empty()) nEnd = std::max(nEnd, script.getShots().rbegin()->getFrames());
    if (!script.getLines().empty()) nEnd = std::max(nEnd, script.getLines().rbegin()->getEndFrame());
    // A phrase covering the end pushes it to its last sign; that may reach into another phrase on
    // another track, so walk until no phrase reaches further. The end only grows: this stops.
    const int nTracks = std::max(script.getTrackCount(), 4);
    for (bool bMoved = true; bMoved;) {
        bMoved = false;
        const CTimeCode end = CTimeCode::fromFrames(nEnd);
        for (int nTrack = 0; nTrack < nTracks; ++nTrack) {
            const auto it = script.getLineAt(nTrack, end, false);
            if (it == script.getLines().end()) continue;
            const int nLineEnd = it->getEndFrame();
            if (nLineEnd > nEnd) {
                nEnd = nLineEnd;
                bMoved = true;
            }
        }
    }
    return CTimeCode::fromFrames(nEnd);
}

int CCurrentLoop::getMinutes() const {
    const CTimeCode d = m_end - m_start;
    return d.getHours() * 60 + d.getMinutes();
}

int CCurrentLoop::getSeconds() const {
    return (m_end - m_start).getSeconds();
}
