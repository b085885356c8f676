#pragma once

#include "rythmo/Bookmarks.h"
#include "vare/TimeCode.h"
#include "vare/VarE.h"

#include <QObject>
#include <QString>

// The marked positions of the current script, each with its command identifier (45000 + n) and its
// label, in the time-ordered map the band draws. Filled from the script file and by "Marquer cette
// position..."; changed() tells the menu.
class CBookmarkList : public QObject, public IBookmarkSink, public IBookmarkSource {
    Q_OBJECT
public:
    static constexpr int FIRST_ID = 45000;
    static constexpr int LAST_ID = 45999;
    using Entry = CBookmarks::value_type; // (timecode, {command, label})

    const CBookmarks& items() const { return m_items; }
    bool isEmpty() const { return m_items.empty(); }
    const CBookmark* find(const CTimeCode& tc) const;
    const Entry* findById(int nId) const;

    // Adds a mark; 0 when the position is already marked or every identifier is taken.
    int add(const CTimeCode& tc, const QString& strLabel);
    void addBookmark(const CTimeCode& tc, const QString& strLabel) override { add(tc, strLabel); }
    int getBookmarkCount() const override { return int(m_items.size()); }
    void getBookmark(int i, CTimeCode& tc, QString& strLabel) const override;
    bool remove(int nId);
    void clear();

    // "Position %d" with the smallest number from 1 that no label uses.
    QString proposeLabel() const;

signals:
    void changed();

private:
    CBookmarks m_items;
    int m_nNextId = FIRST_ID;
};
