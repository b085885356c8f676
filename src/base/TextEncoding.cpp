#include "base/TextEncoding.h"

#include <array>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace {
struct Tables {
    std::array<char16_t, 256> decode{};
    std::vector<unsigned char> encode = std::vector<unsigned char>(65536, 0);

    Tables() {
        iconv_t cd = iconv_open("UTF-16LE", "WINDOWS-1252");
        for (int b = 0; b < 256; ++b) {
            char in = char(b);
            char16_t out = 0xFFFD;
            char* pIn = &in;
            char* pOut = reinterpret_cast<char*>(&out);
            size_t nIn = 1, nOut = 2;
            if (cd == iconv_t(-1) || iconv(cd, &pIn, &nIn, &pOut, &nOut) == size_t(-1)) out = 0xFFFD;
            decode[size_t(b)] = out;
        }
        if (cd != iconv_t(-1)) iconv_close(cd);
        for (int b = 1; b < 256; ++b)
            if (decode[size_t(b)] != 0xFFFD) encode[decode[size_t(b)]] = static_cast<unsigned char>(b);
    }
};

const Tables& tables() {
    static const Tables s_tables;
    return s_tables;
}
} // namespace

char Cp1252::encodeChar(char16_t c) {
    return char(tables().encode[c]);
}

bool Cp1252::canEncode(char16_t c) {
    return c == 0 || tables().encode[c] != 0;
}

QByteArray Cp1252::encode(const QString& str, char cReplacement, int* pnLost) {
    const Tables& t = tables();
    QByteArray out;
    out.reserve(str.size());
    int nLost = 0;
    for (qsizetype i = 0; i < str.size(); ++i) {
        const char16_t c = str.at(i).unicode();
        if (c == 0 || t.encode[c]) {
            out.append(char(t.encode[c]));
            continue;
        }
        // A surrogate pair is one character: one replacement.
        if (QChar::isHighSurrogate(c) && i + 1 < str.size() && QChar::isLowSurrogate(str.at(i + 1).unicode()))
            ++i;
        out.append(cReplacement);
        ++nLost;
    }
    if (pnLost) *pnLost = nLost;
    return out;
}

QChar Cp1252::decodeChar(unsigned char b) {
    return QChar(tables().decode[b]);
}

QString Cp1252::decode(const char* p, qsizetype n) {
    const Tables& t = tables();
    QString out(n, Qt::Uninitialized);
    QChar* pOut = out.data();
    for (qsizetype i = 0; i < n; ++i)
        pOut[i] = QChar(t.decode[static_cast<unsigned char>(p[i])]);
    return out;
}
