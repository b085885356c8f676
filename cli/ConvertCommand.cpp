// tavorin-cli convert IN OUT.vare: reads a .vare or .det script and writes it as VarE, with its bookmarks.

#include "CliCommand.h"
#include "ScriptLoader.h"

namespace {
int run(const QStringList& args) {
    if (args.size() != 2 || args[0].startsWith(QLatin1String("--")) ||
        args[1].startsWith(QLatin1String("--")))
        return cli::failUsage("convert");
    CVarE script;
    CBookmarkArray bookmarks;
    if (!cli::loadScript(args[0], script, &bookmarks)) return 1;
    QString strError;
    if (!script.store(args[1], &bookmarks, QStringLiteral(TAVORIN_VERSION), &strError))
        return cli::fail(
            QStringLiteral("Impossible d'écrire le fichier « %1 » : %2.").arg(args[1], strError));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(convert, .name = "convert", .args = "ENTRÉE SORTIE.vare",
                    .summary = "convertit un script (.vare ou .det) au format VarE",
                    .description = "Lit un script VarE ou un fichier de détection de l'ancien format et "
                                   "l'écrit au format VarE ; le fichier de sortie n'est remplacé qu'une fois "
                                   "entièrement écrit.",
                    .run = run);
