#include "export/RtfFile.h"

#include "base/SystemError.h"
#include "base/TextEncoding.h"
#include "export/BestFit.h"

#include <exception>

namespace {
constexpr qsizetype FLUSH_SIZE = 1 << 16;
constexpr int FIELD_SIZE = 18;

void appendUnicodeEscape(QByteArray& out, char16_t unit, char fallback) {
    // RTF takes a signed 16-bit value.
    out.append("\\u");
    out.append(QByteArray::number(unit > 0x7FFF ? int(unit) - 0x10000 : int(unit)));
    out.append(fallback);
}
} // namespace

CRtfFile::CRtfFile() = default;

CRtfFile::~CRtfFile() {
    if (!isOpen()) return;
    if (std::uncaught_exceptions() > 0)
        cancel();
    else
        close();
}

bool CRtfFile::open(const QString& strPath, const QString& strGenerator, const QString& strAuthor) {
    if (isOpen()) close();
    auto pFile = std::make_unique<CFileSaver>(strPath);
    m_strError.clear();
    if (!pFile->open()) {
        m_strError = pFile->reason();
        return false;
    }
    m_pFile = std::move(pFile);
    m_buffer.clear();
    m_bFirstSection = true;
    write("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036\n");
    write("{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}{\\f1\\fswiss\\fcharset0 Arial;}}\n");
    write("\\uc1\n");
    write("{\\*\\generator ");
    write(encodeText(strGenerator));
    write("}\n");
    write("{\\info{\\author ");
    write(encodeText(strAuthor));
    write("}}\n");
    return true;
}

bool CRtfFile::close() {
    if (!isOpen()) return false;
    write("}\n");
    flush();
    const bool bOk = m_pFile->commit();
    if (!bOk) m_strError = m_pFile->reason();
    m_pFile.reset();
    return bOk;
}

void CRtfFile::cancel() {
    if (!isOpen()) return;
    m_pFile->cancel();
    m_pFile.reset();
    m_buffer.clear();
}

void CRtfFile::flush() {
    if (m_buffer.isEmpty()) return;
    m_pFile->write(m_buffer); // a failed write makes commit() fail
    m_buffer.clear();
}

void CRtfFile::write(const char* psz) {
    for (; *psz; ++psz) {
        if (*psz == '\n') m_buffer.append('\r');
        m_buffer.append(*psz);
    }
    if (m_buffer.size() >= FLUSH_SIZE) flush();
}

void CRtfFile::write(const QByteArray& data) {
    m_buffer.reserve(m_buffer.size() + data.size());
    for (char c : data) {
        if (c == '\n') m_buffer.append('\r');
        m_buffer.append(c);
    }
    if (m_buffer.size() >= FLUSH_SIZE) flush();
}

void CRtfFile::writeInt(const char* pszControl, int n) {
    write(pszControl);
    write(QByteArray::number(n));
}

QByteArray CRtfFile::encodeText(QStringView text) {
    QByteArray out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        switch (c) {
        case u'\u0153':
            out.append("oe");
            continue;
        case u'\u2013':
            out.append('-');
            continue;
        case u'\u2018':
        case u'\u2019':
            out.append('\'');
            continue;
        case u'\u201C':
        case u'\u201D':
            out.append('"');
            continue;
        case u'\u2026':
            out.append("...");
            continue;
        case u'\u2640':
            continue;
        case u'\\':
        case u'{':
        case u'}':
            out.append('\\');
            out.append(char(c));
            continue;
        default:
            break;
        }
        if (c < 0x20 && c != u'\t' && c != u'\r') {
            // Other control characters have no meaning in RTF text: keep them as hex escapes.
            static const char s_szHex[] = "0123456789abcdef";
            out.append("\\'");
            out.append(s_szHex[c >> 4]);
            out.append(s_szHex[c & 15]);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            appendUnicodeEscape(out, c, '?');
            appendUnicodeEscape(out, text[++i].unicode(), '?');
            continue;
        }
        if (Cp1252::canEncode(c))
            out.append(Cp1252::encodeChar(c));
        else
            appendUnicodeEscape(out, c, cp1252BestFit(c));
    }
    return out;
}

void CRtfFile::writeText(int nSize, const QString& strText, int nStyle, int nAlign) {
    writeInt("\\plain\\fs", nSize);
    if (nStyle & STYLE_BOLD) write("\\b");
    if (nStyle & STYLE_ITALIC) write("\\i");
    if (nAlign == ALIGN_CENTER)
        write("\\qc");
    else if (nAlign == ALIGN_RIGHT)
        write("\\qr");
    // Each LF becomes "\line"; a CR before it stays in the file, where RTF ignores it.
    QStringView rest(strText);
    for (qsizetype nLf = rest.indexOf(u'\n'); nLf >= 0; nLf = rest.indexOf(u'\n')) {
        write(" ");
        write(encodeText(rest.left(nLf)));
        write("\\line");
        rest = rest.mid(nLf + 1);
    }
    write(" ");
    write(encodeText(rest));
}

void CRtfFile::writeParagraph(const QString& strText, int nStyle, int nAlign, int nSize) {
    write("\\pard");
    if (!strText.isEmpty()) writeText(nSize, strText, nStyle, nAlign);
    write("\\par\n");
}

void CRtfFile::writeTitle(const QString& strText, int nLevel, bool bBorders, bool bKeepNext, int nAlign) {
    write("\\pard ");
    if (bKeepNext) write("\\keepn ");
    if (bBorders) write("\\brdrt\\brdrs\\brdrw15\\brsp20 \\brdrb\\brdrs\\brdrw15\\brsp20 ");
    write("\\sb400\\sa300 ");
    writeText(nLevel == 2 ? 36 : 18, strText, STYLE_BOLD, nAlign);
    write("\\par\n");
}

void CRtfFile::writeField(const char* pszStart, const QString& strLabel, const QString& strValue) {
    write(pszStart);
    writeText(FIELD_SIZE, strLabel, STYLE_BOLD);
    write("\\tab: ");
    writeText(FIELD_SIZE, strValue);
    write("\\par\n");
}

void CRtfFile::writeField(const QString& strLabel, const QString& strValue) {
    writeField("\\pard\\fi-1836\\li1836\\tx1836\n", strLabel, strValue);
}

void CRtfFile::writeField(const QString& strLabel, int nValue) {
    writeField(strLabel, QString::number(nValue));
}

void CRtfFile::writeFieldSpaced(const QString& strLabel, const QString& strValue) {
    writeField("\\pard\\fi-1836\\li1836\\tx1836\\sa100", strLabel, strValue);
}

void CRtfFile::writeCell(const QString& strText, int nStyle, int nAlign, int nSize) {
    write("\\pard\\intbl ");
    writeText(nSize, strText, nStyle, nAlign);
    write("\\cell\n");
}

void CRtfFile::beginSection() {
    if (!m_bFirstSection) write("\\sect\n");
    m_bFirstSection = false;
    write("\\sectd\\sbkodd");
}
