#include "vare/ScriptJournal.h"

#include <algorithm>

namespace {
using J = CScriptJournal;

CVarE::LineIterator findLine(const CVarE& v, const J::SLineRecord& r) {
    return v.findLine(r.line.getKey());
}

// The phrase with the role of its name in the script as it is now; false when that role is missing.
bool toLine(const CVarE& v, const J::SLineRecord& r, CLine& line) {
    line = r.line;
    if (!r.bRole) return true;
    const auto role = v.findRoleByName(r.strRole);
    if (role == v.getRoles().end()) return false;
    line.setRole(&*role);
    return true;
}

std::vector<int> numbersAfter(const CVarE& v, int nFrame) {
    std::vector<int> numbers;
    for (auto it = v.loopUpperBound(CTimeCode::fromFrames(nFrame)); it != v.getLoops().end(); ++it)
        numbers.push_back(it->getNumber());
    return numbers;
}

// Adding and deleting a loop renumber the loops after it; the steps recorded that renumbering on its own,
// so a loop comes back, or goes, leaving the other numbers as they were.
bool insertLoop(CVarE& v, const CLoop& loop) {
    std::vector<int> numbers = numbersAfter(v, loop.getFrames());
    if (!v.addLoop(loop)) return false;
    numbers.insert(numbers.begin(), loop.getNumber());
    v.setLoopNumbers(v.getLoopAt(loop.getTimeCode()), numbers);
    return true;
}

bool eraseLoop(CVarE& v, int nFrame) {
    const auto it = v.getLoopAt(CTimeCode::fromFrames(nFrame));
    if (it == v.getLoops().end()) return false;
    const std::vector<int> numbers = numbersAfter(v, nFrame);
    v.setLoopNumbers(v.deleteLoop(it), numbers);
    return true;
}

bool addLine(CVarE& v, const J::SLineRecord& r) {
    CLine line;
    return toLine(v, r, line) && v.addLine(std::move(line)).second;
}

bool eraseLine(CVarE& v, const J::SLineRecord& r) {
    const auto it = findLine(v, r);
    if (it == v.getLines().end()) return false;
    v.eraseLine(it);
    return true;
}

bool replaceLine(CVarE& v, const J::SLineRecord& from, const J::SLineRecord& to) {
    const auto it = findLine(v, from);
    CLine line;
    if (it == v.getLines().end() || !toLine(v, to, line)) return false;
    bool bOk = false;
    v.replaceLine(it, line, &bOk);
    return bOk;
}

bool addRole(CVarE& v, const CRole& role) {
    return v.addRole(role).second;
}

bool deleteRole(CVarE& v, const QString& strName) {
    const auto it = v.findRoleByName(strName);
    if (it == v.getRoles().end()) return false;
    v.deleteRole(it);
    return true;
}

bool setRole(CVarE& v, const CRole& role) {
    const auto it = v.findRoleByName(role.getName());
    if (it == v.getRoles().end()) return false;
    v.updateRole(it, [&](CRole& r) { r = role; });
    return *it == role;
}

bool renameRole(CVarE& v, const QString& strFrom, const QString& strTo) {
    const auto it = v.findRoleByName(strFrom);
    return it != v.getRoles().end() && v.renameRole(it, strTo);
}

bool moveLoop(CVarE& v, int nFrom, int nTo) {
    const auto it = v.getLoopAt(CTimeCode::fromFrames(nFrom));
    bool bOk = false;
    if (it != v.getLoops().end()) v.moveLoop(it, CTimeCode::fromFrames(nTo), &bOk);
    return bOk;
}

bool moveShot(CVarE& v, int nFrom, int nTo) {
    const auto it = v.getShotAt(CTimeCode::fromFrames(nFrom));
    bool bOk = false;
    if (it != v.getShots().end()) v.moveShot(it, CTimeCode::fromFrames(nTo), &bOk);
    return bOk;
}

bool eraseShot(CVarE& v, int nFrame) {
    const auto it = v.getShotAt(CTimeCode::fromFrames(nFrame));
    if (it == v.getShots().end()) return false;
    v.deleteShot(it);
    return true;
}

// One change done again (bUndo false) or taken back (bUndo true).
struct CApply {
    CVarE& v;
    bool bUndo;

    bool operator()(const J::SHeader& c) const {
        v.set(c.e, bUndo ? c.strBefore : c.strAfter);
        return true;
    }
    bool operator()(const J::STimeStamp& c) const {
        v.setTimeStamp(bUndo ? c.tcBefore : c.tcAfter);
        return true;
    }
    bool operator()(const J::SFrameRate& c) const {
        v.setFrameRate(bUndo ? c.nBefore : c.nAfter);
        v.setDropFrame(bUndo ? c.bDropBefore : c.bDropAfter);
        return true;
    }
    // Back where they were, items may lie after 23:59:59:00 again.
    bool operator()(const J::SShift& c) const {
        return v.shift(bUndo ? -c.nFrames : c.nFrames, CTimeCode::fromFrames(CTimeCode::FRAMES_PER_DAY - 1));
    }
    bool operator()(const J::SAddLine& c) const { return bUndo ? eraseLine(v, c.line) : addLine(v, c.line); }
    bool operator()(const J::SEraseLine& c) const {
        return bUndo ? addLine(v, c.line) : eraseLine(v, c.line);
    }
    bool operator()(const J::SReplaceLine& c) const {
        return bUndo ? replaceLine(v, c.after, c.before) : replaceLine(v, c.before, c.after);
    }
    bool operator()(const J::SAddLoop& c) const {
        return bUndo ? eraseLoop(v, c.loop.getFrames()) : insertLoop(v, c.loop);
    }
    bool operator()(const J::SEraseLoop& c) const {
        return bUndo ? insertLoop(v, c.loop) : eraseLoop(v, c.loop.getFrames());
    }
    bool operator()(const J::SMoveLoop& c) const {
        return bUndo ? moveLoop(v, c.nAfter, c.nBefore) : moveLoop(v, c.nBefore, c.nAfter);
    }
    bool operator()(const J::SRenumberLoops& c) const {
        const auto it = v.getLoopAt(CTimeCode::fromFrames(c.nFrom));
        if (it == v.getLoops().end()) return false;
        v.setLoopNumbers(it, bUndo ? c.before : c.after);
        return true;
    }
    bool operator()(const J::SAddShot& c) const {
        return bUndo ? eraseShot(v, c.nFrame) : v.addShot(CTimeCode::fromFrames(c.nFrame));
    }
    bool operator()(const J::SEraseShot& c) const {
        return bUndo ? v.addShot(CTimeCode::fromFrames(c.nFrame)) : eraseShot(v, c.nFrame);
    }
    bool operator()(const J::SMoveShot& c) const {
        return bUndo ? moveShot(v, c.nAfter, c.nBefore) : moveShot(v, c.nBefore, c.nAfter);
    }
    bool operator()(const J::SAddRole& c) const {
        return bUndo ? deleteRole(v, c.role.getName()) : addRole(v, c.role);
    }
    bool operator()(const J::SEraseRole& c) const {
        if (!bUndo) return deleteRole(v, c.role.getName());
        if (!addRole(v, c.role)) return false;
        // Its phrases get it back.
        const auto role = v.findRoleByName(c.role.getName());
        for (const SLineKey& key : c.lines) {
            const auto it = v.findLine(key);
            if (it == v.getLines().end()) return false;
            v.setLineRole(it, role);
        }
        return true;
    }
    bool operator()(const J::SRenameRole& c) const {
        return bUndo ? renameRole(v, c.strAfter, c.strBefore) : renameRole(v, c.strBefore, c.strAfter);
    }
    bool operator()(const J::SChangeRole& c) const { return setRole(v, bUndo ? c.before : c.after); }
};
} // namespace

CScriptJournal::SLineRecord::SLineRecord(const CLine& l) : line(l), bRole(l.hasRole()) {
    if (bRole) strRole = l.getRole().getName();
    line.setRole(nullptr);
}

CScriptJournal::CScriptJournal(int nDepth) : m_nDepth(std::max(nDepth, 1)) {}

void CScriptJournal::setDepth(int nDepth) {
    m_nDepth = std::max(nDepth, 1);
    while (int(m_steps.size()) > m_nDepth) {
        if (m_nCurrent == 0) {
            m_steps.pop_back(); // undone steps go before done ones
            if (m_nClean > int(m_steps.size())) m_nClean = -1;
            continue;
        }
        m_steps.pop_front();
        --m_nCurrent;
        m_nClean = m_nClean > 0 ? m_nClean - 1 : -1;
    }
}

void CScriptJournal::beginStep(const QString& strLabel, int nMergeId) {
    if (m_nOpen++ > 0) return;
    m_open = {strLabel, nMergeId, {}};
}

bool CScriptJournal::endStep() {
    if (m_nOpen == 0 || --m_nOpen > 0) return false;
    SStep step = std::move(m_open);
    m_open = {};
    if (step.changes.empty()) return false;

    // A new step takes the place of every undone one.
    if (m_nClean > m_nCurrent) m_nClean = -1;
    m_steps.erase(m_steps.begin() + m_nCurrent, m_steps.end());

    const bool bMerge = step.nMergeId != 0 && m_bLastRecorded && m_nCurrent > 0 &&
                        m_steps[size_t(m_nCurrent - 1)].nMergeId == step.nMergeId && m_nClean != m_nCurrent;
    if (bMerge) {
        for (Change& c : step.changes)
            append(m_steps.back().changes, std::move(c));
    } else {
        m_steps.push_back(std::move(step));
        ++m_nCurrent;
        setDepth(m_nDepth);
    }
    m_bLastRecorded = true;
    return true;
}

QString CScriptJournal::getUndoLabel() const {
    return canUndo() ? m_steps[size_t(m_nCurrent - 1)].strLabel : QString();
}

QString CScriptJournal::getRedoLabel() const {
    return canRedo() ? m_steps[size_t(m_nCurrent)].strLabel : QString();
}

bool CScriptJournal::apply(CVarE& script, const SStep& step, bool bUndo) {
    m_bApplying = true;
    bool bOk = true;
    const CApply apply{script, bUndo};
    if (bUndo) {
        for (auto c = step.changes.rbegin(); bOk && c != step.changes.rend(); ++c)
            bOk = std::visit(apply, *c);
    } else {
        for (auto c = step.changes.begin(); bOk && c != step.changes.end(); ++c)
            bOk = std::visit(apply, *c);
    }
    m_bApplying = false;
    m_bLastRecorded = false;
    return bOk;
}

bool CScriptJournal::undo(CVarE& script) {
    if (!canUndo()) return false;
    if (!apply(script, m_steps[size_t(m_nCurrent - 1)], true)) {
        dropHistory();
        return false;
    }
    --m_nCurrent;
    return true;
}

bool CScriptJournal::redo(CVarE& script) {
    if (!canRedo()) return false;
    if (!apply(script, m_steps[size_t(m_nCurrent)], false)) {
        dropHistory();
        return false;
    }
    ++m_nCurrent;
    return true;
}

void CScriptJournal::clear() {
    m_nClean = isClean() ? 0 : -1;
    m_steps.clear();
    m_nCurrent = 0;
    m_open.changes.clear();
    m_bLastRecorded = false;
}

void CScriptJournal::dropHistory() {
    m_steps.clear();
    m_nCurrent = 0;
    m_nClean = -1;
    m_open.changes.clear();
    m_bLastRecorded = false;
}

void CScriptJournal::record(Change&& change) {
    if (m_bApplying) return;
    if (m_nOpen == 0) return dropHistory();
    append(m_open.changes, std::move(change));
}

// Successive changes of one phrase (typing) make one change from the first value to the last.
namespace {
// Whether a change touches the phrase at a key.
bool touchesLine(const J::Change& c, const SLineKey& key) {
    if (const auto* p = std::get_if<J::SAddLine>(&c)) return p->line.line.getKey() == key;
    if (const auto* p = std::get_if<J::SEraseLine>(&c)) return p->line.line.getKey() == key;
    if (const auto* p = std::get_if<J::SReplaceLine>(&c))
        return p->before.line.getKey() == key || p->after.line.getKey() == key;
    if (const auto* p = std::get_if<J::SEraseRole>(&c))
        return std::find(p->lines.begin(), p->lines.end(), key) != p->lines.end();
    return std::holds_alternative<J::SShift>(c);
}

bool sameRecord(const J::SLineRecord& a, const J::SLineRecord& b) {
    return a.line.isIdentical(b.line) && a.bRole == b.bRole && a.strRole == b.strRole;
}
} // namespace

void CScriptJournal::append(std::vector<Change>& changes, Change&& change) {
    // A phrase added and taken away again within a step (a new phrase whose role was refused) leaves
    // nothing to undo.
    if (const auto* pErase = std::get_if<SEraseLine>(&change)) {
        const SLineKey key = pErase->line.line.getKey();
        for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
            if (!touchesLine(*it, key)) continue;
            const auto* pAdd = std::get_if<SAddLine>(&*it);
            if (pAdd && sameRecord(pAdd->line, pErase->line)) {
                changes.erase(std::next(it).base());
                return;
            }
            break;
        }
    }
    // Shifts one after the other are one shift; shifts that bring the script back leave nothing.
    if (const auto* pShift = std::get_if<SShift>(&change); pShift && !changes.empty()) {
        if (auto* pLast = std::get_if<SShift>(&changes.back())) {
            pLast->nFrames += pShift->nFrames;
            if (pLast->nFrames == 0) changes.pop_back();
            return;
        }
    }
    if (!changes.empty()) {
        auto* pLast = std::get_if<SReplaceLine>(&changes.back());
        auto* pNext = std::get_if<SReplaceLine>(&change);
        if (pLast && pNext && pLast->after.line.getKey() == pNext->before.line.getKey()) {
            pLast->after = std::move(pNext->after);
            return;
        }
    }
    changes.push_back(std::move(change));
}

// ---------------------------------------------------------------- what the script tells

void CScriptJournal::scriptReset(const CVarE&) {
    if (!m_bApplying) dropHistory();
}

void CScriptJournal::headerChanged(const CVarE& v, CVarE::EHeader e, const QString& strBefore) {
    record(SHeader{e, strBefore, v.get(e)});
}

void CScriptJournal::timeStampChanged(const CVarE& v, const CTimeCode& tcBefore) {
    record(STimeStamp{tcBefore, v.getTimeStamp()});
}

void CScriptJournal::frameRateChanged(const CVarE& v, int nRateBefore, bool bDropBefore) {
    record(SFrameRate{nRateBefore, bDropBefore, v.getFrameRate(), v.isDropFrame()});
}

void CScriptJournal::shifted(const CVarE&, int nFrames) {
    record(SShift{nFrames});
}

void CScriptJournal::lineAdded(const CVarE&, CVarE::LineIterator it) {
    record(SAddLine{SLineRecord(*it)});
}

void CScriptJournal::lineErasing(const CVarE&, CVarE::LineIterator it) {
    record(SEraseLine{SLineRecord(*it)});
}

void CScriptJournal::lineReplaced(const CVarE&, const CLine& before, CVarE::LineIterator it) {
    record(SReplaceLine{SLineRecord(before), SLineRecord(*it)});
}

void CScriptJournal::loopAdded(const CVarE&, CVarE::LoopIterator it) {
    record(SAddLoop{*it});
}

void CScriptJournal::loopErasing(const CVarE&, CVarE::LoopIterator it) {
    record(SEraseLoop{*it});
}

void CScriptJournal::loopMoved(const CVarE&, const CTimeCode& tcBefore, CVarE::LoopIterator it) {
    record(SMoveLoop{tcBefore.getFrames(), it->getFrames()});
}

void CScriptJournal::loopsRenumbered(const CVarE& v, CVarE::LoopIterator from,
                                     const std::vector<int>& before) {
    std::vector<int> after;
    after.reserve(before.size());
    for (auto it = from; it != v.getLoops().end(); ++it)
        after.push_back(it->getNumber());
    record(SRenumberLoops{from->getFrames(), before, std::move(after)});
}

void CScriptJournal::shotAdded(const CVarE&, CVarE::ShotIterator it) {
    record(SAddShot{it->getFrames()});
}

void CScriptJournal::shotErasing(const CVarE&, CVarE::ShotIterator it) {
    record(SEraseShot{it->getFrames()});
}

void CScriptJournal::shotMoved(const CVarE&, const CTimeCode& tcBefore, CVarE::ShotIterator it) {
    record(SMoveShot{tcBefore.getFrames(), it->getFrames()});
}

void CScriptJournal::roleAdded(const CVarE&, CVarE::RoleIterator it) {
    record(SAddRole{*it});
}

void CScriptJournal::roleErasing(const CVarE&, CVarE::RoleIterator it,
                                 const std::vector<CVarE::LineIterator>& lines) {
    std::vector<SLineKey> keys;
    keys.reserve(lines.size());
    for (const auto& l : lines)
        keys.push_back(l->getKey());
    record(SEraseRole{*it, std::move(keys)});
}

void CScriptJournal::roleRenamed(const CVarE&, const QString& strBefore, CVarE::RoleIterator it) {
    record(SRenameRole{strBefore, it->getName()});
}

void CScriptJournal::roleChanged(const CVarE&, const CRole& before, CVarE::RoleIterator it) {
    record(SChangeRole{before, *it});
}
