#include "app/ScriptTextStyle.h"

#include "export/PhraseText.h"
#include "vare/ScriptItems.h"

#include <QFontDatabase>
#include <QTextCursor>

namespace {
constexpr QChar LINE_BREAK = QChar::LineSeparator;
const QLatin1StringView TIMECODE_DASH(" - ");

// Line breaks become line separators, so that an element stays one block; a line break read from a
// file ("\r\n") is one break, as are a lone "\r" or "\n".
QString withLineBreaks(const QString& str) {
    QString out;
    out.reserve(str.size());
    for (qsizetype i = 0; i < str.size(); ++i) {
        const char16_t u = str[i].unicode();
        if (u == u'\r' && i + 1 < str.size() && str[i + 1] == QLatin1Char('\n')) continue;
        const bool bBreak =
            u == u'\n' || u == u'\r' || u == QChar::ParagraphSeparator || u == 0xFDD0 || u == 0xFDD1;
        out += bBreak ? LINE_BREAK : str[i];
    }
    return out;
}

QTextCharFormat pieceFormat(double fPoints, bool bBold, const QColor& color) {
    QTextCharFormat f;
    f.setFontPointSize(fPoints);
    f.setFontWeight(bBold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(false);
    f.setFontUnderline(false);
    f.setFontStrikeOut(false);
    f.setAnchor(false);
    f.setForeground(color);
    return f;
}
} // namespace

CScriptTextStyle::SColors CScriptTextStyle::colorsFor(int nTheme) {
    const QColor current(168, 39, 47);
    if (nTheme == 0) return {QColor(246, 247, 250), QColor(96, 104, 115), QColor(36, 44, 52), current};
    return {QColor(250, 246, 232), QColor(140, 114, 85), QColor(47, 30, 14), current};
}

QString CScriptTextStyle::faceName() {
    const QStringList families = QFontDatabase::families();
    for (const char* psz : {"Courier New", "Liberation Mono", "DejaVu Sans Mono"}) {
        QString str = QString::fromLatin1(psz);
        if (families.contains(str, Qt::CaseInsensitive)) return str;
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

QString CScriptTextStyle::phraseText(const QString& strText) {
    return tidyPhraseText(strText);
}

CScriptTextStyle::CScriptTextStyle(int nTheme) {
    build(nTheme);
}

void CScriptTextStyle::setTheme(int nTheme) {
    if ((nTheme != 0) != (m_nTheme != 0))
        build(nTheme);
    else
        m_nTheme = nTheme;
}

void CScriptTextStyle::build(int nTheme) {
    m_nTheme = nTheme;
    m_colors = colorsFor(nTheme);
    for (int i = 0; i < 2; ++i) {
        const QColor& text = i ? m_colors.current : m_colors.text;
        m_formats[i][TIMECODE] = pieceFormat(7.5, false, i ? m_colors.current : m_colors.timecode);
        m_formats[i][ROLE] = pieceFormat(10, true, text);
        m_formats[i][TEXT] = pieceFormat(TEXT_POINTS, false, text);
        m_formats[i][LOOP_WORD] = pieceFormat(10, true, text);
        m_formats[i][LOOP_NUMBER] = pieceFormat(15, true, text);
    }
    m_blockEnd = pieceFormat(TEXT_POINTS, false, m_colors.text);
}

void CScriptTextStyle::write(QTextCursor& cursor, const CElement& element, bool bCurrent) const {
    if (element.getKind() == CElement::KIND_LINE) {
        const auto& line = static_cast<const CLine&>(element);
        writeTimeCode(cursor, line, bCurrent);
        const QString strRole =
            line.hasRole() ? withLineBreaks(line.getRole().getName()) : QStringLiteral("???");
        cursor.insertText(strRole + QStringLiteral(" :") + LINE_BREAK, format(ROLE, bCurrent));
        cursor.insertText(withLineBreaks(phraseText(line.getText())) + LINE_BREAK, format(TEXT, bCurrent));
    } else if (element.getKind() == CElement::KIND_LOOP) {
        const auto& loop = static_cast<const CLoop&>(element);
        cursor.insertText(QStringLiteral("boucle "), format(LOOP_WORD, bCurrent));
        cursor.insertText(QString::number(loop.getNumber()) + LINE_BREAK, format(LOOP_NUMBER, bCurrent));
    }
    // The block end's format is the next block's, and sets the height of that block's empty last line:
    // one format for all, or an element after a loop would end on a taller blank line.
    if (element.getKind() == CElement::KIND_LINE || element.getKind() == CElement::KIND_LOOP)
        cursor.insertText(QStringLiteral("\n"), m_blockEnd);
}

QString CScriptTextStyle::timeCodePiece(const CLine& line) {
    const CTimeCode tc = line.getSigns().empty() ? TC_INVALID : line.getTimeCode();
    return QString::fromLatin1(tc.getText()) + TIMECODE_DASH;
}

int CScriptTextStyle::timeCodePieceLength(const QString& strShown) {
    // The timecode holds no dash between spaces: the first one ends the piece.
    const qsizetype i = strShown.indexOf(TIMECODE_DASH);
    return i < 0 ? 0 : int(i + TIMECODE_DASH.size());
}

void CScriptTextStyle::writeTimeCode(QTextCursor& cursor, const CLine& line, bool bCurrent) const {
    cursor.insertText(timeCodePiece(line), format(TIMECODE, bCurrent));
}
