#pragma once

#include <QColor>
#include <QString>
#include <QTextCharFormat>

class CElement;
class CLine;
class QTextCursor;

// How the script text view writes an element and in which colours: a phrase as its timecode, its
// role's name and its text; a loop as a heading. The "Theme" setting chooses the colours: 0 "Métal",
// any other value "Papier".
class CScriptTextStyle {
public:
    struct SColors {
        QColor background;
        QColor timecode;
        QColor text; // role names and phrase texts
        QColor current;
    };
    static constexpr double TEXT_POINTS = 8.75; // the phrase text's size
    static SColors colorsFor(int nTheme);
    // "Courier New", else the first installed of "Liberation Mono" and "DejaVu Sans Mono", else the
    // system's fixed-pitch face.
    static QString faceName();
    // A phrase's text as shown: runs of spaces made one, white space trimmed at both ends.
    static QString phraseText(const QString& strText);

    explicit CScriptTextStyle(int nTheme = 1);

    void setTheme(int nTheme);
    int theme() const { return m_nTheme; }
    const SColors& colors() const { return m_colors; }

    // Writes a phrase's or a loop's pieces at the cursor, in the current element's colour when told;
    // the text ends with the element's last line break and holds no other paragraph break (breaks
    // inside are line separators, as many characters as the line breaks they stand for).
    void write(QTextCursor& cursor, const CElement& element, bool bCurrent) const;

    // The piece a phrase's text starts with: its timecode and the dash after it.
    static QString timeCodePiece(const CLine& line);
    // The length of that piece at the start of the shown text of a phrase; 0 when there is none.
    static int timeCodePieceLength(const QString& strShown);
    void writeTimeCode(QTextCursor& cursor, const CLine& line, bool bCurrent) const;

private:
    enum EPiece { TIMECODE, ROLE, TEXT, LOOP_WORD, LOOP_NUMBER, PIECE_COUNT };
    const QTextCharFormat& format(EPiece e, bool bCurrent) const { return m_formats[bCurrent][e]; }
    void build(int nTheme);

    int m_nTheme = 1;
    SColors m_colors;
    QTextCharFormat m_formats[2][PIECE_COUNT];
    QTextCharFormat m_blockEnd;
};
