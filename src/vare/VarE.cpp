#include "vare/VarE.h"

#include <algorithm>
#include <climits>

namespace {
const char* const s_aHeaderKeys[CVarE::H_COUNT] = {
    "title",          "title2",         "episodeNumber",      "season",
    "episodeTitle",   "episodeTitle2",  "detectorName",       "detectorFirstName",
    "firstAuthorName", "firstAuthorFirstName", "secondAuthorName", "secondAuthorFirstName",
    "producer",       "year",           "distributor",        "director",
    "actors",         "diffuser",       "country",            "notes",
    "summary",        "videoFile",      "audioFile",          "firstLoopNumber"};
} // namespace

const char* CVarE::headerKey(EHeader e) { return e >= 0 && e < H_COUNT ? s_aHeaderKeys[e] : ""; }

CVarE::CVarE() { m_aHeader[H_FIRST_LOOP_NUMBER] = QStringLiteral("1"); }

CVarE::~CVarE() { clear(); }

void CVarE::clear() {
    m_log.Log("CVarE::clear()\n");
    {
        CLogIndent indent(m_log);
        m_log.Log("Clearing string...\n");
        for (QString& str : m_aHeader) str.clear();
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
        m_log.Log("Clearing shot list...\n");
        m_shots.clear();
        m_log.Log("Clearing line list...\n");
        m_tracks.clear();
        m_lines.clear();
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
    for (const CRole& role : o.m_roles) mergeRole(role);
    m_loops = o.m_loops;
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
        return QLatin1Char('#') + strSeason + (strNumber.size() == 1 ? QStringLiteral("0") : QString()) + strNumber;
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
    for (const CLine& line : m_lines) const_cast<CLine&>(line).shift(n);
    for (const CLoop& loop : m_loops) const_cast<CLoop&>(loop).setTimeCode(loop.getTimeCode() + n);
    for (const CBalise& shot : m_shots) const_cast<CBalise&>(shot).setTimeCode(shot.getTimeCode() + n);
    m_tracks.clear();
    for (auto it = m_lines.begin(); it != m_lines.end(); ++it) indexLine(it);
    return true;
}

// ---------------------------------------------------------------- phrases

void CVarE::indexLine(LineIterator it) { m_tracks[it->getTrack()][it->getStartFrame()] = it; }

void CVarE::unindexLine(LineIterator it) {
    auto t = m_tracks.find(it->getTrack());
    if (t != m_tracks.end()) t->second.erase(it->getStartFrame());
}

const CVarE::TrackIndex* CVarE::trackIndex(int nTrack) const {
    auto t = m_tracks.find(nTrack);
    return t == m_tracks.end() ? nullptr : &t->second;
}

std::pair<CVarE::LineIterator, bool> CVarE::addLine(const CLine& line) {
    if (line.m_liste.empty()) return {m_lines.end(), false};
    auto result = m_lines.insert(line);
    if (result.second) {
        indexLine(result.first);
        m_nTrackCount = std::max(m_nTrackCount, line.getTrack() + 1);
    }
    return result;
}

CVarE::LineIterator CVarE::eraseLine(LineIterator it) {
    unindexLine(it);
    return m_lines.erase(it);
}

CVarE::LineIterator CVarE::updateLine(LineIterator it, const std::function<void(CLine&)>& change, bool* pbOk) {
    const CLine before(*it);
    unindexLine(it);
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
        indexLine(m_lines.insert(before).first);
    } else {
        indexLine(result);
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
    if (!pIndex || pIndex->empty()) return m_lines.end();
    auto it = bStrict ? pIndex->lower_bound(tc.getFrames()) : pIndex->upper_bound(tc.getFrames());
    if (it == pIndex->begin()) return m_lines.end();
    --it;
    if (bLoop) {
        auto loop = getPreviousLoop(tc, false);
        if (loop != m_loops.end() && it->first < loop->getFrames()) return m_lines.end();
    }
    return it->second;
}

CVarE::LineIterator CVarE::getNextLine(int nTrack, const CTimeCode& tc, bool bStrict, bool bLoop) const {
    const TrackIndex* pIndex = trackIndex(nTrack);
    if (!pIndex) return m_lines.end();
    auto it = bStrict ? pIndex->upper_bound(tc.getFrames()) : pIndex->lower_bound(tc.getFrames());
    if (it == pIndex->end()) return m_lines.end();
    if (bLoop) {
        auto loop = loopUpperBound(tc);
        if (loop != m_loops.end() && it->first >= loop->getFrames()) return m_lines.end();
    }
    return it->second;
}

CVarE::LineIterator CVarE::getLineAt(int nTrack, const CTimeCode& tc, bool bLoop) const {
    LineIterator it = getPreviousLine(nTrack, tc, false, bLoop);
    if (it == m_lines.end()) return it;
    const int nClosing = it->getFirstClosingSign();
    if (nClosing >= 0 && it->m_liste[nClosing].getFrames() < tc.getFrames()) return m_lines.end();
    return it;
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
    for (const auto& [nTrack, index] : m_tracks) consider(getLineAt(nTrack, tc, true));
    consider(lineUpperBound(tc, INT_MAX));
    return best;
}

std::pair<CVarE::LineIterator, int> CVarE::getPreviousSign(const CTimeCode& tc) const {
    std::pair<LineIterator, int> best{m_lines.end(), -1};
    int nBestFrame = -1;
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
    for (auto it = from; it != m_loops.end(); ++it) it->setNumber(nNumber++);
}

CVarE::LoopIterator CVarE::deleteLoop(LoopIterator it) {
    auto next = m_loops.erase(it);
    for (auto j = next; j != m_loops.end(); ++j) j->setNumber(j->getNumber() - 1);
    return next;
}

CVarE::LoopIterator CVarE::getLoopAt(const CTimeCode& tc) const { return m_loops.find(CLoop(tc, 0)); }

CVarE::LoopIterator CVarE::getPreviousLoop(const CTimeCode& tc, bool bStrict) const {
    auto it = bStrict ? loopLowerBound(tc) : loopUpperBound(tc);
    if (it == m_loops.begin()) return m_loops.end();
    return std::prev(it);
}

// ---------------------------------------------------------------- shot changes

bool CVarE::addShot(const CTimeCode& tc) { return m_shots.insert(CBalise(tc, CElement::KIND_SHOT)).second; }

CVarE::ShotIterator CVarE::getShotAt(const CTimeCode& tc) const { return m_shots.find(CBalise(tc)); }

CVarE::ShotIterator CVarE::getPreviousShot(const CTimeCode& tc) const {
    auto it = shotLowerBound(tc);
    if (it == m_shots.begin()) return m_shots.end();
    return std::prev(it);
}

// ---------------------------------------------------------------- roles

std::pair<CVarE::RoleIterator, bool> CVarE::addRole(const CRole& role) { return m_roles.insert(role); }

CVarE::RoleIterator CVarE::findRole(const QString& strId) const {
    return std::find_if(m_roles.begin(), m_roles.end(), [&](const CRole& r) { return r.m_strId == strId; });
}

CVarE::RoleIterator CVarE::findRoleByName(const QString& strName) const { return m_roles.find(CRole(strName)); }

void CVarE::deleteRole(RoleIterator it) {
    const CRole* pRole = &*it;
    for (const CLine& line : m_lines)
        if (line.getRolePtr() == pRole) const_cast<CLine&>(line).setRole(nullptr);
    m_roles.erase(it);
}

std::pair<CVarE::RoleIterator, bool> CVarE::mergeRole(const CRole& role) {
    CRole copy(role);
    copy.m_strId = CRole::makeId(copy.m_strName);
    for (int n = 1; findRole(copy.m_strId) != m_roles.end(); ++n) copy.m_strId = CRole::makeId(copy.m_strName, n);
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
