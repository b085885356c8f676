#pragma once

#include "vare/VarE.h"

// Where a phrase, a loop or a shot change may stand on the band: the phrases of one track never
// overlap, a phrase never spans a loop, a loop never cuts a phrase. The one place that says so for
// the moves of the band (keys and mouse).
namespace PhraseRoom {
// Whether the phrase, with its signs as given, fits on nTrack: the last other phrase of that track
// starting before its end ends before its first sign (an open phrase covers every later time), and
// no loop falls between its first and its last sign. `self` is the phrase as the script holds it
// (end() for none): it never stands in its own way.
bool fits(const CVarE& script, const CLine& line, int nTrack, CVarE::LineIterator self);
// Whether a loop may stand at tc: on no track does the last phrase begun before tc go on to it.
bool loopMayStandAt(const CVarE& script, const CTimeCode& tc);
} // namespace PhraseRoom

namespace PhraseRoom {
// Whether sign nSign of the phrase can be hooked at position p without breaking the order of the
// links: every linked sign earlier in time sits before p, every later one at or after it.
bool linkKeepsOrder(const CLine& line, int nSign, int p);
} // namespace PhraseRoom
