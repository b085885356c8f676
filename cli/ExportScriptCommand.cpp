#include "CliCommand.h"
#include "ScriptLoader.h"

#include "export/ExportShading.h"
#include "export/RoleListExport.h"
#include "export/ScriptExport.h"
#include "vare/VarE.h"

namespace {
// A value among the names of an option, or -1.
int choice(const QString& strValue, const QStringList& names) {
    return int(names.indexOf(strValue));
}

int run(const QStringList& arguments) {
    QStringList args = arguments;
    CScriptExportOptions options;
    const QString strLayout = cli::takeOption(args, "--layout", "classic");
    const QString strRoles = cli::takeOption(args, "--roles", "loops");
    options.strRole = cli::takeOption(args, "--role");
    options.bTCOut = cli::takeFlag(args, "--tc-out");
    options.bCroisille = !cli::takeFlag(args, "--no-croisille");
    options.bFrontPage = !cli::takeFlag(args, "--no-front-page");
    options.nLayout = choice(strLayout, {"none", "classic", "documentary"});
    options.nRoleList = choice(strRoles, {"none", "loops", "first-tc"});
    if (options.nLayout < 0) return cli::fail(QStringLiteral("Mise en page inconnue : %1").arg(strLayout));
    if (options.nRoleList < 0)
        return cli::fail(QStringLiteral("Liste des rôles inconnue : %1").arg(strRoles));
    for (const QString& str : args)
        if (str.startsWith("--")) return cli::fail(QStringLiteral("Option inconnue : %1").arg(str));
    if (args.size() != 2)
        return cli::fail(
            QStringLiteral("Utilisation : tavorin-cli export-script FICHIER SORTIE.rtf [options]"));

    CVarE script;
    if (!cli::loadScript(args[0], script)) return 1;
    if (!options.strRole.isEmpty() && script.findRoleByName(options.strRole) == script.getRoles().end())
        return cli::fail(QStringLiteral("Rôle inconnu : %1").arg(options.strRole));

    CExportShading shading;
    if (!exportScript(script, args[1], QStringLiteral("Tavorin v" TAVORIN_VERSION), options, shading))
        return cli::fail(QStringLiteral("Impossible d'exporter le script."));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(exportScript, "export-script",
                    "FICHIER SORTIE.rtf [--layout none|classic|documentary] [--tc-out] [--no-croisille] "
                    "[--roles none|loops|first-tc] [--no-front-page] [--role NOM]",
                    run);
