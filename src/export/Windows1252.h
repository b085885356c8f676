#pragma once

#include <QByteArray>
#include <QString>

// The Windows-1252 code page of the studio documents (RTF and subtitle files). The table is built
// once from glibc's iconv, then every conversion is a lookup.
class CWindows1252 {
public:
    // The byte for a code point, or -1 when the code page cannot hold it (including the five
    // unassigned bytes 0x81, 0x8D, 0x8F, 0x90, 0x9D, which iconv refuses too).
    static int toByte(char32_t ucs);

    // A byte for a code point the code page cannot hold: its base letter when the character is a
    // letter with marks that the code page holds without them (ő gives o, ŝ gives s), else '?'.
    static char replacementFor(char32_t ucs);

    // Encodes a whole text; each code point the code page cannot hold becomes one replacement byte.
    static QByteArray encode(QStringView text);
};
