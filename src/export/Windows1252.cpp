#include "export/Windows1252.h"

#include <array>
#include <cstdint>
#include <iconv.h>

namespace {
// Code point to byte for the Basic Multilingual Plane; 0 means "not in the code page" (except for
// U+0000 itself, handled by toByte).
struct CTable {
    std::array<std::uint8_t, 0x10000> m_aByte{};

    CTable() {
        // Plain ASCII is the same in both, and keeps the table usable if iconv lacks the code page.
        for (int i = 1; i < 0x80; ++i) m_aByte[size_t(i)] = std::uint8_t(i);
        iconv_t cd = iconv_open("UTF-32LE", "WINDOWS-1252");
        if (cd == iconv_t(-1)) return;
        for (int b = 0x80; b < 0x100; ++b) {
            char in = char(b);
            unsigned char out[4] = {};
            char* pIn = &in;
            char* pOut = reinterpret_cast<char*>(out);
            size_t nIn = 1, nOut = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &pIn, &nIn, &pOut, &nOut) == size_t(-1) || nOut != 0) continue;
            const char32_t ucs = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 |
                                 char32_t(out[3]) << 24;
            if (ucs < 0x10000) m_aByte[ucs] = std::uint8_t(b);
        }
        iconv_close(cd);
    }
};

const CTable& table() {
    static const CTable s_table;
    return s_table;
}
} // namespace

int CWindows1252::toByte(char32_t ucs) {
    if (ucs == 0) return 0;
    if (ucs >= 0x10000) return -1;
    const int b = table().m_aByte[ucs];
    return b ? b : -1;
}

char CWindows1252::replacementFor(char32_t ucs) {
    if (ucs < 0x10000) {
        // Canonical decomposition: the first character is the base letter.
        const QString strBase = QString(QChar(char16_t(ucs))).normalized(QString::NormalizationForm_D);
        if (!strBase.isEmpty() && strBase.at(0).unicode() != ucs) {
            const int b = toByte(strBase.at(0).unicode());
            if (b > 0) return char(b);
        }
    }
    return '?';
}

QByteArray CWindows1252::encode(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t ucs = text[i].unicode();
        if (QChar::isHighSurrogate(ucs) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ucs = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        const int b = toByte(ucs);
        out.append(b >= 0 ? char(b) : replacementFor(ucs));
    }
    return out;
}
