#include "ScriptLoader.h"

#include "CliCommand.h"

#include "vare/ScriptFile.h"

#include <QFileInfo>
#include <cstdio>

bool cli::loadScript(const QString& strPath, CVarE& script, IBookmarkSink* pBookmarks) {
    if (!QFileInfo::exists(strPath)) {
        fail(QStringLiteral("Le fichier « %1 » est introuvable.").arg(strPath));
        return false;
    }
    // Anything that is not a legacy detection is read as VarE, whatever its name.
    const EScriptFormat eFormat =
        scriptFormatOf(strPath, false) == EScriptFormat::DET ? EScriptFormat::DET : EScriptFormat::VARE;
    QString strError;
    QStringList changes;
    if (!readScriptFile(strPath, eFormat, script, pBookmarks, &strError, &changes)) {
        fail(QStringLiteral("Impossible de lire le fichier « %1 » : %2.").arg(strPath, strError));
        return false;
    }
    // The script is usable, but not quite as the file has it: say so where scripts read errors.
    for (const QString& str : changes)
        std::fprintf(stderr, "%s : %s\n", qUtf8Printable(strPath), qUtf8Printable(str));
    return true;
}
