#include "export/SubtitleExport.h"

#include "base/FileSaver.h"
#include "base/SystemError.h"
#include "export/BestFit.h"
#include "export/PhraseText.h"
#include "vare/VarE.h"

#include <algorithm>

namespace {
QByteArray textLayout(const CVarE& script) {
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
    return out;
}

// A timecode as SubRip writes time: its hours, minutes and seconds, and its frames as milliseconds at
// the script's rate.
QString subRipTime(const CTimeCode& tc, int nRate) {
    const int nMs = std::min(999, (tc.getFrameOfSecond() * 1000 + nRate / 2) / nRate);
    return QString::asprintf("%02d:%02d:%02d,%03d", tc.getHours(), tc.getMinutes(), tc.getSeconds(), nMs);
}

QByteArray subRip(const CVarE& script) {
    // A phrase with all its signs on one frame has no length of its own: it stays this long on screen.
    const int SINGLE_SIGN_FRAMES = 2 * CTimeCode::DEFAULT_RATE;
    const int nRate = std::clamp(script.getFrameRate(), 1, 600);
    QString out;
    int nCue = 0;
    for (const CLine& line : script.getLines()) {
        if (line.getSigns().empty()) continue;
        // A blank line would end the cue: the text's lines are kept, its empty lines dropped.
        QStringList lines;
        for (const QString& str : tidyPhraseText(line.getText()).split(QLatin1Char('\n')))
            if (const QString strLine = str.trimmed(); !strLine.isEmpty()) lines.append(strLine);
        if (lines.isEmpty()) continue;
        const CTimeCode tcStart = line.getSigns().front().getTimeCode();
        CTimeCode tcEnd = line.getSigns().back().getTimeCode();
        if (tcEnd <= tcStart) tcEnd = tcStart + SINGLE_SIGN_FRAMES;
        out += QString::number(++nCue) + QStringLiteral("\r\n") + subRipTime(tcStart, nRate) +
               QStringLiteral(" --> ") + subRipTime(tcEnd, nRate) + QStringLiteral("\r\n") +
               lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n");
    }
    return out.toUtf8();
}
} // namespace

bool exportSubtitles(const CVarE& script, const QString& strPath, QString* pError, ESubtitleFormat eFormat) {
    return CFileSaver::save(strPath, eFormat == SUBTITLES_SUBRIP ? subRip(script) : textLayout(script),
                            pError);
}

QString defaultSubtitleExportName(const QString& strScriptPath) {
    QString str = strScriptPath;
    if (str.endsWith(QStringLiteral(".vare"))) str.chop(5);
    return str + QStringLiteral(" - SOUS-TITRE");
}
