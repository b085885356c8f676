#include "export/Lignage.h"

#include "vare/VarE.h"

#include <QChar>

namespace {
bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isVowel(char16_t c) {
    return c == u'a' || c == u'e' || c == u'i' || c == u'o' || c == u'u' || c == u'y';
}
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}
bool isBeforeBlankRemoved(char16_t d) {
    return isBlank(d) || d == u'\'' || d == u',' || d == u'.' || d == u':' || d == u'?';
}
bool isTriple(char16_t c, char16_t d, char16_t e, const char16_t (&sz)[4]) {
    return c == sz[0] && d == sz[1] && e == sz[2];
}
} // namespace

int countSpokenCharacters(QStringView strText) {
    const qsizetype n = strText.size();
    // One code unit at a time, as a wide lower-case conversion does, so that the length is kept.
    auto at = [&](qsizetype i) { return QChar::toLower(strText[i].unicode()); };
    qsizetype nCount = n;
    bool bInParentheses = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = char16_t(at(i));
        if (c == u'(') {
            --nCount;
            bInParentheses = true;
            continue;
        }
        if (bInParentheses) {
            --nCount;
        } else if (i < n - 1) {
            const char16_t d = char16_t(at(i + 1));
            if ((isBlank(c) && isBeforeBlankRemoved(d)) || c == u'_' || (isVowel(c) && d == c)) {
                --nCount;
                continue;
            }
            if (i < n - 2) {
                const char16_t e = char16_t(at(i + 2));
                if (c == d && d == e) {
                    --nCount;
                } else if (isTriple(c, d, e, u"mts") || isTriple(c, d, e, u"tst")) {
                    nCount -= 3;
                } else if (isTriple(c, d, e, u"sni")) {
                    qsizetype j = i + 3;
                    while (j < n && at(j) == u'f')
                        ++j;
                    const qsizetype nRun = j - (i + 3);
                    if (nRun > 0 && (j == n || !isAsciiLetter(char16_t(at(j))))) nCount -= nRun >= 2 ? 5 : 4;
                }
            }
        }
        if (c == u')') bInParentheses = false;
    }
    // Overlapping noises ("mtstst") could take more than the text holds; a phrase never takes
    // characters from the others.
    return nCount > 0 ? int(nCount) : 0;
}

int lignageFromCount(int nCount) {
    const int nLines = nCount / 50;
    if (nLines == 0 && nCount != 0) return 1;
    return nLines + (nCount - 50 * nLines > 25 ? 1 : 0);
}

int getLignage(const CVarE& script, const CRole& role) {
    int nCount = 0;
    for (const CLine& line : script.getLines()) {
        if (line.isReaction() || !line.hasRole()) continue;
        const CRole* pRole = line.getRolePtr();
        if (pRole != &role && pRole->getName() != role.getName()) continue;
        nCount += countSpokenCharacters(line.getText());
    }
    return lignageFromCount(nCount);
}
