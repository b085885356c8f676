#include "vare/VarE.h"

#include <algorithm>
#include <climits>

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

CVarE::CVarE() {
    m_aHeader[H_FIRST_LOOP_NUMBER] = QStringLiteral("1");
}

CVarE::~CVarE() {
    clear();
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
}

void CVarE::copyFrom(const CVarE& o) {
    clear();
    m_aHeader = o.m_aHeader;
    m_nFrameRate = o.m_nFrameRate;
    m_bDropFrame = o.m_bDropFrame;
    m_tcTimeStamp = o.m_tcTimeStamp;
    m_tcLastPosition = o.m_tcLastPosition;
    m_nLastTrack = o.m_nLastTrack;
    m_nTrackCount = o.m_nTrackCount;
    for (const CRole& role : o.m_roles)
        mergeRole(role);
    m_loops = o.m_loops;
    indexChanged();
    m_shots = o.m_shots;
    for (const CLine& line : o.m_lines) {
        CLine copy(line);
        if (line.hasRole()) {
            auto it = findRoleByName(line.getRole().m_strName);
            copy.setRole(it == m_roles.end() ? nullptr : &*it);
        }
        addLine(copy);
    }
    m_nTrackCount = o.m_nTrackCount;
}

// ---------------------------------------------------------------- header

QString CVarE::getEpisodeLabel() const {
    const QString& strSeason = m_aHeader[H_SEASON];
    const QString& strNumber = m_aHeader[H_EPISODE_NUMBER];
    if (!strSeason.isEmpty())
        return QLatin1Char('#') + strSeason + (strNumber.size() == 1 ? QStringLiteral("0") : QString()) +
               strNumber;
    return QLatin1Char('#') + strNumber;
}

void CVarE::setVideoFile(const QString& strPath) {
    m_aHeader[H_VIDEO_FILE] = strPath;
    m_aHeader[H_AUDIO_FILE].clear();
    m_tcTimeStamp = TC_INVALID;
    m_tcLastPosition = TC_INVALID;
}

int CVarE::getFirstLoopNumber() const {
    if (!m_loops.empty()) return m_loops.begin()->getNumber();
    const QString& str = m_aHeader[H_FIRST_LOOP_NUMBER];
    if (str.trimmed().isEmpty()) return 1;
    return str.trimmed().toInt();
}

void CVarE::setFirstLoopNumber(int n) {
    m_aHeader[H_FIRST_LOOP_NUMBER] = QString::number(n);
    if (n > 0) renumberLoops(m_loops.begin(), n);
}

// ---------------------------------------------------------------- shift

bool CVarE::shift(int n) {
    const long long nMax = TC_MAX.getFrames();
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

    // Every item moves by the same amount, so no set changes order.
    for (const CLine& line : m_lines)
        const_cast<CLine&>(line).shift(n);
    for (const CLoop& loop : m_loops)
        const_cast<CLoop&>(loop).setTimeCode(loop.getTimeCode() + n);
    for (const CBalise& shot : m_shots)
        const_cast<CBalise&>(shot).setTimeCode(shot.getTimeCode() + n);
    indexChanged();
    return true;
}

// ---------------------------------------------------------------- phrases

void CVarE::rebuildIndex() const {
    for (auto& [nTrack, index] : m_tracks) {
        index.starts.clear();
        index.entries.clear();
    }
    for (auto it = m_lines.begin(); it != m_lines.end(); ++it) {
        const int nClosing = it->getFirstClosingSign();
        TrackIndex& index = m_tracks[it->getTrack()];
        index.starts.push_back(it->getStartFrame());
        index.entries.push_back({nClosing < 0 ? INT_MAX : it->m_liste[nClosing].getFrames(), it});
    }
    for (auto t = m_tracks.begin(); t != m_tracks.end();)
        t = t->second.starts.empty() ? m_tracks.erase(t) : std::next(t);
    m_loopFrames.clear();
    for (const CLoop& loop : m_loops)
        m_loopFrames.push_back(loop.getFrames());
    m_bIndexDirty = false;
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

std::pair<CVarE::LineIterator, bool> CVarE::addLine(const CLine& line) {
    return addLine(CLine(line));
}

std::pair<CVarE::LineIterator, bool> CVarE::addLine(CLine&& line) {
    if (line.m_liste.empty()) return {m_lines.end(), false};
    const int nTrack = line.getTrack();
    auto result = m_lines.insert(std::move(line));
    if (result.second) {
        indexChanged();
        m_nTrackCount = std::max(m_nTrackCount, nTrack + 1);
    }
    return result;
}

CVarE::LineIterator CVarE::eraseLine(LineIterator it) {
    indexChanged();
    return m_lines.erase(it);
}

CVarE::LineIterator CVarE::updateLine(LineIterator it, const std::function<void(CLine&)>& change,
                                      bool* pbOk) {
    // A copy: the line is taken out below, and put back as it was if the change fails.
    const CLine before(*it); // NOLINT(performance-unnecessary-copy-initialization)
    indexChanged();
    auto node = m_lines.extract(it);
    change(node.value());
    bool bOk = !node.value().m_liste.empty();
    LineIterator result = m_lines.end();
    if (bOk) {
        auto inserted = m_lines.insert(std::move(node));
        bOk = inserted.inserted;
        if (bOk) {
            result = inserted.position;
            m_nTrackCount = std::max(m_nTrackCount, result->getTrack() + 1);
        }
    }
    if (!bOk) {
        result = m_lines.end();
        m_lines.insert(before);
    }
    if (pbOk) *pbOk = bOk;
    return result;
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
        if (i >= 0 && it->m_liste[i].getFrames() < nBestFrame) {
            nBestFrame = it->m_liste[i].getFrames();
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
        if (i >= 0 && it->m_liste[i].getFrames() > nBestFrame) {
            nBestFrame = it->m_liste[i].getFrames();
            best = {it, i};
        }
    }
    return best;
}

// ---------------------------------------------------------------- loops

bool CVarE::addLoop(const CLoop& loop) {
    auto [it, bInserted] = m_loops.insert(loop);
    if (!bInserted) return false;
    indexChanged();
    int nNumber = it->getNumber();
    if (nNumber <= 0) {
        if (it == m_loops.begin()) {
            const QString& str = m_aHeader[H_FIRST_LOOP_NUMBER];
            nNumber = str.trimmed().isEmpty() ? 1 : str.trimmed().toInt();
        } else {
            nNumber = std::prev(it)->getNumber() + 1;
        }
    }
    renumberLoops(it, nNumber);
    return true;
}

void CVarE::renumberLoops(LoopIterator from, int nNumber) {
    for (auto it = from; it != m_loops.end(); ++it)
        it->setNumber(nNumber++);
}

CVarE::LoopIterator CVarE::deleteLoop(LoopIterator it) {
    indexChanged();
    auto next = m_loops.erase(it);
    for (auto j = next; j != m_loops.end(); ++j)
        j->setNumber(j->getNumber() - 1);
    return next;
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
    return m_shots.insert(CBalise(tc, CElement::KIND_SHOT)).second;
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

std::pair<CVarE::RoleIterator, bool> CVarE::addRole(const CRole& role) {
    return m_roles.insert(role);
}

CVarE::RoleIterator CVarE::findRole(const QString& strId) const {
    return std::find_if(m_roles.begin(), m_roles.end(), [&](const CRole& r) { return r.m_strId == strId; });
}

CVarE::RoleIterator CVarE::findRoleByName(const QString& strName) const {
    return m_roles.find(CRole(strName));
}

void CVarE::deleteRole(RoleIterator it) {
    const CRole* pRole = &*it;
    for (const CLine& line : m_lines)
        if (line.getRolePtr() == pRole) const_cast<CLine&>(line).setRole(nullptr);
    m_roles.erase(it);
}

std::pair<CVarE::RoleIterator, bool> CVarE::mergeRole(const CRole& role) {
    CRole copy(role);
    copy.m_strId = CRole::makeId(copy.m_strName);
    for (int n = 1; findRole(copy.m_strId) != m_roles.end(); ++n)
        copy.m_strId = CRole::makeId(copy.m_strName, n);
    return addRole(copy);
}

bool CVarE::renameRole(RoleIterator it, const QString& strName) {
    if (it->m_strName == strName) return true;
    if (m_roles.count(CRole(strName))) return false;
    // The node is taken out and put back: its address, which phrases hold, does not change.
    auto node = m_roles.extract(it);
    node.value().m_strName = strName;
    m_roles.insert(std::move(node));
    return true;
}
