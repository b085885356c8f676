#include "RtfChecker.h"

#include "base/TextEncoding.h"

#include <QSet>
#include <vector>

namespace {
const QSet<QString>& knownWords() {
    static const QSet<QString> s_set = {
        "rtf",      "ansi",     "ansicpg",  "deff",      "deflang",   "fonttbl",   "f",       "fmodern",
        "fswiss",   "fprq",     "fcharset", "uc",        "u",         "generator", "info",    "author",
        "header",   "footer",   "trowd",    "trhdr",     "trrh",      "pard",      "plain",   "fs",
        "b",        "i",        "qc",       "qr",        "line",      "par",       "keepn",   "brdrt",
        "brdrb",    "brdrs",    "brdrw",    "brsp",      "sb",        "sa",        "fi",      "li",
        "tx",       "tab",      "intbl",    "cell",      "row",       "sect",      "sectd",   "sbkodd",
        "marglsxn", "margrsxn", "margtsxn", "margbsxn",  "lndscpsxn", "pgwsxn",    "pghsxn",  "titlepg",
        "cellx",    "cltxlrtb", "cltxbtlr", "clvertalc", "clbrdrt",   "clbrdrl",   "clbrdrb", "clbrdrr",
        "clshdng",  "field",    "fldinst",  "fldrslt"};
    return s_set;
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

enum class EDest { Body, Skip, Header, Footer, FieldInst };
} // namespace

CRtfCheck checkRtf(const QByteArray& rtf) {
    CRtfCheck r;
    auto error = [&](const QString& str, qsizetype nAt) {
        if (r.errors.size() < 20) r.errors << QStringLiteral("%1 at byte %2").arg(str).arg(nAt);
    };
    if (!rtf.startsWith("{\\rtf1")) error("does not start with {\\rtf1", 0);

    std::vector<EDest> stack;
    bool bEnded = false;
    bool bPendingStar = false;
    int nSkipFallback = 0;
    auto put = [&](const QString& str) {
        if (stack.empty()) return;
        switch (stack.back()) {
        case EDest::Body:
            r.strText += str;
            break;
        case EDest::Header:
            r.strHeader += str;
            break;
        case EDest::Footer:
            r.strFooter += str;
            break;
        default:
            break;
        }
    };

    const qsizetype n = rtf.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = rtf[i];
        if (c == '\n') {
            if (i == 0 || rtf[i - 1] != '\r') error("LF without CR", i);
            continue;
        }
        if (c == '\r') {
            continue;
        }
        if (bEnded) {
            error("text after the closing brace", i);
            break;
        }
        if (c == '{') {
            stack.push_back(stack.empty() ? EDest::Body : stack.back());
            bPendingStar = false;
            continue;
        }
        if (c == '}') {
            if (stack.empty()) {
                error("unbalanced }", i);
                break;
            }
            stack.pop_back();
            if (stack.empty()) bEnded = true;
            continue;
        }
        if (stack.empty()) {
            error("text outside the document group", i);
            break;
        }
        if (c != '\\') {
            if (nSkipFallback > 0) {
                --nSkipFallback;
                continue;
            }
            put(QString(Cp1252::decodeChar(uchar(c))));
            continue;
        }
        // A control word or symbol.
        if (i + 1 >= n) {
            error("backslash at the end", i);
            break;
        }
        const char s = rtf[i + 1];
        if (!isLetter(s)) {
            i += 1;
            if (s == '\\' || s == '{' || s == '}') {
                if (nSkipFallback > 0)
                    --nSkipFallback;
                else
                    put(QString(QLatin1Char(s)));
            } else if (s == '*') {
                bPendingStar = true;
            } else if (s == '\'') {
                if (i + 2 >= n || hexValue(rtf[i + 1]) < 0 || hexValue(rtf[i + 2]) < 0)
                    error("bad \\' escape", i);
                else
                    i += 2;
            } else {
                error(QStringLiteral("unknown control symbol \\%1").arg(QLatin1Char(s)), i);
            }
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && isLetter(rtf[j]))
            ++j;
        const QString strWord = QString::fromLatin1(rtf.mid(i + 1, j - i - 1));
        qsizetype k = j;
        if (k < n && (rtf[k] == '-' || isDigit(rtf[k]))) {
            ++k;
            while (k < n && isDigit(rtf[k]))
                ++k;
        }
        const QByteArray param = rtf.mid(j, k - j);
        if (param == "-") error("sign without digits", j);
        if (k < n && rtf[k] == ' ') ++k; // the delimiting space belongs to the word
        i = k - 1;
        r.wordCounts[strWord] += 1;
        if (!knownWords().contains(strWord)) error("unknown control word \\" + strWord, j);

        if (strWord == "sectd") {
            qsizetype nEol = rtf.indexOf('\r', k);
            r.sectionParams << QString::fromLatin1(rtf.mid(j, (nEol < 0 ? n : nEol) - j));
        }
        if (bPendingStar) {
            stack.back() = strWord == "fldinst" ? EDest::FieldInst : EDest::Skip;
            bPendingStar = false;
            if (strWord == "fldinst") {
                // Show the field's instruction where it stands.
                qsizetype nEnd = rtf.indexOf('}', k);
                const QString strInst = QString::fromLatin1(rtf.mid(k, nEnd - k)).trimmed();
                if (stack.size() >= 2) {
                    const EDest parent = stack[stack.size() - 2];
                    const QString str = "{" + strInst + "}";
                    if (parent == EDest::Footer) r.strFooter += str;
                    if (parent == EDest::Header) r.strHeader += str;
                    if (parent == EDest::Body) r.strText += str;
                }
            }
            continue;
        }
        if (strWord == "fonttbl" || strWord == "info")
            stack.back() = EDest::Skip;
        else if (strWord == "header")
            stack.back() = EDest::Header;
        else if (strWord == "footer")
            stack.back() = EDest::Footer;
        else if (strWord == "par" || strWord == "line" || strWord == "row")
            put("\n");
        else if (strWord == "tab")
            put("\t");
        else if (strWord == "cell")
            put("|");
        else if (strWord == "u") {
            bool bOk = false;
            int nValue = param.toInt(&bOk);
            if (!bOk || nValue < -32768 || nValue > 32767) error("bad \\u value", j);
            put(QString(QChar(char16_t(nValue < 0 ? nValue + 0x10000 : nValue))));
            if (k >= n || rtf[k] == '\\' || rtf[k] == '{' || rtf[k] == '}') error("\\u without fallback", k);
            nSkipFallback = 1;
        }
    }
    if (!bEnded) error("document group not closed", n);
    r.bOk = r.errors.isEmpty();
    return r;
}
