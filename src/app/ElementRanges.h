#pragma once

#include <QTextBlock>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

class CElement;
class QTextCursor;
class QTextDocument;

// Where the text of each shown element (phrase or loop) lies in a text document: the range
// [start, end) of character positions it occupies, the ranges disjoint and together covering
// [0, total) in the order the elements were placed.
//
// Each element is exactly one block of the document (its line breaks inside are line separators, its
// last character the block's end), so an element's range is its block's, and Qt's own block map keeps
// every position: inserting or removing an element shifts the later ones without a walk over them, and
// finding an element's range or the element at a position costs a logarithm of the number of blocks.
// The block of an element is marked with it (block user data); the marks are set again around every
// change, whatever block Qt keeps when it splits or joins blocks.
//
// Every element also carries a stamp of the caller's: what its text was written from (a loop's
// number, a phrase's role), so that the caller can tell which texts a change of the script left stale.
class CElementRanges {
public:
    // Writes an element's text at the cursor: any characters, the last one a block end ("\n"), no
    // other block end before it.
    using Writer = std::function<void(QTextCursor&)>;

    explicit CElementRanges(QTextDocument& doc);

    // Removes every element and the whole text.
    void clear();

    int total() const { return m_nTotal; }
    int count() const { return int(m_blocks.size()); }
    bool contains(const CElement* pElement) const { return m_blocks.count(pElement) != 0; }
    // [start, end); {-1, -1} for an element not shown.
    std::pair<int, int> range(const CElement* pElement) const;
    // The element whose range holds the position (start <= position < end), null outside all.
    const CElement* elementAt(int nPos) const;
    // The block that starts an element's range (an invalid block when not shown).
    QTextBlock block(const CElement* pElement) const;
    // 0 when not shown.
    quintptr stamp(const CElement* pElement) const;
    // Every element in the order of the text (a walk over the whole document).
    std::vector<const CElement*> elements() const;

    // Writes the element at nPos, which starts another element's range or is the total; returns the
    // number of characters written. The elements from nPos on move by that number.
    int insert(const CElement* pElement, int nPos, quintptr nStamp, const Writer& write);
    // Removes the element and its text; returns the number of characters removed (0 when not shown).
    int remove(const CElement* pElement);
    // Writes the element again over its range; returns the change of length.
    int rewrite(const CElement* pElement, quintptr nStamp, const Writer& write);
    // Writes the first nLength characters of the element's text again (no block end among them, nor
    // in what write() writes); returns the change of length.
    int rewriteHead(const CElement* pElement, int nLength, const Writer& write);
    // The element a block holds, null for none.
    static const CElement* elementOf(const QTextBlock& block) { return markOf(block); }

private:
    struct SEntry {
        QTextBlock block;
        quintptr nStamp;
    };
    static const CElement* markOf(const QTextBlock& block);
    void mark(const QTextBlock& block, const CElement* pElement, quintptr nStamp);

    QTextDocument& m_doc;
    std::unordered_map<const CElement*, SEntry> m_blocks;
    int m_nTotal = 0;
};
