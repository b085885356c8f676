// tavorin-cli convert IN OUT.vare: reads a .vare or .det script and writes it as VarE, with its bookmarks.

#include "CliCommand.h"
#include "ScriptLoader.h"

namespace {
int run(const QStringList& args) {
    if (args.size() != 2)
        return cli::fail(QStringLiteral("Utilisation : tavorin-cli convert ENTRÉE SORTIE.vare"));
    CVarE script;
    CBookmarkArray bookmarks;
    if (!cli::loadScript(args[0], script, &bookmarks)) return 1;
    if (!script.store(args[1], &bookmarks))
        return cli::fail(QStringLiteral("Impossible d'écrire le fichier « %1 ».").arg(args[1]));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(convert, "convert", "ENTRÉE SORTIE.vare   convertit un script (.vare ou .det) en VarE",
                    run);
