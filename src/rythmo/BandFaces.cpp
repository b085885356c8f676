#include "BandFaces.h"

#include "BandRenderer.h"
#include "base/DataFolder.h"

#include <QDir>
#include <QFontDatabase>

int addMissingBandFaces(const CBandFonts& fonts, const CDataFolder& data) {
    const QStringList families = QFontDatabase::families();
    auto installed = [&](const QString& strFace) {
        return strFace.isEmpty() || families.contains(strFace, Qt::CaseInsensitive);
    };
    if (installed(fonts.strText) && installed(fonts.strLabel)) return 0;
    const QString strFolder = data.folderPath(QStringLiteral("fonts"));
    if (strFolder.isEmpty()) return 0;
    int nAdded = 0;
    const QDir dir(strFolder);
    for (const QString& strFile :
         dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files, QDir::Name))
        if (QFontDatabase::addApplicationFont(dir.filePath(strFile)) >= 0) ++nAdded;
    return nAdded;
}
