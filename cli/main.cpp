#include "CliCommand.h"
#include "base/FileArgument.h"
#include "base/HelpPage.h"

#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <memory>
#ifdef TAVORIN_HAS_GUI
#include "rythmo/HeadlessGL.h"

#include <QGuiApplication>
#endif

namespace {
// Qt's own warnings (a missing runtime folder, a platform's complaints) are not the tool's to say:
// its messages are one French line.
void dropQtMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

void print(const QString& str) {
    std::fputs(str.toUtf8().constData(), stdout);
}

bool isHelp(const QString& str) {
    return str == QLatin1String("--help") || str == QLatin1String("-h");
}
} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(dropQtMessage);
    const QString strFirst = argc >= 2 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (isHelp(strFirst)) {
        print(CCliRegistry::programHelp().toText());
        return 0;
    }
    if (strFirst == QLatin1String("--version") || strFirst == QLatin1String("-V")) {
        print(QStringLiteral("tavorin-cli " TAVORIN_VERSION "\n"));
        return 0;
    }
    if (argc < 2)
        return cli::fail(
            QStringLiteral("Utilisation : tavorin-cli COMMANDE [ARGUMENTS] (aide : tavorin-cli --help)"));
    const CCliCommand* pCmd = CCliRegistry::find(strFirst);
    if (!pCmd)
        return cli::fail(
            QStringLiteral("Commande inconnue : « %1 » (aide : tavorin-cli --help).").arg(strFirst));
    for (int i = 2; i < argc; ++i)
        if (isHelp(QString::fromLocal8Bit(argv[i]))) {
            print(CCliRegistry::commandHelp(*pCmd).toText());
            return 0;
        }

    // The program's names: its cache (working copies) and settings folders are the same.
    QCoreApplication::setOrganizationName(QStringLiteral("Morvath"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavorin"));
    std::unique_ptr<QCoreApplication> app;
#ifdef TAVORIN_HAS_GUI
    if (pCmd->bNeedsGui) {
        HeadlessGL::choosePlatform();
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    if (!app) app = std::make_unique<QCoreApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    // From the bytes themselves (Qt has taken its own options out): a file name need not be UTF-8.
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args.append(fileArgument(argv[i]));
    return pCmd->run(args);
}
