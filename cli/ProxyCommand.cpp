#include "CliCommand.h"
#include "sync/WorkingCopyCache.h"
#include "sync/WorkingCopyMaker.h"

#include <QFileInfo>
#include <QLocale>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace {
std::atomic<bool> g_bStop{false};

void onSignal(int) {
    g_bStop = true;
}

QString number(double d, int nDecimals) {
    return QLocale(QLocale::French).toString(d, 'f', nDecimals);
}
} // namespace

// tavorin-cli proxy FILE [--width W]: makes the working copy of a movie in the cache, as the program
// does (or finds it there), and prints its path. Progress and figures go to stderr.
static int runProxy(const QStringList& arguments) {
    QStringList args = arguments;
    const QString strWidth =
        cli::takeOption(args, QStringLiteral("--width"), QString::number(CWorkingCopyCache::DEFAULT_WIDTH));
    bool bOk = false;
    const int nWidth = strWidth.toInt(&bOk);
    if (!bOk || nWidth < 64 || nWidth > 7680)
        return cli::fail(QStringLiteral("Largeur invalide : « %1 » (64 à 7680).").arg(strWidth));
    if (args.size() != 1 || args.first().startsWith(QLatin1String("--"))) return cli::failUsage("proxy");
    const QString strSource = QFileInfo(args.first()).absoluteFilePath();
    if (!QFileInfo(strSource).isFile())
        return cli::fail(QStringLiteral("Fichier introuvable : « %1 ».").arg(args.first()));

    CWorkingCopyCache cache;
    cache.removeLeftovers(strSource);
    const QString strFound = cache.find(strSource, nWidth);
    if (!strFound.isEmpty()) {
        std::printf("%s\n", qPrintable(strFound));
        return 0;
    }
    if (!cache.prepare())
        return cli::fail(QStringLiteral("Impossible de créer le dossier des copies de travail « %1 ».")
                             .arg(cache.folder()));
    const QString strTarget = cache.copyPath(strSource, nWidth);
    if (strTarget.isEmpty())
        return cli::fail(CWorkingCopyMaker::message(CWorkingCopyMaker::UNREADABLE, strSource));

    // An interrupted command removes its unfinished copy.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    CWorkingCopyMaker maker;
    int nLastPercent = -1;
    const CWorkingCopyMaker::EResult e =
        maker.make(strSource, strTarget, nWidth, &g_bStop, [&](const CWorkingCopyMaker::SProgress& p) {
            const int nPercent = p.nTotal > 0 ? int(100 * p.nFrames / p.nTotal) : 0;
            if (nPercent == nLastPercent) return;
            nLastPercent = nPercent;
            std::fprintf(stderr, "Copie de travail : %d %%\n", nPercent);
        });
    if (e != CWorkingCopyMaker::MADE) return cli::fail(CWorkingCopyMaker::message(e, strSource));
    const double dFps = maker.seconds() > 0.0 ? double(maker.frames()) / maker.seconds() : 0.0;
    const double dSpeed = maker.seconds() > 0.0 ? maker.movieSeconds() / maker.seconds() : 0.0;
    std::fprintf(stderr, "%s %dx%d : %lld images en %s s (%s images/s, %s fois le temps réel)\n",
                 maker.codecName(), maker.width(), maker.height(), (long long)maker.frames(),
                 qPrintable(number(maker.seconds(), 1)), qPrintable(number(dFps, 0)),
                 qPrintable(number(dSpeed, 1)));
    std::printf("%s\n", qPrintable(strTarget));
    return 0;
}

TAVORIN_CLI_COMMAND(
    proxy, .name = "proxy", .args = "FICHIER [--width L]",
    .summary = "fait la copie de travail d'un film dans le cache",
    .description = "Fait, comme le programme, la copie de travail du film (chaque image une image clé, "
                   "réduite à L pixels de large au plus, 960 par défaut) dans le dossier des copies de "
                   "travail, ou l'y trouve, et écrit son chemin. L'avancement et les chiffres vont sur la "
                   "sortie d'erreur ; une commande interrompue retire sa copie inachevée.",
    .options = {{"--width L", "la largeur la plus grande de la copie, de 64 à 7680 pixels"}},
    .run = runProxy);
