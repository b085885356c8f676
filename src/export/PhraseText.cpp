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
        (line.getSigns().empty() ? TC_INVALID : line.getSigns().front().getTimeCode()).getText());
}

QString endText(const CLine& line) {
    return QString::fromLatin1(
        (line.getSigns().empty() ? TC_INVALID : line.getSigns().back().getTimeCode()).getText());
}
