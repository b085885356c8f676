#include "app/ElementRanges.h"

#include <QTextCursor>
#include <QTextDocument>

namespace {
// The element a block starts.
struct CElementMark : QTextBlockUserData {
    explicit CElementMark(const CElement* p) : pElement(p) {}
    const CElement* pElement;
};
} // namespace

CElementRanges::CElementRanges(QTextDocument& doc) : m_doc(doc) {}

void CElementRanges::clear() {
    m_doc.clear();
    m_blocks.clear();
    m_nTotal = 0;
}

const CElement* CElementRanges::markOf(const QTextBlock& block) {
    const auto* pMark = block.isValid() ? static_cast<const CElementMark*>(block.userData()) : nullptr;
    return pMark ? pMark->pElement : nullptr;
}

void CElementRanges::mark(const QTextBlock& block, const CElement* pElement, quintptr nStamp) {
    QTextBlock b = block;
    if (auto* pMark = static_cast<CElementMark*>(b.userData()))
        pMark->pElement = pElement;
    else
        b.setUserData(new CElementMark(pElement));
    m_blocks[pElement] = {block, nStamp};
}

std::pair<int, int> CElementRanges::range(const CElement* pElement) const {
    const auto it = m_blocks.find(pElement);
    if (it == m_blocks.end()) return {-1, -1};
    const int nStart = it->second.block.position();
    return {nStart, nStart + it->second.block.length()};
}

const CElement* CElementRanges::elementAt(int nPos) const {
    if (nPos < 0 || nPos >= m_nTotal) return nullptr;
    return markOf(m_doc.findBlock(nPos));
}

QTextBlock CElementRanges::block(const CElement* pElement) const {
    const auto it = m_blocks.find(pElement);
    return it == m_blocks.end() ? QTextBlock() : it->second.block;
}

quintptr CElementRanges::stamp(const CElement* pElement) const {
    const auto it = m_blocks.find(pElement);
    return it == m_blocks.end() ? 0 : it->second.nStamp;
}

std::vector<const CElement*> CElementRanges::elements() const {
    std::vector<const CElement*> v;
    v.reserve(m_blocks.size());
    for (QTextBlock b = m_doc.firstBlock(); b.isValid(); b = b.next())
        if (const CElement* p = markOf(b)) v.push_back(p);
    return v;
}

int CElementRanges::insert(const CElement* pElement, int nPos, quintptr nStamp, const Writer& write) {
    // Qt may give the element's first line the block that held the next element's: both are marked
    // again once the text is in.
    const CElement* pNext = markOf(m_doc.findBlock(nPos));
    const quintptr nNextStamp = pNext ? stamp(pNext) : 0;
    QTextCursor cursor(&m_doc);
    cursor.setPosition(nPos);
    write(cursor);
    const int n = cursor.position() - nPos;
    if (n == 0) return 0;
    mark(m_doc.findBlock(nPos), pElement, nStamp);
    QTextBlock after = m_doc.findBlock(nPos + n);
    if (pNext)
        mark(after, pNext, nNextStamp);
    else
        after.setUserData(nullptr);
    m_nTotal += n;
    return n;
}

int CElementRanges::remove(const CElement* pElement) {
    const auto it = m_blocks.find(pElement);
    if (it == m_blocks.end()) return 0;
    const QTextBlock block = it->second.block;
    const int nStart = block.position(), n = block.length();
    const CElement* pNext = markOf(block.next()); // the document's last block carries no mark
    const quintptr nNextStamp = pNext ? stamp(pNext) : 0;
    m_blocks.erase(it);
    QTextCursor cursor(&m_doc);
    cursor.setPosition(nStart);
    cursor.setPosition(nStart + n, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    // The two blocks were joined: the one left may hold either mark.
    QTextBlock left = m_doc.findBlock(nStart);
    if (pNext)
        mark(left, pNext, nNextStamp);
    else
        left.setUserData(nullptr);
    m_nTotal -= n;
    return n;
}

int CElementRanges::rewrite(const CElement* pElement, quintptr nStamp, const Writer& write) {
    const auto it = m_blocks.find(pElement);
    if (it == m_blocks.end()) return 0;
    const int nStart = it->second.block.position();
    const int nOld = remove(pElement);
    return insert(pElement, nStart, nStamp, write) - nOld;
}

int CElementRanges::rewriteHead(const CElement* pElement, int nLength, const Writer& write) {
    const auto it = m_blocks.find(pElement);
    if (it == m_blocks.end() || nLength <= 0 || nLength >= it->second.block.length()) return 0;
    // The block and its mark stay: only characters inside it change.
    const int nStart = it->second.block.position();
    QTextCursor cursor(&m_doc);
    cursor.setPosition(nStart);
    cursor.setPosition(nStart + nLength, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    write(cursor);
    const int nChange = cursor.position() - nStart - nLength;
    m_nTotal += nChange;
    return nChange;
}
