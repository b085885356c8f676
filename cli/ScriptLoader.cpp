#include "ScriptLoader.h"

#include "CliCommand.h"

#include <QFileInfo>

bool cli::loadScript(const QString& strPath, CVarE& script, IBookmarkSink* pBookmarks) {
    const QFileInfo info(strPath);
    if (!info.exists() || !info.isFile()) {
        fail(QStringLiteral("Le fichier « %1 » est introuvable.").arg(strPath));
        return false;
    }
    const bool bDet = info.suffix().compare(QLatin1String("det"), Qt::CaseInsensitive) == 0;
    const bool bOk = bDet ? script.importDet(strPath) : script.load(strPath, pBookmarks);
    if (!bOk) {
        fail(QStringLiteral("Impossible de lire le fichier « %1 » : ce n'est pas un script %2 valide.")
                 .arg(strPath, bDet ? QStringLiteral("de détection (.det)") : QStringLiteral("VarE")));
        return false;
    }
    return true;
}
