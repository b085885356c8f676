#pragma once

#include "vare/ScriptObserver.h"

#include <QString>
#include <deque>
#include <variant>
#include <vector>

// The undo history of a script. Attached to a script as an observer, it records the changes made
// between beginStep() and endStep() as one step, and undoes or redoes whole steps through the script's
// own operations, so that every other observer sees them as ordinary changes.
//
// Items are found again by what identifies them in the script, never by iterators kept across steps:
// phrases by their key (first frame, track), roles by name, loops and shot changes by frame. Phrases are
// kept without their role pointer, with the role's name, and get the role of that name back when they
// return: a step may outlive the role a phrase had.
//
// A change made outside a step cannot be undone, and the steps recorded before it no longer apply to
// the script: the history is dropped. So is it when the script is replaced (cleared, read, copied).
class CScriptJournal : public IScriptObserver {
public:
    static constexpr int DEFAULT_DEPTH = 100;

    explicit CScriptJournal(int nDepth = DEFAULT_DEPTH);

    // The number of steps kept; the oldest go first.
    void setDepth(int nDepth);
    int getDepth() const { return m_nDepth; }

    // Steps nest: only the outermost pair makes a step, with the outermost label. With nMergeId other
    // than 0 the step joins the previous one when that one was the last recorded, with the same id, and
    // the script was not saved in between (typing in one edit session is one step).
    void beginStep(const QString& strLabel, int nMergeId = 0);
    // Closes the step; false when it changed nothing (no step is kept) or is not the outermost.
    bool endStep();
    bool isInStep() const { return m_nOpen > 0; }

    bool canUndo() const { return m_nOpen == 0 && m_nCurrent > 0; }
    bool canRedo() const { return m_nOpen == 0 && m_nCurrent < int(m_steps.size()); }
    // The caller's label of the step that undo() (redo()) would take back; empty when none.
    QString getUndoLabel() const;
    QString getRedoLabel() const;
    int getUndoCount() const { return m_nCurrent; }
    int getRedoCount() const { return int(m_steps.size()) - m_nCurrent; }
    // False when there is nothing to undo (redo), inside a step, or when the script no longer holds what
    // the step changed (it was changed behind the journal's back): the history is then dropped.
    bool undo(CVarE& script);
    bool redo(CVarE& script);

    void clear();
    // The script as it is now is the one saved: undoing or redoing back to this point makes it clean.
    void markClean() { m_nClean = m_nCurrent; }
    // The script as it is now differs from its file (read from a backup, say): no step is clean.
    void markNeverClean() { m_nClean = -1; }
    bool isClean() const { return m_nClean == m_nCurrent && m_open.changes.empty(); }

    // --- IScriptObserver
    void scriptReset(const CVarE&) override;
    void headerChanged(const CVarE&, CVarE::EHeader e, const QString& strBefore) override;
    void timeStampChanged(const CVarE&, const CTimeCode& tcBefore) override;
    void frameRateChanged(const CVarE&, int nRateBefore, bool bDropBefore) override;
    void shifted(const CVarE&, int nFrames) override;
    void lineAdded(const CVarE&, CVarE::LineIterator it) override;
    void lineErasing(const CVarE&, CVarE::LineIterator it) override;
    void lineReplaced(const CVarE&, const CLine& before, CVarE::LineIterator it) override;
    void loopAdded(const CVarE&, CVarE::LoopIterator it) override;
    void loopErasing(const CVarE&, CVarE::LoopIterator it) override;
    void loopMoved(const CVarE&, const CTimeCode& tcBefore, CVarE::LoopIterator it) override;
    void loopsRenumbered(const CVarE&, CVarE::LoopIterator from, const std::vector<int>& before) override;
    void shotAdded(const CVarE&, CVarE::ShotIterator it) override;
    void shotErasing(const CVarE&, CVarE::ShotIterator it) override;
    void shotMoved(const CVarE&, const CTimeCode& tcBefore, CVarE::ShotIterator it) override;
    void roleAdded(const CVarE&, CVarE::RoleIterator it) override;
    void roleErasing(const CVarE&, CVarE::RoleIterator it,
                     const std::vector<CVarE::LineIterator>& lines) override;
    void roleRenamed(const CVarE&, const QString& strBefore, CVarE::RoleIterator it) override;
    void roleChanged(const CVarE&, const CRole& before, CVarE::RoleIterator it) override;

    // A phrase as the journal keeps it: no pointer into the script, its role by name.
    struct SLineRecord {
        CLine line; // without role
        QString strRole;
        bool bRole = false;
        explicit SLineRecord(const CLine& l);
    };
    struct SHeader {
        CVarE::EHeader e;
        QString strBefore, strAfter;
    };
    struct STimeStamp {
        CTimeCode tcBefore, tcAfter;
    };
    struct SFrameRate {
        int nBefore;
        bool bDropBefore;
        int nAfter;
        bool bDropAfter;
    };
    struct SShift {
        int nFrames;
    };
    struct SAddLine {
        SLineRecord line;
    };
    struct SEraseLine {
        SLineRecord line;
    };
    struct SReplaceLine {
        SLineRecord before, after;
    };
    struct SAddLoop {
        CLoop loop;
    };
    struct SEraseLoop {
        CLoop loop;
    };
    struct SMoveLoop {
        int nBefore, nAfter;
    };
    struct SRenumberLoops {
        int nFrom; // frame of the first loop renumbered
        std::vector<int> before, after;
    };
    struct SAddShot {
        int nFrame;
    };
    struct SEraseShot {
        int nFrame;
    };
    struct SMoveShot {
        int nBefore, nAfter;
    };
    struct SAddRole {
        CRole role;
    };
    struct SEraseRole {
        CRole role;
        std::vector<SLineKey> lines; // the phrases that had it
    };
    struct SRenameRole {
        QString strBefore, strAfter;
    };
    struct SChangeRole {
        CRole before, after;
    };
    using Change = std::variant<SHeader, STimeStamp, SFrameRate, SShift, SAddLine, SEraseLine, SReplaceLine,
                                SAddLoop, SEraseLoop, SMoveLoop, SRenumberLoops, SAddShot, SEraseShot,
                                SMoveShot, SAddRole, SEraseRole, SRenameRole, SChangeRole>;

private:
    struct SStep {
        QString strLabel;
        int nMergeId = 0;
        std::vector<Change> changes;
    };

    void record(Change&& change);
    static void append(std::vector<Change>& changes, Change&& change);
    void dropHistory();
    bool apply(CVarE& script, const SStep& step, bool bUndo);

    std::deque<SStep> m_steps; // [0, m_nCurrent) done, the rest undone
    int m_nCurrent = 0;
    int m_nClean = 0; // the step count at which the script was saved; -1 when out of reach
    int m_nDepth;
    int m_nOpen = 0; // nesting of beginStep
    SStep m_open;
    bool m_bLastRecorded = false; // the top step was recorded last (no undo, redo or clear since)
    bool m_bApplying = false;     // the journal's own undo or redo is running
};
