#include "app/Bookmarks.h"

#include <set>

const CBookmarks::SBookmark* CBookmarks::find(const CTimeCode& tc) const {
    auto it = m_items.find(tc.getFrames());
    return it == m_items.end() ? nullptr : &it->second;
}

const CBookmarks::SBookmark* CBookmarks::findById(int nId) const {
    for (const auto& [nFrame, b] : m_items)
        if (b.nId == nId) return &b;
    return nullptr;
}

int CBookmarks::add(const CTimeCode& tc, const QString& strLabel) {
    if (!tc.isValid() || m_items.count(tc.getFrames())) return 0;
    // Identifiers are not reused while the script is open, unless the range runs out.
    if (m_nNextId > LAST_ID) {
        std::set<int> used;
        for (const auto& [nFrame, b] : m_items)
            used.insert(b.nId);
        m_nNextId = FIRST_ID;
        while (m_nNextId <= LAST_ID && used.count(m_nNextId))
            ++m_nNextId;
        if (m_nNextId > LAST_ID) return 0;
    }
    const int nId = m_nNextId++;
    m_items[tc.getFrames()] = SBookmark{tc, nId, strLabel};
    emit changed();
    return nId;
}

bool CBookmarks::remove(int nId) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->second.nId == nId) {
            m_items.erase(it);
            emit changed();
            return true;
        }
    }
    return false;
}

void CBookmarks::clear() {
    m_nNextId = FIRST_ID;
    if (m_items.empty()) return;
    m_items.clear();
    emit changed();
}

QString CBookmarks::proposeLabel() const {
    for (int n = 1;; ++n) {
        const QString str = QStringLiteral("Position %1").arg(n);
        bool bUsed = false;
        for (const auto& [nFrame, b] : m_items)
            if (b.strLabel == str) {
                bUsed = true;
                break;
            }
        if (!bUsed) return str;
    }
}
