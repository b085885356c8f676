#include "ScriptLoader.h"

#include "CliCommand.h"

#include "vare/ScriptFile.h"

#include <QFileInfo>

bool cli::loadScript(const QString& strPath, CVarE& script, IBookmarkSink* pBookmarks) {
    if (!QFileInfo::exists(strPath)) {
        fail(QStringLiteral("Le fichier « %1 » est introuvable.").arg(strPath));
        return false;
    }
    // Anything that is not a legacy detection is read as VarE, whatever its name.
    const EScriptFormat eFormat =
        scriptFormatOf(strPath, false) == EScriptFormat::DET ? EScriptFormat::DET : EScriptFormat::VARE;
    QString strError;
    if (!readScriptFile(strPath, eFormat, script, pBookmarks, &strError)) {
        fail(QStringLiteral("Impossible de lire le fichier « %1 » : %2.").arg(strPath, strError));
        return false;
    }
    return true;
}
