#pragma once

#include "base/TraceLog.h"
#include "vare/ScriptItems.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <vector>

class IScriptObserver;

// Receives the bookmarks found in a script file (the application shows them in its position menu).
class IBookmarkSink {
public:
    virtual ~IBookmarkSink() = default;
    virtual void addBookmark(const CTimeCode& tc, const QString& strLabel) = 0;
};

// Gives the bookmarks to write with a script.
class IBookmarkSource {
public:
    virtual ~IBookmarkSource() = default;
    virtual int getBookmarkCount() const = 0;
    virtual void getBookmark(int i, CTimeCode& tc, QString& strLabel) const = 0;
};

// Bookmarks held by value, in the order they came: what a tool reads from one file and writes to another.
class CBookmarkArray : public IBookmarkSink, public IBookmarkSource {
public:
    void addBookmark(const CTimeCode& tc, const QString& strLabel) override {
        m_items.push_back({tc, strLabel});
    }
    int getBookmarkCount() const override { return int(m_items.size()); }
    void getBookmark(int i, CTimeCode& tc, QString& strLabel) const override {
        tc = m_items[size_t(i)].first;
        strLabel = m_items[size_t(i)].second;
    }
    std::vector<std::pair<CTimeCode, QString>> m_items;
};

// The one order of phrases in a script: their keys (first frame, track). Probes by key need no phrase.
struct CLineOrder {
    using is_transparent = void;
    static SLineKey key(const CLine& l) { return l.getKey(); }
    static SLineKey key(const SLineKey& k) { return k; }
    template <class A, class B> bool operator()(const A& a, const B& b) const { return key(a) < key(b); }
};

// One dubbing script in memory: header, roles, phrases, loops and shot changes, with the ordered
// look-ups the band uses many times a second. Every look-up is logarithmic in the number of phrases.
//
// The script keeps its own rules: its items are reached as const, and every change goes through one of
// the operations below, which keeps the sets ordered, the phrases' role pointers and the look-up index
// right, and tells the observers (ScriptObserver.h) what changed, with enough to undo it. Phrases change
// through updateLine(), which takes the phrase out and puts it back (the node, and so every pointer to
// the phrase, stays the same). Roles live in a set ordered by name whose nodes never move: phrases point
// at them. View state (last position and track) is set freely and is not a change of the script.
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
    // Exchanges the contents (not the logs, not the observers) of two scripts in constant time; phrases
    // keep pointing at their roles, which move with them. The observers of both are told that their
    // script was replaced.
    void swap(CVarE& other);
    // The same script: header (first loop number included), rate, roles, phrases with their flags, loops
    // with their numbers, shot changes. The view state and the track count take no part.
    bool operator==(const CVarE& o) const;
    bool operator!=(const CVarE& o) const { return !(*this == o); }

    // --- observers, told of every change in the order they were added
    void addObserver(IScriptObserver* pObserver);
    void removeObserver(IScriptObserver* pObserver);

    // --- files (VarE XML and the legacy detection format)
    bool load(const QString& strPath, IBookmarkSink* pBookmarks = nullptr);
    // The same from the bytes of a file already read; strPath names it in the log.
    bool loadFromData(const QByteArray& data, const QString& strPath, IBookmarkSink* pBookmarks = nullptr);
    // Why the last load refused a text that is well-formed XML but no script could be (in French, for
    // "Impossible d'ouvrir le fichier « x » : <reason>."); empty otherwise.
    const QString& getLoadProblem() const { return m_strLoadProblem; }
    // What the last load or import had to change to keep everything the file held (a phrase moved to
    // a free track, a repeated role name made distinct) or could not keep, one French sentence each.
    const QStringList& getLoadChanges() const { return m_loadChanges; }
    // For the readers: adds a sentence to those changes and writes it to the log.
    void noteLoadChange(const QString& strChange);
    // For the readers: adds a phrase read from a file; one whose place (start and track) is taken goes
    // to the first free track, and what was done is noted.
    void addReadLine(CLine&& line);
    // The start of a phrase's text, for those sentences.
    static QString excerpt(const QString& strText);
    // Writes the script, and the bookmarks when given. Saving never changes the script.
    // On failure *pstrError (when given) gets the reason in French.
    bool store(const QString& strPath, const IBookmarkSource* pBookmarks = nullptr,
               const QString& strVersion = QStringLiteral(TAVORIN_VERSION),
               QString* pstrError = nullptr) const;
    bool importDet(const QString& strPath);

    // --- header
    const QString& get(EHeader e) const { return m_aHeader[size_t(e)]; }
    void set(EHeader e, const QString& str);
    QString getEpisodeLabel() const;
    // Stores the path, empties the audio file and makes the timestamp and the last position invalid.
    void setVideoFile(const QString& strPath);
    const CTimeCode& getTimeStamp() const { return m_tcTimeStamp; }
    void setTimeStamp(const CTimeCode& tc);
    int getFrameRate() const { return m_nFrameRate; }
    void setFrameRate(int n);
    bool isDropFrame() const { return m_bDropFrame; }
    void setDropFrame(bool b);
    // The number the first loop carries: the first loop's when there are loops, else the header's.
    int getFirstLoopNumber() const;
    // Sets the header's first loop number and, when above 0, renumbers every loop from it.
    void setFirstLoopNumber(int n);
    int getTrackCount() const { return m_nTrackCount; }

    // --- view state, written when saving; not a change of the script
    const CTimeCode& getLastPosition() const { return m_tcLastPosition; }
    void setLastPosition(const CTimeCode& tc) { m_tcLastPosition = tc; }
    int getLastTrack() const { return m_nLastTrack; }
    void setLastTrack(int n) { m_nLastTrack = n; }

    // --- shifting the whole band; false (and nothing changed) when an item would land before 0 or after
    // tcLast
    bool shift(int nFrames, const CTimeCode& tcLast = TC_MAX);

    // --- phrases
    const LineSet& getLines() const { return m_lines; }
    int getLineCount() const { return int(m_lines.size()); }
    // Refused (false) for a phrase without signs (end()) or whose key is taken (the phrase holding it).
    std::pair<LineIterator, bool> addLine(const CLine& line);
    std::pair<LineIterator, bool> addLine(CLine&& line);
    LineIterator eraseLine(LineIterator it);
    // Applies a change to a phrase and puts it back in order. When the changed phrase would collide
    // with another (same first frame and track) or lost all its signs, the change is undone and end()
    // is returned with *pbOk false. Returns the phrase's new position; the phrase keeps its node.
    LineIterator updateLine(LineIterator it, const std::function<void(CLine&)>& change, bool* pbOk = nullptr);
    // The same with the whole new value (its role must be one of this script's, or none).
    LineIterator replaceLine(LineIterator it, const CLine& line, bool* pbOk = nullptr);
    LineIterator findLine(const SLineKey& key) const { return m_lines.find(key); }
    // Thin helpers over updateLine for the edit view and the dialogs. They never move the phrase.
    LineIterator insertText(LineIterator it, const QString& str, int nPos);
    LineIterator deleteText(LineIterator it, int nPos, int nCount);
    LineIterator setLineRole(LineIterator it, RoleIterator role); // getRoles().end(): no role

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
    // Refused when the frame is invalid or taken. A number of 0 or less becomes the previous loop's + 1
    // (the header's first loop number for the first loop); the loops after it are numbered on from it.
    bool addLoop(const CLoop& loop);
    LoopIterator deleteLoop(LoopIterator it);
    // Moves a loop in time; false (nothing changed) when the frame is invalid or taken, or the loop
    // would reach or pass another loop (numbers follow the time order). Returns the new position.
    LoopIterator moveLoop(LoopIterator it, const CTimeCode& tc, bool* pbOk = nullptr);
    LoopIterator getLoopAt(const CTimeCode& tc) const;
    LoopIterator loopLowerBound(const CTimeCode& tc) const { return m_loops.lower_bound(CLoop(tc, 0)); }
    LoopIterator loopUpperBound(const CTimeCode& tc) const { return m_loops.upper_bound(CLoop(tc, 0)); }
    LoopIterator getPreviousLoop(const CTimeCode& tc, bool bStrict) const;
    // Numbers the loops from `from` consecutively from nNumber.
    void renumberLoops(LoopIterator from, int nNumber);
    // Gives the loops from `from` on the numbers given, in time order (as many as both have).
    void setLoopNumbers(LoopIterator from, const std::vector<int>& numbers);
    // The file just read numbered its loops from 0 (numbers 0 are given the next free number on
    // reading, so the loops may now repeat a number until they are numbered again).
    bool loopsNumberedFromZero() const { return m_bLoopsFromZero; }

    // --- shot changes
    const ShotSet& getShots() const { return m_shots; }
    // Refused when the frame is invalid or taken.
    bool addShot(const CTimeCode& tc);
    ShotIterator deleteShot(ShotIterator it);
    // Moves a shot change in time; false (nothing changed) when the frame is invalid or taken.
    ShotIterator moveShot(ShotIterator it, const CTimeCode& tc, bool* pbOk = nullptr);
    ShotIterator getShotAt(const CTimeCode& tc) const;
    ShotIterator shotLowerBound(const CTimeCode& tc) const { return m_shots.lower_bound(CBalise(tc)); }
    ShotIterator shotUpperBound(const CTimeCode& tc) const { return m_shots.upper_bound(CBalise(tc)); }
    ShotIterator getPreviousShot(const CTimeCode& tc) const;

    // --- roles. A role entering the script without an id, or with one another role holds, is given
    // one made from its name (with a counter while taken): ids are unique from then on.
    const RoleSet& getRoles() const { return m_roles; }
    std::pair<RoleIterator, bool> addRole(const CRole& role);
    RoleIterator findRole(const QString& strId) const;
    RoleIterator findRoleByName(const QString& strName) const;
    // Its phrases keep their place, unassigned.
    void deleteRole(RoleIterator it);
    // Adds a role from another script with an id made again from its name (and a counter while taken).
    std::pair<RoleIterator, bool> mergeRole(const CRole& role);
    // Changes a role's name; the phrases follow. False (and nothing changed) when the name is taken.
    bool renameRole(RoleIterator it, const QString& strName);
    // Changes the other fields of a role (a change of name is ignored: renameRole does that; an id
    // emptied or taken is made again from the name).
    void updateRole(RoleIterator it, const std::function<void(CRole&)>& change);

private:
    // While a file is read or a script copied, nobody is told of each item; at the end, everyone is told
    // that the script was replaced.
    class CQuiet {
    public:
        explicit CQuiet(CVarE& v);
        ~CQuiet();
        CQuiet(const CQuiet&) = delete;
        CQuiet& operator=(const CQuiet&) = delete;

    private:
        CVarE& m_v;
        std::vector<IScriptObserver*> m_saved;
    };

    // Per track, the phrases' start frames in time order in one contiguous array that the band's
    // look-ups binary-search, with what they need of each phrase beside it; and the loops' frames.
    // Kept up to date by every change of one item; rebuilt on the first look-up after a change of many.
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
    void indexInsert(LineIterator it);
    void indexErase(const SLineKey& key);
    void indexUpdate(const SLineKey& before, LineIterator it);
    static int closeFrame(const CLine& line);
    void loopFrameInsert(int nFrame);
    void loopFrameErase(int nFrame);
    const TrackIndex* trackIndex(int nTrack) const;
    // Index of the last entry starting at or before nFrame (strictly before when bStrict), -1 if none.
    static int lastStartingBefore(const TrackIndex& index, int nFrame, bool bStrict);
    int loopFrameAtOrBefore(int nFrame) const; // INT_MIN when none
    int loopFrameAfter(int nFrame) const;      // INT_MAX when none

    bool isObserved() const { return !m_observers.empty(); }
    bool ownsRole(const CLine& line) const; // the phrase's role, if any, is one of this script's
    template <class F> void notify(F f) const;
    void renumber(LoopIterator from, const std::function<int(int nIndex, int nOld)>& number);
    QString uniqueRoleId(const QString& strName, const QString& strId, const CRole* pSelf) const;
    // Changes that cannot move an item in its set are made in place, here only.
    template <class T> static T& mutableItem(const T& item) { return const_cast<T&>(item); }

    mutable CTraceLog m_log; // writing the log is no change of the script
    QString m_strLoadProblem;
    QStringList m_loadChanges;
    std::vector<IScriptObserver*> m_observers;
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
