#pragma once

#include <QString>

class CVarE;

// The two files "Sous-titrage UER..." writes: the studio's plain layout, and SubRip for subtitle
// programs.
enum ESubtitleFormat { SUBTITLES_TEXT = 0, SUBTITLES_SUBRIP = 1 };

// Writes every phrase, in script order. SUBTITLES_TEXT: a time line and a text line each, in a
// Windows-1252 text file with CR LF line ends. SUBTITLES_SUBRIP: one numbered cue each, timed
// "HH:MM:SS,mmm --> HH:MM:SS,mmm" from its first and last signs at the script's frame rate, in UTF-8.
// False when the file cannot be written, with the reason in French in pError; the target is then left
// as it was.
bool exportSubtitles(const CVarE& script, const QString& strPath, QString* pError = nullptr,
                     ESubtitleFormat eFormat = SUBTITLES_TEXT);

// The file name offered for the subtitles: the script's path without ".vare" and " - SOUS-TITRE".
QString defaultSubtitleExportName(const QString& strScriptPath);
