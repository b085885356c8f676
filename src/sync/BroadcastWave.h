#pragma once

#include "vare/TimeCode.h"

#include <QString>
#include <cstdio>

class CTraceLog;

// Timestamp of a sound file's first sample, from a RIFF file's "bext" time reference or its "ISMP"
// SMPTE text. Returns the invalid timecode when the file carries none or cannot be read; traces the
// walk into the given log. Every read is bounded by the chunk sizes and by fixed buffers, so a
// truncated or hostile file ends the walk instead of being trusted.
CTimeCode readTimeStamp(const QString& strPath, CTraceLog& log);
// The same from an open stream, read from its start; strName names it in the trace.
CTimeCode readTimeStamp(std::FILE* pFile, const char* pszName, CTraceLog& log);
