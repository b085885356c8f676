#include "app/TavorinApp.h"

#include <QApplication>
#include <QFileInfo>
#include <clocale>

int main(int argc, char* argv[]) {
    QApplication::setOrganizationName(QStringLiteral("Morvath"));
    QApplication::setApplicationName(QStringLiteral("Tavorin"));
    QApplication::setApplicationVersion(QStringLiteral(TAVORIN_VERSION));
    QApplication qapp(argc, argv);
    // libmpv parses numbers the C way.
    std::setlocale(LC_NUMERIC, "C");

    const QStringList args = QApplication::arguments();
    QString strFile;
    for (int i = 1; i < args.size(); ++i)
        if (!args[i].startsWith(QLatin1Char('-'))) {
            strFile = QFileInfo(args[i]).absoluteFilePath();
            break;
        }

    CTavorinApp app{SAppOptions{}};
    if (!app.InitInstance(strFile)) {
        app.ExitInstance();
        // A second copy has handed its file to the first one: not an error.
        return app.isSecondCopy() ? 0 : 1;
    }
    const int nResult = QApplication::exec();
    app.ExitInstance();
    return nResult;
}
