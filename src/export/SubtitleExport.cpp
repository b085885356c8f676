#include "export/SubtitleExport.h"

#include "base/SystemError.h"
#include "export/BestFit.h"
#include "export/PhraseText.h"
#include "vare/VarE.h"

#include <QSaveFile>

bool exportSubtitles(const CVarE& script, const QString& strPath, QString* pError) {
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly)) {
        if (pError) *pError = fileErrorReason(file);
        return false;
    }
    QByteArray out("\r\n");
    out.reserve(64 * script.getLineCount() + 2);
    for (const CLine& line : script.getLines()) {
        QString str = QLatin1Char(' ') + startText(line);
        if (line.hasClosingSign()) str += QStringLiteral("  ") + endText(line);
        str += QStringLiteral("\n") + tidyPhraseText(line.getText()) + QLatin1Char('\n');
        // Line breaks are stored as CR LF; every one, and each line end, is written as CR LF once.
        str.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        str.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        out += encodeCp1252BestFit(str);
    }
    if (file.write(out) != out.size() || !file.commit()) {
        if (pError) *pError = fileErrorReason(file);
        file.cancelWriting();
        return false;
    }
    return true;
}

QString defaultSubtitleExportName(const QString& strScriptPath) {
    QString str = strScriptPath;
    if (str.endsWith(QStringLiteral(".vare"))) str.chop(5);
    return str + QStringLiteral(" - SOUS-TITRE");
}
