#include "CliCommand.h"
#include "ScriptLoader.h"

#include "export/SubtitleExport.h"
#include "vare/VarE.h"

namespace {
int run(const QStringList& args) {
    for (const QString& str : args)
        if (str.startsWith("--")) return cli::fail(QStringLiteral("Option inconnue : %1").arg(str));
    if (args.size() != 2)
        return cli::fail(QStringLiteral("Utilisation : tavorin-cli export-subtitles FICHIER SORTIE.txt"));
    CVarE script;
    if (!cli::loadScript(args[0], script)) return 1;
    if (!exportSubtitles(script, args[1]))
        return cli::fail(QStringLiteral("Impossible d'exporter les sous-titres."));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(exportSubtitles, "export-subtitles", "FICHIER SORTIE.txt", run);
