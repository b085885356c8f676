#pragma once

#include <QString>
#include <QStringList>

// Where the program finds the read-only files it ships: the user guide and release notes ("docs/..."),
// sounds, and the fonts it falls back on when the system lacks them ("fonts/..."). Installed, that is
// <prefix>/share/tavorin beside <prefix>/bin; run from the build folder, the source tree (files of
// data/ and docs/ where the install puts them), then the build folder (files the build makes). Files are
// named relative to it: CDataFolder::program().filePath("docs/Notes de version.rtf").
class CDataFolder {
public:
    // The data folder of a program whose executable lies in that folder.
    explicit CDataFolder(const QString& strProgramFolder);
    // The running program's (QCoreApplication must exist).
    static CDataFolder program();

    // Whether the program runs from an install (share/tavorin found beside it).
    bool isInstalled() const { return m_bInstalled; }
    // The folders looked into, in order; empty when the program has none (copied alone somewhere).
    const QStringList& roots() const { return m_roots; }
    // The absolute path of a data file, or an empty string when no folder holds it.
    QString filePath(const QString& strRelative) const;
    // The absolute path of a data folder ("fonts"), or an empty string.
    QString folderPath(const QString& strRelative) const;

private:
    QStringList m_roots;
    bool m_bInstalled = false;
};
