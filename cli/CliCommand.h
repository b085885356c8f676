#pragma once

#include <QStringList>
#include <vector>

class CHelpPage;

// A tavorin-cli command. Each command lives in its own file and registers itself with
// TAVORIN_CLI_COMMAND; main() finds it by name. Its --help and its part of the manual page are made
// from what it registers. Errors are one French line on stderr and exit code 1.
struct SCliOption {
    const char* term; // "--at TIMECODE"
    const char* text;
};

struct CCliCommand {
    const char* name;
    const char* args;                              // what follows the name on the usage line
    const char* summary;                           // one line, without a final full stop
    const char* description = nullptr;             // paragraphs separated by "\n\n"
    std::vector<SCliOption> options{};             // --help is added to every command
    int (*run)(const QStringList& args) = nullptr; // the arguments after the command name
    bool bNeedsGui = false;                        // creates a QGuiApplication (off-screen drawing)
};

class CCliRegistry {
public:
    static bool add(const CCliCommand& cmd);
    static const CCliCommand* find(const QString& name);
    static QList<CCliCommand> all();
    // The --help of the program, holding the pages of every command, and of one command.
    static CHelpPage programHelp();
    static CHelpPage commandHelp(const CCliCommand& cmd);
};

#define TAVORIN_CLI_COMMAND(id, ...)                                                                         \
    static const bool s_bRegistered_##id = CCliRegistry::add(CCliCommand{__VA_ARGS__})

// Helpers shared by the commands.
namespace cli {
// Prints one line on stderr and returns 1.
int fail(const QString& strMessage);
// The usage line of a command as the error of a call that does not follow it; returns 1.
int failUsage(const char* pszCommand);
// Writes bytes to stdout.
void out(const QByteArray& data);
// Writes data to a file through a temporary file renamed over the target once complete; on failure
// the reason in French.
bool writeFileAtomically(const QString& strPath, const QByteArray& data, QString* pError = nullptr);
// Value of "--name value" in args (removed from args), or the default.
QString takeOption(QStringList& args, const QString& strName, const QString& strDefault = {});
// Presence of a "--flag" (removed from args).
bool takeFlag(QStringList& args, const QString& strName);
} // namespace cli
