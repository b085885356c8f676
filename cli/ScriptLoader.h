#pragma once

#include "vare/VarE.h"

#include <QList>
#include <QPair>

// Bookmarks found while reading a script, kept for the commands that print them.
class CBookmarkList : public IBookmarkSink {
public:
    void addBookmark(const CTimeCode& tc, const QString& strLabel) override { m_list.append({tc, strLabel}); }
    QList<QPair<CTimeCode, QString>> m_list;
};

namespace cli {
// Reads a .vare (or .vare.bak) or a legacy .det file into the script; on failure prints the French
// message and returns false.
bool loadScript(const QString& strPath, CVarE& script, IBookmarkSink* pBookmarks = nullptr);
} // namespace cli
