#pragma once

#include <QString>
#include <QStringList>

class CVarE;
class IBookmarkSink;
struct SDaptReadInfo;

// Reads a script file into a script as the program and the command-line tool do: VarE (".vare" and
// its backups ".bak"), the legacy detection format (".det") or, when asked (no name says it), a W3C
// DAPT document, whose texts in strDaptLanguage are kept (*pDaptInfo tells what else the reading said). On
// failure the script may hold part of the file (read into a scratch script when that matters) and *pstrError
// gets the reason in French, for a sentence such as "Impossible d'ouvrir le fichier « x » : <reason>.".
enum class EScriptFormat { VARE, DET, DAPT, UNKNOWN };
EScriptFormat scriptFormatOf(const QString& strPath, bool bCaseSensitive);
// *pChanges (when given) gets what reading had to change or leave out (CVarE::getLoadChanges()).
bool readScriptFile(const QString& strPath, EScriptFormat eFormat, CVarE& script, IBookmarkSink* pBookmarks,
                    QString* pstrError, QStringList* pChanges = nullptr,
                    const QString& strDaptLanguage = QStringLiteral("fr"),
                    SDaptReadInfo* pDaptInfo = nullptr);
