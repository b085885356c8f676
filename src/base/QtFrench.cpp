#include "base/QtFrench.h"

#include "base/DataFolder.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installQtFrench(QCoreApplication& app, const CDataFolder& data) {
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    auto* pTranslator = new QTranslator(&app);
    for (const QString& strFolder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                     data.folderPath(QStringLiteral("translations"))})
        if (!strFolder.isEmpty() && pTranslator->load(QStringLiteral("qtbase_fr"), strFolder))
            return QCoreApplication::installTranslator(pTranslator);
    delete pTranslator;
    return false;
}
