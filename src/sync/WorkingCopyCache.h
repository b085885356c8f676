#pragma once

#include "base/Settings.h"

#include <QString>

// The folder of the working copies (the user's cache folder + "/proxies"). A copy is named after the
// movie it was made from: the movie's name, a key of its path and a key of its identity (its size,
// its modification time and a hash of its first and last megabytes) and the width asked for, so that
// a changed movie gets a new copy and the copy of an unchanged one is found again. Copies being made
// are temporary files (".part") that only a finished making renames to their copy's name.
class CWorkingCopyCache {
public:
    static constexpr int DEFAULT_WIDTH = Settings::WorkingCopyWidth.def;
    // Bytes hashed at each end of a movie.
    static constexpr qint64 HASHED_BYTES = 1 << 20;
    // A temporary file left untouched this long belongs to a making that was interrupted.
    static constexpr int STALE_SECONDS = 600;

    explicit CWorkingCopyCache(const QString& strFolder = defaultFolder());
    static QString defaultFolder();
    const QString& folder() const { return m_strFolder; }

    // Where the copy of a movie at a width goes; empty when the movie cannot be read.
    QString copyPath(const QString& strSource, int nWidth = DEFAULT_WIDTH) const;
    // The finished copy of a movie, or empty. A copy that does not match the movie (another length or
    // frame rate, a damaged file) is removed.
    QString find(const QString& strSource, int nWidth = DEFAULT_WIDTH) const;
    // Creates the folder; false when it cannot be created.
    bool prepare() const;

    // Bytes held by the copies and the copies being made.
    qint64 size() const;
    // Removes every copy but those being made and those named in keep (the copy playing); false when a
    // file could not be removed.
    bool clear(const QString& strKeep = {});
    // Removes what interrupted makings left and, for a movie, the copies of its earlier versions.
    void removeLeftovers(const QString& strSource = {}) const;

    static bool isTemporary(const QString& strFileName);

private:
    QString m_strFolder;
};
