#pragma once

#include "vare/TimeCode.h"
#include "vare/VarE.h"

#include <QObject>
#include <QString>
#include <map>

// The marked positions of the current script, in time order, each with its command identifier
// (45000 + n) and its label. Filled from the script file and by "Marquer cette position...".
class CBookmarks : public QObject, public IBookmarkSink {
    Q_OBJECT
public:
    static constexpr int FIRST_ID = 45000;
    static constexpr int LAST_ID = 45999;

    struct SBookmark {
        CTimeCode tc;
        int nId = 0;
        QString strLabel;
    };
    using Map = std::map<int, SBookmark>; // by frame

    const Map& items() const { return m_items; }
    bool isEmpty() const { return m_items.empty(); }
    const SBookmark* find(const CTimeCode& tc) const;
    const SBookmark* findById(int nId) const;

    // Adds a mark; 0 when the position is already marked or every identifier is taken.
    int add(const CTimeCode& tc, const QString& strLabel);
    void addBookmark(const CTimeCode& tc, const QString& strLabel) override { add(tc, strLabel); }
    bool remove(int nId);
    void clear();

    // "Position %d" with the smallest number from 1 that no label uses.
    QString proposeLabel() const;

signals:
    void changed();

private:
    Map m_items;
    int m_nNextId = FIRST_ID;
};
