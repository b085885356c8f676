#pragma once

#include <QtGlobal>

class CVarE;

// The legacy binary detection format (.det), read only.
namespace DetImport {
// Legacy files hold a few megabytes at most; anything larger is not a detection file.
constexpr qint64 MAX_FILE_SIZE = 16 * 1024 * 1024;

// Reads a whole detection file held in memory into a script the caller has cleared. Every read is
// bounded by the buffer, so counts and lengths from the file never reach past its end. Returns false
// on the first fault, with a trace line; what was read so far stays in the script.
bool parse(CVarE& script, const char* pData, qsizetype nSize);
} // namespace DetImport
