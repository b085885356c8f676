#pragma once

#include <QString>

class QUrl;

// A file named on a command line, from the bytes the system gave. A name that is not valid UTF-8 has
// no QString that names it again: such a file, when it exists, is opened once and named by its open
// descriptor ("/proc/self/fd/N"), through which it reads as itself for the rest of the run. Any other
// argument is decoded as usual.
QString fileArgument(const char* pszRaw);
// The same for a local file's URL (a file dropped on the window): the URL carries the name's bytes
// percent-encoded, which are taken as they are rather than decoded as UTF-8.
QString fileArgument(const QUrl& url);
// Whether a path names a file through an open descriptor (fileArgument()): there is no folder to save
// beside it, and its own name is only for showing.
bool isDescriptorPath(const QString& strPath);
// The name to show for such a path (the file's own name, its undecodable bytes replaced); the path
// itself for any other.
QString displayPath(const QString& strPath);
// The bytes of the file's own name for such a path (empty when it cannot be read); empty for any other.
QByteArray descriptorTarget(const QString& strPath);
