#include "app/CommandLine.h"
#include "app/TavorinApp.h"
#include "base/DataFolder.h"
#include "base/QtFrench.h"
#include "rythmo/BandFaces.h"
#include "rythmo/BandRenderer.h"
#include "sync/NumericLocale.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

namespace {
QStringList rawArguments(int argc, char* argv[]) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}
} // namespace

int main(int argc, char* argv[]) {
    // --help and --version answer without a display.
    const CommandLine::SParsed early = CommandLine::parse(rawArguments(argc, argv));
    if (early.eAction == CommandLine::ACTION_HELP || early.eAction == CommandLine::ACTION_VERSION) {
        std::fputs(early.strMessage.toUtf8().constData(), stdout);
        return 0;
    }

    QApplication::setOrganizationName(QStringLiteral("Morvath"));
    QApplication::setApplicationName(QStringLiteral("Tavorin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVORIN_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TAVORIN_APP_ID));
    QApplication qapp(argc, argv);
    useCNumericLocale();

    // Qt's own options are gone from the list now: what is left must be ours.
    const CommandLine::SParsed parsed = CommandLine::parse(QApplication::arguments());
    if (parsed.eAction == CommandLine::ACTION_ERROR) {
        std::fputs(parsed.strMessage.toUtf8().constData(), stderr);
        return 1;
    }
    const CDataFolder data = CDataFolder::program();
    installQtFrench(qapp, data);
    addMissingBandFaces(CBandFonts{}, data);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(TAVORIN_APP_ID)));

    CTavorinApp app{SAppOptions{}};
    if (!app.InitInstance(parsed.strFile)) {
        app.ExitInstance();
        // A second copy has handed its file to the first one: not an error.
        return app.isSecondCopy() ? 0 : 1;
    }
    const int nResult = QApplication::exec();
    app.ExitInstance();
    return nResult;
}
