#pragma once

#include <QByteArray>
#include <QStringView>

// Windows-1252 for the studio documents, with a best-fit replacement for what the code page cannot
// hold, as the documents' readers would expect from a Windows program.

// A letter with marks whose base letter the code page holds gives that letter (ő gives o, ŝ gives s);
// anything else gives '?'.
char cp1252BestFit(char32_t ucs);

// The whole text in Windows-1252; each character the code page cannot hold (a surrogate pair is one)
// becomes its best-fit byte.
QByteArray encodeCp1252BestFit(QStringView text);
