#include "CliCommand.h"
#include "sync/FrameReader.h"

#include <cstdio>

// tavorin-cli shots FILE [--threshold N]: the cuts of a movie, one line each: the frame count of the
// reported position and its timecode.
static int runShots(const QStringList& arguments) {
    QStringList args = arguments;
    const QString strThreshold = cli::takeOption(args, QStringLiteral("--threshold"),
                                                 QString::number(CFrameReader::DEFAULT_THRESHOLD));
    bool bOk = false;
    const int nThreshold = strThreshold.toInt(&bOk);
    if (!bOk || nThreshold < 0)
        return cli::fail(QStringLiteral("Seuil invalide : « %1 ».").arg(strThreshold));
    if (args.size() != 1 || args.first().startsWith(QLatin1String("--"))) return cli::failUsage("shots");

    CFrameReader::quietLibraryMessages();
    CFrameReader reader;
    if (!reader.open(args.first()))
        return cli::fail(QStringLiteral("Impossible de lire la vidéo « %1 ».").arg(args.first()));
    CTimeCode position = reader.getStartTimeCode();
    bool bFound = false;
    while (reader.findNextShot(position, nThreshold)) {
        std::printf("%i\t%s\n", position.getFrames(), position.getText());
        std::fflush(stdout);
        bFound = true;
    }
    // Silence would read like a failure to start.
    if (!bFound) std::fputs("Aucun changement de plan trouvé.\n", stderr);
    return 0;
}

TAVORIN_CLI_COMMAND(
    shots, .name = "shots", .args = "FICHIER [--threshold N]",
    .summary = "cherche les changements de plan d'un film",
    .description = "Écrit une ligne par changement de plan trouvé : le nombre d'images depuis "
                   "minuit et le timecode, séparés par une tabulation. Quand il n'en trouve "
                   "aucun, le dit sur la sortie d'erreur et réussit.",
    .options = {{"--threshold N", "le seuil de différence entre deux images (200000 par défaut) ; plus il "
                                  "est bas, plus les changements trouvés sont nombreux"}},
    .run = runShots);
