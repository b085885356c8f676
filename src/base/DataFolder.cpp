#include "base/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

CDataFolder::CDataFolder(const QString& strProgramFolder) {
    const QDir program(strProgramFolder);
    const QString strShare = QDir::cleanPath(program.absoluteFilePath(QStringLiteral("../share/tavorin")));
    if (QFileInfo(strShare).isDir()) {
        m_roots = {strShare};
        m_bInstalled = true;
        return;
    }
    // Only a program built here reads the source tree: a copy elsewhere must not pick up the files
    // of whatever checkout happened to build it.
    const QString strBuild = QDir::cleanPath(QStringLiteral(TAVORIN_BINARY_DIR));
    const QString strProgram = QDir::cleanPath(program.absolutePath());
    if (strProgram == strBuild || strProgram.startsWith(strBuild + QLatin1Char('/'))) {
        const QString strSource = QDir::cleanPath(QStringLiteral(TAVORIN_SOURCE_DIR));
        // Then the build folder, for the files the build makes (the page of keyboard shortcuts).
        m_roots = {strSource + QStringLiteral("/data"), strSource, strBuild};
    }
}

CDataFolder CDataFolder::program() {
    return CDataFolder(QCoreApplication::applicationDirPath());
}

QString CDataFolder::filePath(const QString& strRelative) const {
    for (const QString& strRoot : m_roots) {
        const QFileInfo info(strRoot + QLatin1Char('/') + strRelative);
        if (info.isFile()) return info.absoluteFilePath();
    }
    return {};
}

QString CDataFolder::folderPath(const QString& strRelative) const {
    for (const QString& strRoot : m_roots) {
        const QFileInfo info(strRoot + QLatin1Char('/') + strRelative);
        if (info.isDir()) return info.absoluteFilePath();
    }
    return {};
}
