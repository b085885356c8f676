#pragma once

#include "vare/VarE.h"

#include <vector>

// Told by a script of every change made through its operations, with enough to undo it. A removal is
// told while the item is still in its set (views hold iterators into the sets), an addition once the
// item is in place, a change once it is made with the value from before. Undoing and redoing are made
// of the same operations, so they are told like any other change.
//
// An observer must not change the script from inside a notification.
class IScriptObserver {
public:
    virtual ~IScriptObserver() = default;

    // The whole script was replaced (cleared, read from a file, copied): nothing held about it is valid.
    virtual void scriptReset(const CVarE&) {}

    virtual void headerChanged(const CVarE&, CVarE::EHeader, const QString& /*strBefore*/) {}
    virtual void timeStampChanged(const CVarE&, const CTimeCode& /*tcBefore*/) {}
    virtual void frameRateChanged(const CVarE&, int /*nRateBefore*/, bool /*bDropBefore*/) {}
    // Every item moved by nFrames.
    virtual void shifted(const CVarE&, int /*nFrames*/) {}

    virtual void lineAdded(const CVarE&, CVarE::LineIterator) {}
    virtual void lineErasing(const CVarE&, CVarE::LineIterator) {}
    // The phrase at `it` was `before` (its key, and so its place, may have changed).
    virtual void lineReplaced(const CVarE&, const CLine& /*before*/, CVarE::LineIterator /*it*/) {}

    virtual void loopAdded(const CVarE&, CVarE::LoopIterator) {}
    virtual void loopErasing(const CVarE&, CVarE::LoopIterator) {}
    virtual void loopMoved(const CVarE&, const CTimeCode& /*tcBefore*/, CVarE::LoopIterator) {}
    // The loops from `from` on had the numbers given (in time order).
    virtual void loopsRenumbered(const CVarE&, CVarE::LoopIterator /*from*/,
                                 const std::vector<int>& /*before*/) {}

    virtual void shotAdded(const CVarE&, CVarE::ShotIterator) {}
    virtual void shotErasing(const CVarE&, CVarE::ShotIterator) {}
    virtual void shotMoved(const CVarE&, const CTimeCode& /*tcBefore*/, CVarE::ShotIterator) {}

    virtual void roleAdded(const CVarE&, CVarE::RoleIterator) {}
    // The role is about to go; the phrases given lose it (they stay, unassigned).
    virtual void roleErasing(const CVarE&, CVarE::RoleIterator,
                             const std::vector<CVarE::LineIterator>& /*lines*/) {}
    virtual void roleRenamed(const CVarE&, const QString& /*strBefore*/, CVarE::RoleIterator) {}
    // Fields other than the name changed.
    virtual void roleChanged(const CVarE&, const CRole& /*before*/, CVarE::RoleIterator) {}
};
