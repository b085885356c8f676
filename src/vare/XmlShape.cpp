#include "vare/XmlShape.h"

#include <cstring>

namespace {
// Where the text from p starts with the literal, moves p past it.
bool skipLiteral(const char*& p, const char* pEnd, const char* pszLiteral) {
    const size_t n = std::strlen(pszLiteral);
    if (size_t(pEnd - p) < n || std::memcmp(p, pszLiteral, n) != 0) return false;
    p += n;
    return true;
}

// Moves p past the next occurrence of the literal (or to the end).
void skipPast(const char*& p, const char* pEnd, const char* pszLiteral) {
    const size_t n = std::strlen(pszLiteral);
    while (p < pEnd) {
        if (size_t(pEnd - p) >= n && std::memcmp(p, pszLiteral, n) == 0) {
            p += n;
            return;
        }
        ++p;
    }
}
} // namespace

CXmlShape::EVerdict CXmlShape::check(const QByteArray& text, int nMaxDepth) {
    const char* p = text.constData();
    const char* const pEnd = p + text.size();
    int nDepth = 0;
    while (p < pEnd) {
        if (*p != '<') {
            ++p;
            continue;
        }
        ++p;
        if (skipLiteral(p, pEnd, "!--")) {
            skipPast(p, pEnd, "-->");
        } else if (skipLiteral(p, pEnd, "![CDATA[")) {
            skipPast(p, pEnd, "]]>");
        } else if (skipLiteral(p, pEnd, "!ENTITY")) {
            return DECLARES_ENTITIES;
        } else if (*p == '?') {
            skipPast(p, pEnd, "?>");
        } else if (*p == '!') {
            // A document type declaration: its internal subset is read on as text, so that a declared
            // entity inside it is found above.
            ++p;
        } else if (*p == '/') {
            skipPast(p, pEnd, ">");
            if (nDepth > 0) --nDepth;
        } else {
            // A start tag; quoted attribute values may hold '>' and "/>".
            char cQuote = 0;
            bool bEmpty = false;
            while (p < pEnd) {
                const char c = *p++;
                if (cQuote) {
                    if (c == cQuote) cQuote = 0;
                } else if (c == '"' || c == '\'') {
                    cQuote = c;
                } else if (c == '>') {
                    bEmpty = p - 2 >= text.constData() && p[-2] == '/';
                    break;
                }
            }
            if (!bEmpty && ++nDepth > nMaxDepth) return TOO_DEEP;
        }
    }
    return OK;
}
