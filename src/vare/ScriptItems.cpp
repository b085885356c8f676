#include "vare/ScriptItems.h"

#include <algorithm>
#include <cassert>

// ---------------------------------------------------------------- signs

namespace {
const char* const s_aTypeNames[CLipSync::TYPE_COUNT] = {
    "in_open", "in_close", "out_open", "out_close", "mpb", "fvr", "weuque", "a", "i", "o", "neutral"};
}

const char* CLipSync::typeName(int nType) {
    return nType >= 0 && nType < TYPE_COUNT ? s_aTypeNames[nType] : s_aTypeNames[NEUTRAL];
}

int CLipSync::typeFromName(const QString& strName) {
    for (int i = 0; i < TYPE_COUNT; ++i)
        if (strName == QLatin1String(s_aTypeNames[i])) return i;
    return -1;
}

int CLipSyncList::lowerBound(int nFrames) const {
    auto it = std::lower_bound(m_signs.begin(), m_signs.end(), nFrames,
                               [](const CLipSync& s, int f) { return s.getFrames() < f; });
    return int(it - m_signs.begin());
}

int CLipSyncList::indexAt(int nFrames) const {
    const int i = lowerBound(nFrames);
    return i < size() && m_signs[size_t(i)].getFrames() == nFrames ? i : -1;
}

bool CLipSyncList::insert(const CLipSync& sign, int* pIndex) {
    const int i = lowerBound(sign.getFrames());
    if (i < size() && m_signs[size_t(i)].getFrames() == sign.getFrames()) return false;
    m_signs.insert(m_signs.begin() + i, sign);
    if (pIndex) *pIndex = i;
    return true;
}

// ---------------------------------------------------------------- roles

QString CRole::makeId(const QString& strName, int n) {
    const QString strSource = (n > 0 ? QStringLiteral("%1_%2").arg(strName).arg(n) : strName).toLower();
    QString strId;
    strId.reserve(strSource.size());
    for (QChar qc : strSource) {
        const char16_t c = qc.unicode();
        char r = '_';
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            r = char(c);
        else {
            switch (c) {
            case u'è':
            case u'é':
            case u'ê':
            case u'ë':
            case u'&':
                r = 'e';
                break;
            case u'à':
            case u'â':
            case u'ä':
            case u'@':
                r = 'a';
                break;
            case u'ç':
                r = 'c';
                break;
            case u'ì':
            case u'î':
            case u'ï':
                r = 'i';
                break;
            case u'ñ':
                r = 'n';
                break;
            case u'ò':
            case u'ô':
            case u'ö':
                r = 'o';
                break;
            case u'ù':
            case u'û':
            case u'ü':
                r = 'u';
                break;
            default:
                break;
            }
        }
        strId += QLatin1Char(r);
    }
    return strId;
}

bool CRole::operator==(const CRole& o) const {
    return m_strName == o.m_strName && m_strId == o.m_strId && getColor() == o.getColor() &&
           m_strDescription == o.m_strDescription && m_nGender == o.m_nGender && m_strImage == o.m_strImage;
}

// ---------------------------------------------------------------- phrases

CTimeCode CLine::getTimeCode() const {
    assert(!m_liste.empty() && "CLine::m_liste must not be empty");
    return m_liste.empty() ? TC_INVALID : m_liste.front().getTimeCode();
}

CTimeCode CLine::getEndTimeCode() const {
    assert(!m_liste.empty() && "CLine::m_liste must not be empty");
    return m_liste.empty() ? TC_INVALID : m_liste.back().getTimeCode();
}

void CLine::signsMoved() {
    m_nStartFrame = m_liste.empty() ? -1 : m_liste.front().getFrames();
}
int CLine::getEndFrame() const {
    return m_liste.empty() ? -1 : m_liste.back().getFrames();
}

const CRole& CLine::getRole() const {
    assert(m_bHasRole && m_pRole && "CLine::m_bHasRole must be set to read the role");
    return *m_pRole;
}

int CLine::getLinkedCount() const {
    int n = 0;
    for (const CLipSync& s : m_liste)
        n += s.isLinked();
    return n;
}

int CLine::toTextIndex(int nPos) const {
    int n = nPos;
    for (const CLipSync& s : m_liste)
        if (s.isLinked() && s.getLink() < nPos) --n;
    return n;
}

QStringView CLine::viewBetween(int a, int b) const {
    const int nTextLen = int(m_strText.size());
    if (a < 0) a = 0;
    int nLength = nTextLen, nBelowA = 0, nInside = 0;
    for (const CLipSync& s : m_liste) {
        if (!s.isLinked()) continue;
        ++nLength;
        if (s.getLink() < a) ++nBelowA;
    }
    if (b < 0) b = nLength;
    if (b <= a) return {};
    for (const CLipSync& s : m_liste)
        if (s.isLinked() && s.getLink() >= a && s.getLink() < b) ++nInside;
    const int nStart = std::clamp(a - nBelowA, 0, nTextLen);
    const int nCount = std::clamp((b - a) - nInside, 0, nTextLen - nStart);
    return QStringView(m_strText).mid(nStart, nCount);
}

QString CLine::getTextBetween(const CTimeCode& tc1, const CTimeCode& tc2) const {
    const int i = getSignAt(tc1), j = getSignAt(tc2);
    if (i < 0 || j < 0) return {};
    return getTextBetween(m_liste[i].getLink(), m_liste[j].getLink());
}

void CLine::insertText(const QString& str, int nPos) {
    if (str.isEmpty()) return;
    if (nPos < 0) nPos = getLength();
    const int nIndex = std::clamp(toTextIndex(nPos), 0, int(m_strText.size()));
    const int nLen = int(str.size());
    for (CLipSync& s : m_liste)
        if (s.isLinked() && s.getLink() >= nPos) s.setLink(s.getLink() + nLen);
    m_strText.insert(nIndex, str);
}

void CLine::deleteText(int nPos, int nCount) {
    if (nCount <= 0 || nPos < 0) return;
    const int nIndex = toTextIndex(nPos);
    int nChars = nCount;
    for (CLipSync& s : m_liste) {
        if (!s.isLinked() || s.getLink() < nPos) continue;
        if (s.getLink() < nPos + nCount) {
            s.setLink(-1);
            --nChars;
        } else {
            s.setLink(s.getLink() - nCount);
        }
    }
    if (nChars > 0 && nIndex >= 0 && nIndex < m_strText.size()) m_strText.remove(nIndex, nChars);
    if (m_strText.isEmpty()) normalize();
}

void CLine::normalize() {
    if (m_liste.empty()) return;
    const int nClosing = getFirstClosingSign();
    int nUnlinkedBefore = 0;
    for (int i = 1; i < m_liste.size(); ++i) {
        CLipSync& s = m_liste[i];
        if (i == nClosing && !m_strText.isEmpty()) {
            if (s.isLinked()) s.setLink(s.getLink() - nUnlinkedBefore);
            continue;
        }
        if (s.isLinked() && i < nClosing) ++nUnlinkedBefore;
        s.setLink(-1);
    }
}

bool CLine::insertSign(const CTimeCode& tc, int nType, bool bLinked, int nPos) {
    if (!tc.isValid()) return false;
    if (m_liste.indexAt(tc.getFrames()) >= 0) return false;
    if (bLinked && nPos < 0) nPos = getLength();
    if (bLinked) nPos = std::min(nPos, getLength());
    // The links of the linked signs must keep increasing in time: every sign from the requested position
    // on must come later than the new one, and every sign before it earlier. Otherwise the new sign is
    // placed unlinked.
    if (bLinked) {
        for (const CLipSync& s : m_liste) {
            if (!s.isLinked()) continue;
            const bool bAfterInText = s.getLink() >= nPos;
            const bool bAfterInTime = s.getFrames() > tc.getFrames();
            if (bAfterInText != bAfterInTime) {
                bLinked = false;
                break;
            }
        }
    }
    if (bLinked)
        for (CLipSync& s : m_liste)
            if (s.isLinked() && s.getLink() >= nPos) s.setLink(s.getLink() + 1);
    if (!m_liste.insert(CLipSync(nType, tc, bLinked ? nPos : -1))) return false;
    signsMoved();
    return true;
}

bool CLineAppender::appendSign(const CTimeCode& tc, int nType, bool bLinked) {
    if (!tc.isValid()) return false;
    const int nFrames = tc.getFrames();
    // Signs mostly come in time order: the frame then goes at the end of the sorted list at once.
    auto it = m_frames.empty() || m_frames.back() < nFrames
                  ? m_frames.end()
                  : std::lower_bound(m_frames.begin(), m_frames.end(), nFrames);
    if (it != m_frames.end() && *it == nFrames) return false;
    m_frames.insert(it, nFrames);
    // Every link read so far is below the end of the sequence, so the new sign stays linked only when
    // no linked sign is later in time.
    if (bLinked && nFrames < m_nLastLinkedFrame) bLinked = false;
    if (bLinked) {
        m_signs.emplace_back(nType, tc, int(m_strText.size()) + m_nLinked);
        ++m_nLinked;
        m_nLastLinkedFrame = nFrames;
    } else {
        m_signs.emplace_back(nType, tc, -1);
    }
    return true;
}

void CLineAppender::finish() {
    std::sort(m_signs.begin(), m_signs.end(),
              [](const CLipSync& a, const CLipSync& b) { return a.getFrames() < b.getFrames(); });
    m_line.m_strText += m_strText;
    m_line.m_liste.assign(std::move(m_signs));
    m_line.signsMoved();
    m_strText.clear();
    m_signs.clear();
    m_frames.clear();
}

void CLine::appendSign(const CTimeCode& tc, int nType, int nLink) {
    assert(tc.isValid() && (m_liste.empty() || m_liste.back().getFrames() < tc.getFrames()));
    m_liste.push_back(CLipSync(nType, tc, nLink));
    signsMoved();
}

bool CLine::eraseSign(const CTimeCode& tc) {
    const int i = getSignAt(tc);
    if (i < 0) return false;
    if (m_liste[i].isLinked())
        for (int j = i + 1; j < m_liste.size(); ++j)
            if (m_liste[j].isLinked()) m_liste[j].setLink(m_liste[j].getLink() - 1);
    m_liste.erase(i);
    signsMoved();
    return true;
}

bool CLine::unlinkSign(const CTimeCode& tc) {
    const int i = getSignAt(tc);
    if (i < 0) return false;
    if (!m_liste[i].isLinked()) return true;
    m_liste[i].setLink(-1);
    for (int j = i + 1; j < m_liste.size(); ++j)
        if (m_liste[j].isLinked()) m_liste[j].setLink(m_liste[j].getLink() - 1);
    return true;
}

void CLine::unlinkAllSigns() {
    for (CLipSync& s : m_liste)
        s.setLink(-1);
}

bool CLine::relinkSign(const CTimeCode& tc, int nPos) {
    const int i = getSignAt(tc);
    if (i < 0 || nPos < 0) return false;
    unlinkSign(tc);
    nPos = std::min(nPos, getLength());
    for (int j = i + 1; j < m_liste.size(); ++j)
        if (m_liste[j].isLinked() && m_liste[j].getLink() >= nPos)
            m_liste[j].setLink(m_liste[j].getLink() + 1);
    m_liste[i].setLink(nPos);
    return true;
}

bool CLine::setSignType(const CTimeCode& tc, int nType) {
    const int i = getSignAt(tc);
    if (i < 0 || nType < 0 || nType >= CLipSync::TYPE_COUNT) return false;
    m_liste[i].setType(nType);
    return true;
}

bool CLine::moveSign(const CTimeCode& tc, const CTimeCode& tcNew) {
    const int i = getSignAt(tc);
    if (i < 0 || !tcNew.isValid()) return false;
    const int f = tcNew.getFrames();
    if (i > 0 && m_liste[i - 1].getFrames() >= f) return false;
    if (i + 1 < m_liste.size() && m_liste[i + 1].getFrames() <= f) return false;
    m_liste[i].setTimeCode(tcNew);
    signsMoved();
    return true;
}

namespace {
// Position of a text index: one position more for each linked sign, closing signs excepted, that sits
// at or before that index.
int positionOfTextIndex(const CLine& line, int nIndex) {
    int nPos = nIndex;
    int nLinkedBefore = 0;
    for (const CLipSync& s : line.getSigns()) {
        if (!s.isLinked()) continue;
        const int nSignIndex = s.getLink() - nLinkedBefore; // index of the character after the sign
        ++nLinkedBefore;
        if (nSignIndex <= nIndex && !s.isClosing()) ++nPos;
    }
    return nPos;
}
} // namespace

int CLine::getNextWordEnd(int nPos) const {
    const int nLen = int(m_strText.size());
    int k = std::clamp(toTextIndex(nPos), 0, nLen);
    while (k < nLen && m_strText.at(k) != QLatin1Char(' '))
        ++k;
    if (k < nLen) ++k;
    return positionOfTextIndex(*this, k);
}

int CLine::getPreviousWordStart(int nPos) const {
    const int nLen = int(m_strText.size());
    int k = std::clamp(toTextIndex(nPos), 0, nLen);
    if (k > 0) --k;
    while (k > 0 && m_strText.at(k - 1) != QLatin1Char(' '))
        --k;
    return positionOfTextIndex(*this, k);
}

int CLine::getSignAt(const CTimeCode& tc) const {
    return m_liste.indexAt(tc.getFrames());
}

int CLine::getNextSign(const CTimeCode& tc) const {
    const int i = m_liste.lowerBound(tc.getFrames() + 1);
    return i < m_liste.size() ? i : -1;
}

int CLine::getPreviousSign(const CTimeCode& tc) const {
    return m_liste.lowerBound(tc.getFrames()) - 1;
}

int CLine::getSignAtPosition(int nPos) const {
    for (int i = 0; i < m_liste.size(); ++i)
        if (m_liste[i].getLink() == nPos && nPos >= 0) return i;
    return -1;
}

int CLine::getFirstSignFrom(int nPos) const {
    for (int i = 0; i < m_liste.size(); ++i)
        if (m_liste[i].isLinked() && m_liste[i].getLink() >= nPos) return i;
    return -1;
}

int CLine::getLastLinkedSignBefore(int nPos) const {
    for (int i = m_liste.size() - 1; i >= 0; --i)
        if (m_liste[i].isLinked() && m_liste[i].getLink() < nPos) return i;
    return -1;
}

int CLine::getFirstClosingSign() const {
    for (int i = 0; i < m_liste.size(); ++i)
        if (m_liste[i].isClosing()) return i;
    return -1;
}

int CLine::getLinkAt(const CTimeCode& tc) const {
    const int i = getSignAt(tc);
    return i < 0 ? -1 : m_liste[i].getLink();
}

bool CLine::isClosingSignLinked() const {
    const int i = getFirstClosingSign();
    return i >= 0 && m_liste[i].isLinked();
}

void CLine::shift(int nFrames) {
    for (CLipSync& s : m_liste)
        s.setTimeCode(s.getTimeCode() + nFrames);
    signsMoved();
}

bool CLine::operator==(const CLine& o) const {
    if (getStartFrame() != o.getStartFrame() || getEndFrame() != o.getEndFrame()) return false;
    if (m_nTrack != o.m_nTrack || m_bHasRole != o.m_bHasRole) return false;
    if (m_bHasRole && (!m_pRole || !o.m_pRole || m_pRole->getName() != o.m_pRole->getName())) return false;
    return m_strText == o.m_strText && m_liste == o.m_liste;
}
