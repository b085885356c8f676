#pragma once

#include <QByteArray>
#include <QString>

// The version file of the update check: an XML document of which the program reads the text of the
// first "number" element (the latest version), of the first "path" element (the installer's address)
// and of the first "sha256" element (the installer's checksum, in hexadecimal); other content is
// ignored, and each of the three may be missing.
struct SVersionFile {
    static constexpr qsizetype MAX_SIZE = 64 * 1024; // a version file is a few lines

    QString strNumber;
    QString strPath;
    QString strSha256;

    // False when the bytes are not a well-formed XML document or are too many.
    bool read(const QByteArray& data);
};

// Compares two versions component by component, as numbers ("3.10.0" is newer than "3.7.0"); a
// missing component counts as 0; text after a component's digits marks a pre-release, older than the
// same number without it. Negative, 0 or positive as a is older than, the same as or newer than b.
int compareVersions(const QString& a, const QString& b);
