#pragma once

#include "vare/VarE.h"

namespace cli {
// Reads a .vare (or .vare.bak) or a legacy .det file into the script; on failure prints the French
// message and returns false.
bool loadScript(const QString& strPath, CVarE& script, IBookmarkSink* pBookmarks = nullptr);
} // namespace cli
