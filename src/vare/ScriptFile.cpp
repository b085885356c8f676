#include "vare/ScriptFile.h"

#include "vare/Dapt.h"
#include "vare/VarE.h"

#include <QFile>
#include <QFileInfo>

EScriptFormat scriptFormatOf(const QString& strPath, bool bCaseSensitive) {
    const Qt::CaseSensitivity cs = bCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QString strExt = strPath.mid(strPath.lastIndexOf(QLatin1Char('.')));
    if (strExt.compare(QLatin1String(".vare"), cs) == 0 || strExt.compare(QLatin1String(".bak"), cs) == 0)
        return EScriptFormat::VARE;
    if (strExt.compare(QLatin1String(".det"), cs) == 0) return EScriptFormat::DET;
    return EScriptFormat::UNKNOWN;
}

bool readScriptFile(const QString& strPath, EScriptFormat eFormat, CVarE& script, IBookmarkSink* pBookmarks,
                    QString* pstrError, QStringList* pChanges, const QString& strDaptLanguage,
                    SDaptReadInfo* pDaptInfo) {
    auto fail = [&](const QString& str) {
        if (pstrError) *pstrError = str;
        return false;
    };
    const QFileInfo fi(strPath);
    if (!fi.exists()) return fail(QStringLiteral("le fichier est introuvable"));
    if (fi.isDir()) return fail(QStringLiteral("c'est un dossier"));
    if (!fi.isFile()) return fail(QStringLiteral("ce n'est pas un fichier ordinaire"));
    if (!fi.isReadable() || !QFile(strPath).open(QIODevice::ReadOnly))
        return fail(QStringLiteral("l'accès au fichier est refusé"));
    switch (eFormat) {
    case EScriptFormat::VARE:
        if (!script.load(strPath, pBookmarks))
            return fail(script.getLoadProblem().isEmpty()
                            ? QStringLiteral("ce n'est pas un script VarE valide")
                            : script.getLoadProblem());
        if (pChanges) *pChanges = script.getLoadChanges();
        return true;
    case EScriptFormat::DET:
        if (!script.importDet(strPath))
            return fail(QStringLiteral("ce n'est pas un script de détection (.det) valide"));
        if (pChanges) *pChanges = script.getLoadChanges();
        return true;
    case EScriptFormat::DAPT: {
        SDaptReadInfo info;
        const bool bRead = loadDaptFile(strPath, script, strDaptLanguage, pstrError, &info);
        if (pChanges) *pChanges = info.warnings;
        if (pDaptInfo) *pDaptInfo = std::move(info);
        return bRead;
    }
    case EScriptFormat::UNKNOWN:
        break;
    }
    return fail(QStringLiteral("l'extension du fichier n'est ni .vare ni .det"));
}
