#include "export/PhraseText.h"

#include "vare/ScriptItems.h"

QString tidyPhraseText(const QString& strText) {
    QString str = strText;
    // Replacing all "  " by " " once already leaves no two spaces in a row.
    str.replace(QStringLiteral("  "), QStringLiteral(" "));
    while (str.contains(QStringLiteral("  ")))
        str.replace(QStringLiteral("  "), QStringLiteral(" "));
    return str.trimmed();
}

QString startText(const CLine& line) {
    return QString::fromLatin1(
        (line.m_liste.empty() ? TC_INVALID : line.m_liste.front().getTimeCode()).getText());
}

QString endText(const CLine& line) {
    return QString::fromLatin1(
        (line.m_liste.empty() ? TC_INVALID : line.m_liste.back().getTimeCode()).getText());
}
