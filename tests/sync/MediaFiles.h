#pragma once

#include <QString>

// Media generated at build time by tools/make-test-media.
inline QString testMedia(const char* pszName) {
    return QStringLiteral(TAVORIN_BINARY_DIR "/test-media/") + QString::fromLatin1(pszName);
}
