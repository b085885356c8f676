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
    if (args.size() != 2) return cli::failUsage("export-script");

    CVarE script;
    if (!cli::loadScript(args[0], script)) return 1;
    if (!options.strRole.isEmpty() && script.findRoleByName(options.strRole) == script.getRoles().end())
        return cli::fail(QStringLiteral("Rôle inconnu : %1").arg(options.strRole));

    CExportShading shading;
    QString strError;
    if (!exportScript(script, args[1], scriptExportGenerator(), options, shading, &strError))
        return cli::fail(
            QStringLiteral("Impossible d'exporter le script dans « %1 » : %2.").arg(args[1], strError));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(
    exportScript, .name = "export-script", .args = "FICHIER SORTIE.rtf [OPTIONS]",
    .summary = "exporte le script, le croisillé et la liste des rôles en RTF",
    .description = "Écrit le document du studio : la page de garde, le script, le croisillé (quel rôle parle "
                   "dans quelle boucle) et la liste des rôles avec leur lignage.",
    .options = {{"--layout none|classic|documentary", "la mise en page du script (classic par défaut)"},
                {"--tc-out", "ajoute le timecode de fin de chaque phrase"},
                {"--no-croisille", "sans le croisillé"},
                {"--roles none|loops|first-tc",
                 "la liste des rôles : aucune, avec les boucles (par défaut) ou avec le premier timecode"},
                {"--no-front-page", "sans la page de garde"},
                {"--role NOM", "seulement les phrases du rôle NOM"}},
    .run = run);
