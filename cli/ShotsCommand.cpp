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
    if (args.size() != 1 || args.first().startsWith(QLatin1String("--")))
        return cli::fail(QStringLiteral("Utilisation : tavorin-cli shots FICHIER [--threshold N]"));

    CFrameReader::quietLibraryMessages();
    CFrameReader reader;
    if (!reader.open(args.first()))
        return cli::fail(QStringLiteral("Impossible de lire la vidéo « %1 ».").arg(args.first()));
    CTimeCode position = reader.getStartTimeCode();
    while (reader.findNextShot(position, nThreshold)) {
        std::printf("%i\t%s\n", position.getFrames(), position.getText());
        std::fflush(stdout);
    }
    return 0;
}

TAVORIN_CLI_COMMAND(shots, "shots", "FICHIER [--threshold N]  changements de plan (seuil 200000 par défaut)",
                    runShots);
