#pragma once

#include <QString>

class CVarE;

// Writes every phrase, in script order, as a time line and a text line of a Windows-1252 text file
// with CR LF line ends, for subtitling. False when the file cannot be written, with the reason in
// French in pError; the target is then left as it was.
bool exportSubtitles(const CVarE& script, const QString& strPath, QString* pError = nullptr);

// The file name offered for the subtitles: the script's path without ".vare" and " - SOUS-TITRE".
QString defaultSubtitleExportName(const QString& strScriptPath);
