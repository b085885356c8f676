#include "vare/VarE.h"

#include "vare/ScriptObserver.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <utility>

namespace {
// Loop numbers come from files: a number at the top of the range stays there rather than wrapping.
int loopNumberPlus(int n, long long nStep) {
    return int(std::clamp<long long>(n + nStep, INT_MIN, INT_MAX));
}
} // namespace

namespace {
const char* const s_aHeaderKeys[CVarE::H_COUNT] = {"title",
                                                   "title2",
                                                   "episodeNumber",
                                                   "season",
                                                   "episodeTitle",
                                                   "episodeTitle2",
                                                   "detectorName",
                                                   "detectorFirstName",
                                                   "firstAuthorName",
                                                   "firstAuthorFirstName",
                                                   "secondAuthorName",
                                                   "secondAuthorFirstName",
                                                   "producer",
                                                   "year",
                                                   "distributor",
                                                   "director",
                                                   "actors",
                                                   "diffuser",
                                                   "country",
                                                   "notes",
                                                   "summary",
                                                   "videoFile",
                                                   "audioFile",
                                                   "firstLoopNumber"};
} // namespace

const char* CVarE::headerKey(EHeader e) {
    return e >= 0 && e < H_COUNT ? s_aHeaderKeys[e] : "";
}

CVarE::CQuiet::CQuiet(CVarE& v) : m_v(v) {
    m_saved.swap(v.m_observers);
}

CVarE::CQuiet::~CQuiet() {
    m_v.m_observers.swap(m_saved);
    m_v.notify([&](IScriptObserver& o) { o.scriptReset(m_v); });
}

template <class F> void CVarE::notify(F f) const {
    for (IScriptObserver* p : m_observers)
        f(*p);
}

CVarE::CVarE() {
    m_aHeader[H_FIRST_LOOP_NUMBER] = QStringLiteral("1");
}

CVarE::~CVarE() {
    m_observers.clear();
    clear();
}

void CVarE::addObserver(IScriptObserver* pObserver) {
    if (pObserver && std::find(m_observers.begin(), m_observers.end(), pObserver) == m_observers.end())
        m_observers.push_back(pObserver);
}

void CVarE::removeObserver(IScriptObserver* pObserver) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), pObserver), m_observers.end());
}

void CVarE::clear() {
    m_log.Log("CVarE::clear()\n");
    {
        CLogIndent indent(m_log);
        m_log.Log("Clearing string...\n");
        for (QString& str : m_aHeader)
            str.clear();
        m_aHeader[H_FIRST_LOOP_NUMBER] = QStringLiteral("1");
        m_log.Log("Clearing TC...\n");
        m_tcTimeStamp = TC_INVALID;
        m_tcLastPosition = TC_INVALID;
        m_nFrameRate = 25;
        m_bDropFrame = false;
        m_nLastTrack = 0;
        m_nTrackCount = 0;
        m_log.Log("Clearing loop list...\n");
        m_loops.clear();
        m_bLoopsFromZero = false;
        m_log.Log("Clearing shot list...\n");
        m_shots.clear();
        m_log.Log("Clearing line list...\n");
        m_lines.clear();
        m_tracks.clear();
        m_loopFrames.clear();
        m_bIndexDirty = false;
        m_log.Log("Clearing role list...\n");
        m_roles.clear();
    }
    m_log.Log("CVarE::clear() => Ok\n");
    notify([&](IScriptObserver& o) { o.scriptReset(*this); });
}

void CVarE::copyFrom(const CVarE& o) {
    CQuiet quiet(*this);
    clear();
    m_aHeader = o.m_aHeader;
    m_nFrameRate = o.m_nFrameRate;
    m_bDropFrame = o.m_bDropFrame;
    m_tcTimeStamp = o.m_tcTimeStamp;
    m_tcLastPosition = o.m_tcLastPosition;
    m_nLastTrack = o.m_nLastTrack;
    for (const CRole& role : o.m_roles)
        mergeRole(role);
    m_loops = o.m_loops;
    m_shots = o.m_shots;
    indexChanged();
    for (const CLine& line : o.m_lines) {
        CLine copy(line);
        if (line.hasRole()) {
            auto it = findRoleByName(line.getRole().getName());
            copy.setRole(it == m_roles.end() ? nullptr : &*it);
        }
        addLine(std::move(copy));
    }
    m_nTrackCount = o.m_nTrackCount;
}

void CVarE::swap(CVarE& o) {
    std::swap(m_aHeader, o.m_aHeader);
    std::swap(m_tcTimeStamp, o.m_tcTimeStamp);
    std::swap(m_tcLastPosition, o.m_tcLastPosition);
    std::swap(m_nLastTrack, o.m_nLastTrack);
    std::swap(m_nTrackCount, o.m_nTrackCount);
    m_lines.swap(o.m_lines);
    m_tracks.swap(o.m_tracks);
    m_loopFrames.swap(o.m_loopFrames);
    std::swap(m_bIndexDirty, o.m_bIndexDirty);
    m_roles.swap(o.m_roles);
    m_loops.swap(o.m_loops);
    m_shots.swap(o.m_shots);
    std::swap(m_nFrameRate, o.m_nFrameRate);
    std::swap(m_bDropFrame, o.m_bDropFrame);
    std::swap(m_bLoopsFromZero, o.m_bLoopsFromZero);
    notify([&](IScriptObserver& obs) { obs.scriptReset(*this); });
    o.notify([&](IScriptObserver& obs) { obs.scriptReset(o); });
}

bool CVarE::operator==(const CVarE& o) const {
    if (m_aHeader != o.m_aHeader || m_tcTimeStamp.getFrames() != o.m_tcTimeStamp.getFrames() ||
        m_nFrameRate != o.m_nFrameRate || m_bDropFrame != o.m_bDropFrame)
        return false;
    if (m_roles != o.m_roles || m_shots != o.m_shots) return false;
    if (!std::equal(m_lines.begin(), m_lines.end(), o.m_lines.begin(), o.m_lines.end(),
                    [](const CLine& a, const CLine& b) { return a.isIdentical(b); }))
        return false;
    return std::equal(m_loops.begin(), m_loops.end(), o.m_loops.begin(), o.m_loops.end(),
                      [](const CLoop& a, const CLoop& b) {
                          return a.getFrames() == b.getFrames() && a.getNumber() == b.getNumber();
                      });
}

// ---------------------------------------------------------------- header

void CVarE::set(EHeader e, const QString& str) {
    QString& strField = m_aHeader[size_t(e)];
    if (strField == str) return;
    QString strBefore = std::exchange(strField, str);
    notify([&](IScriptObserver& o) { o.headerChanged(*this, e, strBefore); });
}

QString CVarE::getEpisodeLabel() const {
    const QString& strSeason = m_aHeader[H_SEASON];
    const QString& strNumber = m_aHeader[H_EPISODE_NUMBER];
    if (!strSeason.isEmpty())
        return QLatin1Char('#') + strSeason + (strNumber.size() == 1 ? QStringLiteral("0") : QString()) +
               strNumber;
    return QLatin1Char('#') + strNumber;
}

void CVarE::setVideoFile(const QString& strPath) {
    set(H_VIDEO_FILE, strPath);
    set(H_AUDIO_FILE, QString());
    setTimeStamp(TC_INVALID);
    m_tcLastPosition = TC_INVALID;
}

void CVarE::setTimeStamp(const CTimeCode& tc) {
    if (tc.getFrames() == m_tcTimeStamp.getFrames()) return;
    const CTimeCode tcBefore = std::exchange(m_tcTimeStamp, tc);
    notify([&](IScriptObserver& o) { o.timeStampChanged(*this, tcBefore); });
}

void CVarE::setFrameRate(int n) {
    if (n == m_nFrameRate) return;
    const int nBefore = std::exchange(m_nFrameRate, n);
    notify([&](IScriptObserver& o) { o.frameRateChanged(*this, nBefore, m_bDropFrame); });
}

void CVarE::setDropFrame(bool b) {
    if (b == m_bDropFrame) return;
    m_bDropFrame = b;
    notify([&](IScriptObserver& o) { o.frameRateChanged(*this, m_nFrameRate, !b); });
}

int CVarE::getFirstLoopNumber() const {
    if (!m_loops.empty()) return m_loops.begin()->getNumber();
    const QString& str = m_aHeader[H_FIRST_LOOP_NUMBER];
    if (str.trimmed().isEmpty()) return 1;
    return str.trimmed().toInt();
}

void CVarE::setFirstLoopNumber(int n) {
    set(H_FIRST_LOOP_NUMBER, QString::number(n));
    if (n > 0) renumberLoops(m_loops.begin(), n);
}

// ---------------------------------------------------------------- shift

bool CVarE::shift(int n, const CTimeCode& tcLast) {
    const long long nMax = tcLast.getFrames();
    auto outside = [&](long long f) { return f + n < 0 || f + n > nMax; };
    if (!m_lines.empty()) {
        // Every phrase's end is checked, not only the last one's: a long phrase may end after a later one
        // starts, and moving it past the end of the day would wrap its signs.
        if (outside(m_lines.begin()->getStartFrame())) return false;
        for (const CLine& line : m_lines)
            if (outside(line.getEndFrame())) return false;
    }
    if (!m_loops.empty() && (outside(m_loops.begin()->getFrames()) || outside(m_loops.rbegin()->getFrames())))
        return false;
    if (!m_shots.empty() && (outside(m_shots.begin()->getFrames()) || outside(m_shots.rbegin()->getFrames())))
        return false;
    if (n == 0) return true;

    // Every item moves by the same amount, so no set changes order.
    for (const CLine& line : m_lines)
        mutableItem(line).shift(n);
    for (const CLoop& loop : m_loops)
        mutableItem(loop).setTimeCode(loop.getTimeCode() + n);
    for (const CBalise& shot : m_shots)
        mutableItem(shot).setTimeCode(shot.getTimeCode() + n);
    indexChanged();
    notify([&](IScriptObserver& o) { o.shifted(*this, n); });
    return true;
}

// ---------------------------------------------------------------- the look-up index

int CVarE::closeFrame(const CLine& line) {
    const int i = line.getFirstClosingSign();
    return i < 0 ? INT_MAX : line.getSign(i).getFrames();
}

void CVarE::rebuildIndex() const {
    for (auto& [nTrack, index] : m_tracks) {
        index.starts.clear();
        index.entries.clear();
    }
    for (auto it = m_lines.begin(); it != m_lines.end(); ++it) {
        TrackIndex& index = m_tracks[it->getTrack()];
        index.starts.push_back(it->getStartFrame());
        index.entries.push_back({closeFrame(*it), it});
    }
    for (auto t = m_tracks.begin(); t != m_tracks.end();)
        t = t->second.starts.empty() ? m_tracks.erase(t) : std::next(t);
    m_loopFrames.clear();
    for (const CLoop& loop : m_loops)
        m_loopFrames.push_back(loop.getFrames());
    m_bIndexDirty = false;
}

// One phrase in, out or changed: one binary search and at most one move of the track's array.
void CVarE::indexInsert(LineIterator it) {
    if (m_bIndexDirty) return;
    TrackIndex& index = m_tracks[it->getTrack()];
    const int nStart = it->getStartFrame();
    const auto i = std::lower_bound(index.starts.begin(), index.starts.end(), nStart) - index.starts.begin();
    index.starts.insert(index.starts.begin() + i, nStart);
    index.entries.insert(index.entries.begin() + i, STrackEntry{closeFrame(*it), it});
}

void CVarE::indexErase(const SLineKey& key) {
    if (m_bIndexDirty) return;
    auto t = m_tracks.find(key.nTrack);
    if (t == m_tracks.end()) return indexChanged();
    TrackIndex& index = t->second;
    const auto i =
        std::lower_bound(index.starts.begin(), index.starts.end(), key.nFrame) - index.starts.begin();
    if (size_t(i) >= index.starts.size() || index.starts[size_t(i)] != key.nFrame) return indexChanged();
    index.starts.erase(index.starts.begin() + i);
    index.entries.erase(index.entries.begin() + i);
    if (index.starts.empty()) m_tracks.erase(t);
}

void CVarE::indexUpdate(const SLineKey& before, LineIterator it) {
    if (m_bIndexDirty) return;
    if (before == it->getKey()) {
        // Same place: only what the entry keeps of the phrase may have changed.
        auto t = m_tracks.find(before.nTrack);
        if (t == m_tracks.end()) return indexChanged();
        TrackIndex& index = t->second;
        const auto i =
            std::lower_bound(index.starts.begin(), index.starts.end(), before.nFrame) - index.starts.begin();
        if (size_t(i) >= index.starts.size() || index.starts[size_t(i)] != before.nFrame)
            return indexChanged();
        index.entries[size_t(i)] = {closeFrame(*it), it};
        return;
    }
    indexErase(before);
    indexInsert(it);
}

void CVarE::loopFrameInsert(int nFrame) {
    if (m_bIndexDirty) return;
    m_loopFrames.insert(std::lower_bound(m_loopFrames.begin(), m_loopFrames.end(), nFrame), nFrame);
}

void CVarE::loopFrameErase(int nFrame) {
    if (m_bIndexDirty) return;
    auto it = std::lower_bound(m_loopFrames.begin(), m_loopFrames.end(), nFrame);
    if (it != m_loopFrames.end() && *it == nFrame)
        m_loopFrames.erase(it);
    else
        indexChanged();
}

const CVarE::TrackIndex* CVarE::trackIndex(int nTrack) const {
    if (m_bIndexDirty) rebuildIndex();
    auto t = m_tracks.find(nTrack);
    return t == m_tracks.end() ? nullptr : &t->second;
}

int CVarE::lastStartingBefore(const TrackIndex& index, int nFrame, bool bStrict) {
    const auto& v = index.starts;
    const int n = int(v.size());
    // The answer i satisfies v[i] <= f < v[i + 1] (< and <= when strict); try the last one and the next.
    auto fits = [&](int i) {
        const bool bLow = i < 0 || (bStrict ? v[size_t(i)] < nFrame : v[size_t(i)] <= nFrame);
        const bool bHigh = i + 1 >= n || (bStrict ? v[size_t(i + 1)] >= nFrame : v[size_t(i + 1)] > nFrame);
        return bLow && bHigh;
    };
    const int h = std::min(index.nHint, n - 1);
    if (fits(h)) return h;
    if (h + 1 < n && fits(h + 1)) return index.nHint = h + 1;
    auto it =
        bStrict ? std::lower_bound(v.begin(), v.end(), nFrame) : std::upper_bound(v.begin(), v.end(), nFrame);
    const int i = int(it - v.begin()) - 1;
    index.nHint = std::max(i, 0);
    return i;
}

int CVarE::loopFrameAtOrBefore(int nFrame) const {
    auto it = std::upper_bound(m_loopFrames.begin(), m_loopFrames.end(), nFrame);
    return it == m_loopFrames.begin() ? INT_MIN : *std::prev(it);
}

int CVarE::loopFrameAfter(int nFrame) const {
    auto it = std::upper_bound(m_loopFrames.begin(), m_loopFrames.end(), nFrame);
    return it == m_loopFrames.end() ? INT_MAX : *it;
}

// ---------------------------------------------------------------- phrases

bool CVarE::ownsRole(const CLine& line) const {
    if (!line.hasRole()) return true;
    const auto it = findRoleByName(line.getRole().getName());
    return it != m_roles.end() && &*it == line.getRolePtr();
}

std::pair<CVarE::LineIterator, bool> CVarE::addLine(const CLine& line) {
    return addLine(CLine(line));
}

std::pair<CVarE::LineIterator, bool> CVarE::addLine(CLine&& line) {
    if (line.getSigns().empty()) return {m_lines.end(), false};
    assert(ownsRole(line));
    const int nTrack = line.getTrack();
    auto result = m_lines.insert(std::move(line));
    if (result.second) {
        m_nTrackCount = std::max(m_nTrackCount, nTrack + 1);
        indexInsert(result.first);
        notify([&](IScriptObserver& o) { o.lineAdded(*this, result.first); });
    }
    return result;
}

CVarE::LineIterator CVarE::eraseLine(LineIterator it) {
    notify([&](IScriptObserver& o) { o.lineErasing(*this, it); });
    indexErase(it->getKey());
    return m_lines.erase(it);
}

CVarE::LineIterator CVarE::updateLine(LineIterator it, const std::function<void(CLine&)>& change,
                                      bool* pbOk) {
    const CLine before(*it); // NOLINT(performance-unnecessary-copy-initialization)
    const LineIterator hint = std::next(it);
    auto node = m_lines.extract(it);
    change(node.value());
    assert(ownsRole(node.value()));
    LineIterator result = m_lines.end();
    bool bOk = !node.value().getSigns().empty();
    if (bOk) {
        result = m_lines.insert(hint, std::move(node));
        // A refused insertion leaves the node handle as it was: empty means inserted.
        bOk = node.empty(); // NOLINT(bugprone-use-after-move)
    }
    if (!bOk) {
        // Refused: the phrase goes back as it was, in the same node.
        node.value() = before; // NOLINT(bugprone-use-after-move): still owned, see above
        m_lines.insert(hint, std::move(node));
        if (pbOk) *pbOk = false;
        return m_lines.end();
    }
    if (pbOk) *pbOk = true;
    if (result->isIdentical(before)) return result;
    m_nTrackCount = std::max(m_nTrackCount, result->getTrack() + 1);
    indexUpdate(before.getKey(), result);
    notify([&](IScriptObserver& o) { o.lineReplaced(*this, before, result); });
    return result;
}

CVarE::LineIterator CVarE::replaceLine(LineIterator it, const CLine& line, bool* pbOk) {
    return updateLine(
        it, [&](CLine& l) { l = line; }, pbOk);
}

CVarE::LineIterator CVarE::insertText(LineIterator it, const QString& str, int nPos) {
    return updateLine(it, [&](CLine& l) { l.insertText(str, nPos); });
}

CVarE::LineIterator CVarE::deleteText(LineIterator it, int nPos, int nCount) {
    return updateLine(it, [&](CLine& l) { l.deleteText(nPos, nCount); });
}

CVarE::LineIterator CVarE::setLineRole(LineIterator it, RoleIterator role) {
    const CRole* pRole = role == m_roles.end() ? nullptr : &*role;
    return updateLine(it, [&](CLine& l) { l.setRole(pRole); });
}

CVarE::LineIterator CVarE::lineLowerBound(const CTimeCode& tc, int nTrack) const {
    return m_lines.lower_bound(SLineKey{tc.getFrames(), nTrack});
}

CVarE::LineIterator CVarE::lineUpperBound(const CTimeCode& tc, int nTrack) const {
    return m_lines.upper_bound(SLineKey{tc.getFrames(), nTrack});
}
CVarE::LineIterator CVarE::getPreviousLine(int nTrack, const CTimeCode& tc, bool bStrict, bool bLoop) const {
    const TrackIndex* pIndex = trackIndex(nTrack);
    if (!pIndex) return m_lines.end();
    const int i = lastStartingBefore(*pIndex, tc.getFrames(), bStrict);
    if (i < 0) return m_lines.end();
    if (bLoop && pIndex->starts[size_t(i)] < loopFrameAtOrBefore(tc.getFrames())) return m_lines.end();
    return pIndex->entries[size_t(i)].it;
}

CVarE::LineIterator CVarE::getNextLine(int nTrack, const CTimeCode& tc, bool bStrict, bool bLoop) const {
    const TrackIndex* pIndex = trackIndex(nTrack);
    if (!pIndex) return m_lines.end();
    // The first entry after the last one before (or at) the timecode.
    const size_t i = size_t(lastStartingBefore(*pIndex, tc.getFrames(), !bStrict) + 1);
    if (i >= pIndex->starts.size()) return m_lines.end();
    if (bLoop && pIndex->starts[i] >= loopFrameAfter(tc.getFrames())) return m_lines.end();
    return pIndex->entries[i].it;
}

CVarE::LineIterator CVarE::getLineAt(int nTrack, const CTimeCode& tc, bool bLoop) const {
    const TrackIndex* pIndex = trackIndex(nTrack);
    if (!pIndex) return m_lines.end();
    const int nFrame = tc.getFrames();
    const int i = lastStartingBefore(*pIndex, nFrame, false);
    if (i < 0) return m_lines.end();
    const STrackEntry& e = pIndex->entries[size_t(i)];
    if (e.nClose < nFrame) return m_lines.end();
    if (bLoop && pIndex->starts[size_t(i)] < loopFrameAtOrBefore(nFrame)) return m_lines.end();
    return e.it;
}

std::pair<CVarE::LineIterator, int> CVarE::getNextSign(const CTimeCode& tc) const {
    std::pair<LineIterator, int> best{m_lines.end(), -1};
    int nBestFrame = INT_MAX;
    auto consider = [&](LineIterator it) {
        if (it == m_lines.end()) return;
        const int i = it->getNextSign(tc);
        if (i >= 0 && it->getSign(i).getFrames() < nBestFrame) {
            nBestFrame = it->getSign(i).getFrames();
            best = {it, i};
        }
    };
    if (m_bIndexDirty) rebuildIndex();
    for (const auto& [nTrack, index] : m_tracks)
        consider(getLineAt(nTrack, tc, true));
    // Then the first phrase that starts after the timecode, on any track (the lowest track at a tie).
    LineIterator first = m_lines.end();
    int nFirstStart = INT_MAX;
    for (const auto& [nTrack, index] : m_tracks) {
        const size_t i = size_t(lastStartingBefore(index, tc.getFrames(), false) + 1);
        if (i < index.starts.size() && index.starts[i] < nFirstStart) {
            nFirstStart = index.starts[i];
            first = index.entries[i].it;
        }
    }
    consider(first);
    return best;
}

std::pair<CVarE::LineIterator, int> CVarE::getPreviousSign(const CTimeCode& tc) const {
    std::pair<LineIterator, int> best{m_lines.end(), -1};
    int nBestFrame = -1;
    if (m_bIndexDirty) rebuildIndex();
    for (auto t = m_tracks.rbegin(); t != m_tracks.rend(); ++t) {
        LineIterator it = getPreviousLine(t->first, tc, true, false);
        if (it == m_lines.end()) continue;
        const int i = it->getPreviousSign(tc);
        if (i >= 0 && it->getSign(i).getFrames() > nBestFrame) {
            nBestFrame = it->getSign(i).getFrames();
            best = {it, i};
        }
    }
    return best;
}

// ---------------------------------------------------------------- loops

bool CVarE::addLoop(const CLoop& loop) {
    if (!loop.getTimeCode().isValid()) return false;
    CLoop value(loop);
    auto next = m_loops.upper_bound(value);
    if (next != m_loops.begin() && std::prev(next)->getFrames() == value.getFrames()) return false;
    if (value.getNumber() <= 0) {
        if (next == m_loops.begin()) {
            const QString& str = m_aHeader[H_FIRST_LOOP_NUMBER];
            value.setNumber(str.trimmed().isEmpty() ? 1 : str.trimmed().toInt());
        } else {
            value.setNumber(loopNumberPlus(std::prev(next)->getNumber(), 1));
        }
    }
    const LoopIterator it = m_loops.insert(next, value);
    loopFrameInsert(it->getFrames());
    notify([&](IScriptObserver& o) { o.loopAdded(*this, it); });
    renumberLoops(std::next(it), loopNumberPlus(it->getNumber(), 1));
    return true;
}

void CVarE::renumber(LoopIterator from, const std::function<int(int, int)>& number) {
    std::vector<int> before;
    bool bChanged = false;
    int i = 0;
    for (auto it = from; it != m_loops.end(); ++it, ++i) {
        const int nOld = it->getNumber(), nNew = number(i, nOld);
        if (isObserved()) before.push_back(nOld);
        if (nNew == nOld) continue;
        mutableItem(*it).setNumber(nNew); // numbers never change a loop's place in its set
        bChanged = true;
    }
    if (bChanged) notify([&](IScriptObserver& o) { o.loopsRenumbered(*this, from, before); });
}

void CVarE::renumberLoops(LoopIterator from, int nNumber) {
    renumber(from, [&](int i, int) { return loopNumberPlus(nNumber, i); });
}

void CVarE::setLoopNumbers(LoopIterator from, const std::vector<int>& numbers) {
    renumber(from, [&](int i, int nOld) { return size_t(i) < numbers.size() ? numbers[size_t(i)] : nOld; });
}

CVarE::LoopIterator CVarE::deleteLoop(LoopIterator it) {
    notify([&](IScriptObserver& o) { o.loopErasing(*this, it); });
    loopFrameErase(it->getFrames());
    const LoopIterator next = m_loops.erase(it);
    renumber(next, [](int, int nOld) { return loopNumberPlus(nOld, -1); });
    return next;
}

CVarE::LoopIterator CVarE::moveLoop(LoopIterator it, const CTimeCode& tc, bool* pbOk) {
    const int f = tc.getFrames();
    const bool bOk = tc.isValid() && (it == m_loops.begin() || std::prev(it)->getFrames() < f) &&
                     (std::next(it) == m_loops.end() || f < std::next(it)->getFrames());
    if (pbOk) *pbOk = bOk;
    if (!bOk || f == it->getFrames()) return it;
    // Between its neighbours, the loop keeps its place in the set.
    const CTimeCode tcBefore = it->getTimeCode();
    loopFrameErase(tcBefore.getFrames());
    mutableItem(*it).setTimeCode(tc);
    loopFrameInsert(f);
    notify([&](IScriptObserver& o) { o.loopMoved(*this, tcBefore, it); });
    return it;
}

CVarE::LoopIterator CVarE::getLoopAt(const CTimeCode& tc) const {
    return m_loops.find(CLoop(tc, 0));
}

CVarE::LoopIterator CVarE::getPreviousLoop(const CTimeCode& tc, bool bStrict) const {
    auto it = bStrict ? loopLowerBound(tc) : loopUpperBound(tc);
    if (it == m_loops.begin()) return m_loops.end();
    return std::prev(it);
}

// ---------------------------------------------------------------- shot changes

bool CVarE::addShot(const CTimeCode& tc) {
    if (!tc.isValid()) return false;
    const auto inserted = m_shots.insert(CBalise(tc, CElement::KIND_SHOT));
    const ShotIterator it = inserted.first;
    if (inserted.second) notify([&](IScriptObserver& o) { o.shotAdded(*this, it); });
    return inserted.second;
}

CVarE::ShotIterator CVarE::deleteShot(ShotIterator it) {
    notify([&](IScriptObserver& o) { o.shotErasing(*this, it); });
    return m_shots.erase(it);
}

CVarE::ShotIterator CVarE::moveShot(ShotIterator it, const CTimeCode& tc, bool* pbOk) {
    const bool bOk = tc.isValid() && (tc == it->getTimeCode() || getShotAt(tc) == m_shots.end());
    if (pbOk) *pbOk = bOk;
    if (!bOk || tc == it->getTimeCode()) return it;
    const CTimeCode tcBefore = it->getTimeCode();
    auto node = m_shots.extract(it);
    node.value().setTimeCode(tc);
    const ShotIterator moved = m_shots.insert(std::move(node)).position;
    notify([&](IScriptObserver& o) { o.shotMoved(*this, tcBefore, moved); });
    return moved;
}

CVarE::ShotIterator CVarE::getShotAt(const CTimeCode& tc) const {
    return m_shots.find(CBalise(tc));
}

CVarE::ShotIterator CVarE::getPreviousShot(const CTimeCode& tc) const {
    auto it = shotLowerBound(tc);
    if (it == m_shots.begin()) return m_shots.end();
    return std::prev(it);
}

// ---------------------------------------------------------------- roles

QString CVarE::uniqueRoleId(const QString& strName, const QString& strId, const CRole* pSelf) const {
    auto taken = [&](const QString& str) {
        return std::any_of(m_roles.begin(), m_roles.end(),
                           [&](const CRole& r) { return &r != pSelf && r.getId() == str; });
    };
    if (!strId.isEmpty() && !taken(strId)) return strId;
    QString strMade = CRole::makeId(strName);
    for (int n = 1; taken(strMade); ++n)
        strMade = CRole::makeId(strName, n);
    return strMade;
}

std::pair<CVarE::RoleIterator, bool> CVarE::addRole(const CRole& role) {
    auto it = m_roles.find(role);
    if (it != m_roles.end()) return {it, false};
    CRole value(role);
    value.setId(uniqueRoleId(role.getName(), role.getId(), nullptr));
    it = m_roles.insert(it, std::move(value));
    notify([&](IScriptObserver& o) { o.roleAdded(*this, it); });
    return {it, true};
}

void CVarE::noteLoadChange(const QString& strChange) {
    m_log.Log("%s\n", strChange.toUtf8().constData());
    // A broken file can repeat one fault many times: the first ones say enough.
    constexpr int KEPT = 200;
    if (m_loadChanges.size() < KEPT)
        m_loadChanges << strChange;
    else if (m_loadChanges.size() == KEPT)
        m_loadChanges << QStringLiteral("(les autres changements sont dans le journal)");
}

QString CVarE::excerpt(const QString& strText) {
    constexpr int LENGTH = 30;
    QString str = strText.simplified();
    if (str.size() > LENGTH) str = str.left(LENGTH) + QStringLiteral("…");
    return str;
}

void CVarE::addReadLine(CLine&& line) {
    const int nTrack = line.getTrack();
    if (m_lines.find(line) == m_lines.end()) {
        addLine(std::move(line));
        return;
    }
    const QString strWhere = QString::fromLatin1(line.getSigns().front().getTimeCode().getText());
    for (int n = 0; n < 4; ++n) {
        if (n == nTrack) continue;
        line.setTrack(n);
        if (addLine(line).second) {
            noteLoadChange(
                QStringLiteral("Phrase à %1 (« %2 ») : une autre phrase commence au même endroit de "
                               "la piste %3, elle passe sur la piste %4.")
                    .arg(strWhere, excerpt(line.getText()))
                    .arg(nTrack + 1)
                    .arg(n + 1));
            return;
        }
    }
    noteLoadChange(QStringLiteral("Phrase à %1 (« %2 ») : les quatre pistes ont déjà une phrase qui commence "
                                  "là, elle est ignorée.")
                       .arg(strWhere, excerpt(line.getText())));
}

CVarE::RoleIterator CVarE::findRole(const QString& strId) const {
    return std::find_if(m_roles.begin(), m_roles.end(), [&](const CRole& r) { return r.getId() == strId; });
}

CVarE::RoleIterator CVarE::findRoleByName(const QString& strName) const {
    return m_roles.find(CRole(strName));
}

void CVarE::deleteRole(RoleIterator it) {
    const CRole* pRole = &*it;
    std::vector<LineIterator> lines;
    if (isObserved()) {
        for (auto l = m_lines.begin(); l != m_lines.end(); ++l)
            if (l->getRolePtr() == pRole) lines.push_back(l);
        notify([&](IScriptObserver& o) { o.roleErasing(*this, it, lines); });
    }
    // The role takes no part in a phrase's place in its set.
    for (const CLine& line : m_lines)
        if (line.getRolePtr() == pRole) mutableItem(line).setRole(nullptr);
    m_roles.erase(it);
}

std::pair<CVarE::RoleIterator, bool> CVarE::mergeRole(const CRole& role) {
    CRole copy(role);
    copy.setId(QString()); // made again from the name
    return addRole(copy);
}

bool CVarE::renameRole(RoleIterator it, const QString& strName) {
    if (it->getName() == strName) return true;
    if (m_roles.count(CRole(strName))) return false;
    // The node is taken out and put back: its address, which phrases hold, does not change.
    const QString strBefore = it->getName();
    auto node = m_roles.extract(it);
    node.value().setName(strName);
    const RoleIterator renamed = m_roles.insert(std::move(node)).position;
    notify([&](IScriptObserver& o) { o.roleRenamed(*this, strBefore, renamed); });
    return true;
}

void CVarE::updateRole(RoleIterator it, const std::function<void(CRole&)>& change) {
    CRole after(*it);
    change(after);
    after.setName(it->getName());
    after.setId(uniqueRoleId(after.getName(), after.getId(), &*it));
    if (after == *it && after.isSelected() == it->isSelected()) return;
    const CRole before = std::exchange(mutableItem(*it), after); // the name, its key, is unchanged
    notify([&](IScriptObserver& o) { o.roleChanged(*this, before, it); });
}
