#include "app/BookmarkList.h"

#include <set>

const CBookmark* CBookmarkList::find(const CTimeCode& tc) const {
    auto it = m_items.find(tc);
    return it == m_items.end() ? nullptr : &it->second;
}

const CBookmarkList::Entry* CBookmarkList::findById(int nId) const {
    for (const Entry& e : m_items)
        if (e.second.nCommand == nId) return &e;
    return nullptr;
}

int CBookmarkList::add(const CTimeCode& tc, const QString& strLabel) {
    if (!tc.isValid() || m_items.count(tc)) return 0;
    // Identifiers are not reused while the script is open, unless the range runs out.
    if (m_nNextId > LAST_ID) {
        std::set<int> used;
        for (const Entry& e : m_items)
            used.insert(e.second.nCommand);
        m_nNextId = FIRST_ID;
        while (m_nNextId <= LAST_ID && used.count(m_nNextId))
            ++m_nNextId;
        if (m_nNextId > LAST_ID) return 0;
    }
    const int nId = m_nNextId++;
    m_items[tc] = CBookmark{nId, strLabel};
    emit changed();
    return nId;
}

bool CBookmarkList::remove(int nId) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->second.nCommand == nId) {
            m_items.erase(it);
            emit changed();
            return true;
        }
    }
    return false;
}

void CBookmarkList::clear() {
    m_nNextId = FIRST_ID;
    if (m_items.empty()) return;
    m_items.clear();
    emit changed();
}

QString CBookmarkList::proposeLabel() const {
    for (int n = 1;; ++n) {
        QString str = QStringLiteral("Position %1").arg(n);
        bool bUsed = false;
        for (const Entry& e : m_items)
            if (e.second.strLabel == str) {
                bUsed = true;
                break;
            }
        if (!bUsed) return str;
    }
}

void CBookmarkList::getBookmark(int i, CTimeCode& tc, QString& strLabel) const {
    const auto it = std::next(m_items.begin(), i);
    tc = it->first;
    strLabel = it->second.strLabel;
}
