#pragma once

#include "base/TraceLog.h"
#include "vare/ScriptItems.h"

#include <QString>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <vector>

// Receives the bookmarks found in a script file (the application shows them in its position menu).
class IBookmarkSink {
public:
    virtual ~IBookmarkSink() = default;
    virtual void addBookmark(const CTimeCode& tc, const QString& strLabel) = 0;
};

// Script order of phrases: first sign's frame, then track. Probes by (frame, track) need no phrase.
struct SLineKey {
    int nFrame;
    int nTrack;
};
struct CLineOrder {
    using is_transparent = void;
    static SLineKey key(const CLine& l) { return {l.getStartFrame(), l.getTrack()}; }
    static SLineKey key(const SLineKey& k) { return k; }
    template <class A, class B> bool operator()(const A& a, const B& b) const {
        const SLineKey x = key(a), y = key(b);
        return x.nFrame != y.nFrame ? x.nFrame < y.nFrame : x.nTrack < y.nTrack;
    }
};

// One dubbing script in memory: header, roles, phrases, loops and shot changes, with the ordered
// look-ups the band uses many times a second. Every look-up is logarithmic in the number of phrases.
//
// Phrases are held in a set ordered by (first frame, track). Code that changes a phrase in place goes
// through updateLine(), which takes the phrase out and puts it back, so a change of its first frame or
// track keeps the order right. Roles live in a set ordered by name whose nodes never move: phrases
// point at them, and renameRole/deleteRole/mergeRole keep those pointers right.
//
// A script is used by one thread at a time (the auto-save stores a deep copy): even the const look-ups
// keep a cache of their own.
class CVarE {
public:
    using LineSet = std::set<CLine, CLineOrder>;
    using LineIterator = LineSet::const_iterator;
    using RoleSet = std::set<CRole>;
    using RoleIterator = RoleSet::const_iterator;
    using LoopSet = std::set<CLoop>;
    using LoopIterator = LoopSet::const_iterator;
    using ShotSet = std::set<CBalise>;
    using ShotIterator = ShotSet::const_iterator;

    // The header's text fields, in file order. The keys name them in JSON and tools.
    enum EHeader {
        H_TITLE,
        H_TITLE2,
        H_EPISODE_NUMBER,
        H_SEASON,
        H_EPISODE_TITLE,
        H_EPISODE_TITLE2,
        H_DETECTOR_NAME,
        H_DETECTOR_FIRST_NAME,
        H_FIRST_AUTHOR_NAME,
        H_FIRST_AUTHOR_FIRST_NAME,
        H_SECOND_AUTHOR_NAME,
        H_SECOND_AUTHOR_FIRST_NAME,
        H_PRODUCER,
        H_YEAR,
        H_DISTRIBUTOR,
        H_DIRECTOR,
        H_ACTORS,
        H_DIFFUSER,
        H_COUNTRY,
        H_NOTES,
        H_SUMMARY,
        H_VIDEO_FILE,
        H_AUDIO_FILE,
        H_FIRST_LOOP_NUMBER,
        H_COUNT
    };
    static const char* headerKey(EHeader e);

    CVarE();
    CVarE(const CVarE&) = delete;
    CVarE& operator=(const CVarE&) = delete;
    virtual ~CVarE();

    CTraceLog& log() { return m_log; }
    void clear();
    // Deep copy of another script into this (cleared) one.
    void copyFrom(const CVarE& other);
    // Exchanges the contents (not the logs) of two scripts in constant time; phrases keep pointing at
    // their roles, which move with them.
    void swap(CVarE& other);

    // --- files (VarE XML and the legacy detection format)
    bool load(const QString& strPath, IBookmarkSink* pBookmarks = nullptr);
    // The same from the bytes of a file already read; strPath names it in the log.
    bool loadFromData(const QByteArray& data, const QString& strPath, IBookmarkSink* pBookmarks = nullptr);
    bool store(const QString& strPath, const QString& strVersion = QStringLiteral(TAVORIN_VERSION));
    bool importDet(const QString& strPath);

    // --- header
    const QString& get(EHeader e) const { return m_aHeader[size_t(e)]; }
    void set(EHeader e, const QString& str) { m_aHeader[size_t(e)] = str; }
    QString getEpisodeLabel() const;
    void setVideoFile(const QString& strPath);
    const CTimeCode& getTimeStamp() const { return m_tcTimeStamp; }
    void setTimeStamp(const CTimeCode& tc) { m_tcTimeStamp = tc; }
    const CTimeCode& getLastPosition() const { return m_tcLastPosition; }
    void setLastPosition(const CTimeCode& tc) { m_tcLastPosition = tc; }
    int getLastTrack() const { return m_nLastTrack; }
    void setLastTrack(int n) { m_nLastTrack = n; }
    int getTrackCount() const { return m_nTrackCount; }
    int getFrameRate() const { return m_nFrameRate; }
    void setFrameRate(int n) { m_nFrameRate = n; }
    bool isDropFrame() const { return m_bDropFrame; }
    void setDropFrame(bool b) { m_bDropFrame = b; }
    // The number the first loop carries: the first loop's when there are loops, else the header's.
    int getFirstLoopNumber() const;
    // Sets the header's first loop number and, when above 0, renumbers every loop from it.
    void setFirstLoopNumber(int n);

    // --- shifting the whole band; false (and nothing changed) when something would leave the day
    bool shift(int nFrames);

    // --- phrases
    const LineSet& getLines() const { return m_lines; }
    int getLineCount() const { return int(m_lines.size()); }
    std::pair<LineIterator, bool> addLine(const CLine& line);
    std::pair<LineIterator, bool> addLine(CLine&& line);
    LineIterator eraseLine(LineIterator it);
    // Applies a change to a phrase and puts it back in order. When the changed phrase would collide
    // with another (same first frame and track) or lost all its signs, the change is undone and end()
    // is returned with *pbOk false. Returns the phrase's new position.
    LineIterator updateLine(LineIterator it, const std::function<void(CLine&)>& change, bool* pbOk = nullptr);
    // Changes that cannot move a phrase (text, flags, links, types) may be made in place.
    CLine& editLine(LineIterator it) {
        indexChanged(); // a type change can open or close the phrase
        return const_cast<CLine&>(*it);
    }

    LineIterator lineLowerBound(const CTimeCode& tc, int nTrack) const;
    LineIterator lineUpperBound(const CTimeCode& tc, int nTrack) const;
    LineIterator getPreviousLine(int nTrack, const CTimeCode& tc, bool bStrict, bool bLoop) const;
    LineIterator getNextLine(int nTrack, const CTimeCode& tc, bool bStrict, bool bLoop) const;
    LineIterator getLineAt(int nTrack, const CTimeCode& tc, bool bLoop = true) const;
    // The next sign after tc on any track (sign index in the phrase), or end() with -1.
    std::pair<LineIterator, int> getNextSign(const CTimeCode& tc) const;
    std::pair<LineIterator, int> getPreviousSign(const CTimeCode& tc) const;

    // --- loops
    const LoopSet& getLoops() const { return m_loops; }
    bool addLoop(const CLoop& loop);
    LoopIterator deleteLoop(LoopIterator it);
    LoopIterator getLoopAt(const CTimeCode& tc) const;
    LoopIterator loopLowerBound(const CTimeCode& tc) const { return m_loops.lower_bound(CLoop(tc, 0)); }
    LoopIterator loopUpperBound(const CTimeCode& tc) const { return m_loops.upper_bound(CLoop(tc, 0)); }
    LoopIterator getPreviousLoop(const CTimeCode& tc, bool bStrict) const;
    void renumberLoops(LoopIterator from, int nNumber);
    // The file just read numbered its loops from 0 (numbers 0 are given the next free number on
    // reading, so the loops may now repeat a number until they are numbered again).
    bool loopsNumberedFromZero() const { return m_bLoopsFromZero; }

    // --- shot changes
    const ShotSet& getShots() const { return m_shots; }
    bool addShot(const CTimeCode& tc);
    ShotIterator deleteShot(ShotIterator it) { return m_shots.erase(it); }
    ShotIterator getShotAt(const CTimeCode& tc) const;
    ShotIterator shotLowerBound(const CTimeCode& tc) const { return m_shots.lower_bound(CBalise(tc)); }
    ShotIterator shotUpperBound(const CTimeCode& tc) const { return m_shots.upper_bound(CBalise(tc)); }
    ShotIterator getPreviousShot(const CTimeCode& tc) const;

    // --- roles
    const RoleSet& getRoles() const { return m_roles; }
    std::pair<RoleIterator, bool> addRole(const CRole& role);
    RoleIterator findRole(const QString& strId) const;
    RoleIterator findRoleByName(const QString& strName) const;
    void deleteRole(RoleIterator it);
    // Adds a role from another script with an id made again from its name (and a counter while taken).
    std::pair<RoleIterator, bool> mergeRole(const CRole& role);
    // Changes a role's name; the phrases follow. False (and nothing changed) when the name is taken.
    bool renameRole(RoleIterator it, const QString& strName);
    // Changes other fields of a role (not its name) in place.
    CRole& editRole(RoleIterator it) { return const_cast<CRole&>(*it); }

private:
    // Per track, the phrases' start frames in time order in one contiguous array that the band's
    // look-ups binary-search, with what they need of each phrase beside it; and the loops' frames.
    // Rebuilt on the first look-up after a change.
    struct STrackEntry {
        int nClose; // frame of the first closing sign, INT_MAX for an open phrase
        LineIterator it;
    };
    struct TrackIndex {
        std::vector<int> starts;
        std::vector<STrackEntry> entries;
        mutable int nHint = 0; // the last answer: the band asks about nearby frames again and again
    };
    void indexChanged() { m_bIndexDirty = true; }
    void rebuildIndex() const;
    const TrackIndex* trackIndex(int nTrack) const;
    // Index of the last entry starting at or before nFrame (strictly before when bStrict), -1 if none.
    static int lastStartingBefore(const TrackIndex& index, int nFrame, bool bStrict);
    int loopFrameAtOrBefore(int nFrame) const; // INT_MIN when none
    int loopFrameAfter(int nFrame) const;      // INT_MAX when none

    CTraceLog m_log;
    std::array<QString, H_COUNT> m_aHeader;
    CTimeCode m_tcTimeStamp;
    CTimeCode m_tcLastPosition;
    int m_nLastTrack = 0;
    int m_nTrackCount = 0;
    LineSet m_lines;
    mutable std::map<int, TrackIndex> m_tracks;
    mutable std::vector<int> m_loopFrames;
    mutable bool m_bIndexDirty = false;
    RoleSet m_roles;
    LoopSet m_loops;
    ShotSet m_shots;
    int m_nFrameRate = 25;
    bool m_bDropFrame = false;
    bool m_bLoopsFromZero = false;
};
