#pragma once

#include "vare/ScriptItems.h"

#include <QByteArray>
#include <QString>

// A phrase on the system clipboard, so that it can be pasted into another script: its signs (times
// from its first sign), text, flags and role name in a format of the program's own, beside its text
// as plain text for other programs. What comes back from the clipboard is checked like a file.
namespace PhraseClipboard {
inline constexpr const char* MIME_TYPE = "application/x-tavorin-phrase";

// The phrase (its role by name) as the clipboard keeps it.
QByteArray encode(const CLine& line);
// The phrase from the clipboard's bytes, without role; false (and nothing in line) when the bytes do
// not hold a sound phrase.
bool decode(const QByteArray& data, CLine& line, QString& strRole);

// Puts the phrase on the system clipboard; reads it back (false when the clipboard holds none).
void put(const CLine& line);
bool take(CLine& line, QString& strRole);
} // namespace PhraseClipboard
