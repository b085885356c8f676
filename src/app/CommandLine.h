#pragma once

#include "base/HelpPage.h"

#include <QString>
#include <QStringList>

// The desktop program's command line: tavorin [OPTION]... [FICHIER]...
namespace CommandLine {
enum EAction { ACTION_RUN, ACTION_HELP, ACTION_VERSION, ACTION_ERROR };

struct SParsed {
    EAction eAction = ACTION_RUN;
    QString strFile;    // absolute path of the script to open; empty for a new script
    QString strMessage; // what to print for help, version or error
};

// Reads the arguments, the program's name first. --help and --version win over anything else, so
// that they can be read before QApplication takes Qt's own options (-platform...) out of the list.
SParsed parse(const QStringList& args);

// What tavorin --help prints, and its manual page.
CHelpPage help();
} // namespace CommandLine
