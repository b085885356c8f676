// tavorin-man FOLDER VERSION DATE: writes the manual pages tavorin.1 and tavorin-cli.1 from the same
// help pages as the programs' --help.
#include "CliCommand.h"
#include "app/CommandLine.h"

#include <QFile>
#include <cstdio>

namespace {
bool write(const QString& strPath, const QByteArray& data) {
    QFile file(strPath);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush()) return true;
    std::fprintf(stderr, "tavorin-man: cannot write %s\n", qPrintable(strPath));
    return false;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tavorin-man FOLDER VERSION DATE\n");
        return 1;
    }
    const QString strFolder = QString::fromLocal8Bit(argv[1]);
    const QString strVersion = QString::fromLocal8Bit(argv[2]);
    const QString strDate = QString::fromLocal8Bit(argv[3]);
    const bool bOk =
        write(strFolder + QStringLiteral("/tavorin.1"), CommandLine::help().toMan(strVersion, strDate)) &&
        write(strFolder + QStringLiteral("/tavorin-cli.1"),
              CCliRegistry::programHelp().toMan(strVersion, strDate));
    return bOk ? 0 : 1;
}
