#include "CliCommand.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <map>
#include <memory>
#ifdef TAVORIN_HAS_GUI
#include <QGuiApplication>
#endif

namespace {
std::map<QString, CCliCommand>& registry() {
    static std::map<QString, CCliCommand> s_map;
    return s_map;
}
} // namespace

bool CCliRegistry::add(const CCliCommand& cmd) {
    registry()[QString::fromLatin1(cmd.name)] = cmd;
    return true;
}

const CCliCommand* CCliRegistry::find(const QString& name) {
    auto it = registry().find(name);
    return it == registry().end() ? nullptr : &it->second;
}

QList<CCliCommand> CCliRegistry::all() {
    QList<CCliCommand> list;
    for (const auto& [name, cmd] : registry())
        list.append(cmd);
    return list;
}

int cli::fail(const QString& strMessage) {
    std::fprintf(stderr, "%s\n", strMessage.toUtf8().constData());
    return 1;
}

void cli::out(const QByteArray& data) {
    std::fwrite(data.constData(), 1, size_t(data.size()), stdout);
}

bool cli::writeFileAtomically(const QString& strPath, const QByteArray& data, QString* pError) {
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        if (pError) *pError = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

QString cli::takeOption(QStringList& args, const QString& strName, const QString& strDefault) {
    const int i = int(args.indexOf(strName));
    if (i < 0 || i + 1 >= args.size()) return strDefault;
    const QString v = args.at(i + 1);
    args.remove(i, 2);
    return v;
}

bool cli::takeFlag(QStringList& args, const QString& strName) {
    return args.removeAll(strName) > 0;
}

static int usage() {
    std::fprintf(stderr, "Utilisation : tavorin-cli COMMANDE [ARGUMENTS]\n");
    for (const CCliCommand& cmd : CCliRegistry::all())
        std::fprintf(stderr, "  tavorin-cli %s %s\n", cmd.name, cmd.usage);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const CCliCommand* pCmd = CCliRegistry::find(QString::fromLocal8Bit(argv[1]));
    if (!pCmd) return usage();

    // The program's names: its cache (working copies) and settings folders are the same.
    QCoreApplication::setOrganizationName(QStringLiteral("Morvath"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavorin"));
    std::unique_ptr<QCoreApplication> app;
#ifdef TAVORIN_HAS_GUI
    if (pCmd->bNeedsGui) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    if (!app) app = std::make_unique<QCoreApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    QStringList args = QCoreApplication::arguments();
    args.remove(0, std::min<qsizetype>(2, args.size()));
    return pCmd->run(args);
}
