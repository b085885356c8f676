#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, the code page of legacy detection files, RTF documents, subtitles and the clipboard of
// other studio programs. The tables are built once from iconv, so the mapping is the C library's.
namespace Cp1252 {
// The byte for a UTF-16 code unit, or 0 when Windows-1252 cannot hold it (NUL itself maps to 0 too).
char encodeChar(char16_t c);
bool canEncode(char16_t c);
// Characters that cannot be held become cReplacement; *pnLost counts them.
QByteArray encode(const QString& str, char cReplacement = '?', int* pnLost = nullptr);
// The five bytes Windows-1252 leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) read as U+FFFD.
QChar decodeChar(unsigned char b);
QString decode(const char* p, qsizetype n);
inline QString decode(const QByteArray& data) {
    return decode(data.constData(), data.size());
}
} // namespace Cp1252
