// tavorin-shortcuts FILE VERSION: writes the page of keyboard shortcuts ("Raccourcis clavier") from the
// program's own command table.
#include "app/ShortcutsPage.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavorin-shortcuts FILE VERSION\n");
        return 1;
    }
    const QByteArray page = shortcutsPage(QString::fromLocal8Bit(argv[2]));
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.flush()) {
        std::fprintf(stderr, "tavorin-shortcuts: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
