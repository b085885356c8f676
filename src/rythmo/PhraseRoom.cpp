#include "PhraseRoom.h"

#include "BandSpace.h"

#include <climits>

namespace PhraseRoom {

bool fits(const CVarE& script, const CLine& line, int nTrack, CVarE::LineIterator self) {
    if (line.getSigns().empty()) return false;
    const auto end = script.getLines().end();
    const int nStart = line.getStartFrame(), nEnd = line.getEndFrame();
    // Another phrase at the same place: the script would refuse it anyway.
    const auto same = script.findLine({nStart, nTrack});
    if (same != end && same != self) return false;
    auto before = script.getPreviousLine(nTrack, line.getEndTimeCode(), true, false);
    if (before != end && before == self)
        before = script.getPreviousLine(nTrack, self->getTimeCode(), true, false);
    if (before != end && before != self) {
        const int nBeforeEnd = before->hasClosingSign() ? before->getEndFrame() : INT_MAX;
        if (nBeforeEnd >= nStart) return false;
    }
    const auto loop = script.loopUpperBound(line.getTimeCode());
    return loop == script.getLoops().end() || loop->getFrames() >= nEnd;
}

bool loopMayStandAt(const CVarE& script, const CTimeCode& tc) {
    if (!tc.isValid()) return false;
    for (int k = 0; k < CBandSpace::TRACK_COUNT; ++k) {
        const auto it = script.getPreviousLine(k, tc, true, false);
        if (it != script.getLines().end() && it->getEndFrame() >= tc.getFrames()) return false;
    }
    return true;
}

} // namespace PhraseRoom

bool PhraseRoom::linkKeepsOrder(const CLine& line, int nSign, int p) {
    if (p < 0 || p > line.getLength()) return false;
    const int f = line.getSign(nSign).getFrames();
    for (const CLipSync& s : line.getSigns()) {
        if (!s.isLinked() || s.getFrames() == f) continue;
        if ((s.getFrames() < f) != (s.getLink() < p)) return false;
    }
    return true;
}
