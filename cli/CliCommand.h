#pragma once

#include <QStringList>

// A tavorin-cli command. Each command lives in its own file and registers itself with
// TAVORIN_CLI_COMMAND; main() finds it by name. Errors are one French line on stderr and exit code 1.
struct CCliCommand {
    const char* name;
    const char* usage;
    int (*run)(const QStringList& args); // the arguments after the command name
    bool bNeedsGui = false;              // creates a QGuiApplication (off-screen drawing)
};

class CCliRegistry {
public:
    static bool add(const CCliCommand& cmd);
    static const CCliCommand* find(const QString& name);
    static QList<CCliCommand> all();
};

#define TAVORIN_CLI_COMMAND(id, ...)                                                                         \
    static const bool s_bRegistered_##id = CCliRegistry::add(CCliCommand{__VA_ARGS__})

// Helpers shared by the commands.
namespace cli {
// Prints one line on stderr and returns 1.
int fail(const QString& strMessage);
// Writes bytes to stdout.
void out(const QByteArray& data);
// Writes data to a file through a temporary file renamed over the target once complete.
bool writeFileAtomically(const QString& strPath, const QByteArray& data, QString* pError = nullptr);
// Value of "--name value" in args (removed from args), or the default.
QString takeOption(QStringList& args, const QString& strName, const QString& strDefault = {});
// Presence of a "--flag" (removed from args).
bool takeFlag(QStringList& args, const QString& strName);
} // namespace cli
