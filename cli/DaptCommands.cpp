// tavorin-cli export-dapt FILE OUT.xml and import-dapt IN.xml OUT.vare: exchange of scripts with other
// dubbing tools in the W3C DAPT format.

#include "CliCommand.h"
#include "ScriptLoader.h"

#include "vare/Dapt.h"
#include "vare/ScriptFile.h"

#include <cstdio>

namespace {
bool unknownOption(const QStringList& args, int* pnResult) {
    for (const QString& str : args)
        if (str.startsWith(QLatin1String("--"))) {
            *pnResult = cli::fail(QStringLiteral("Option inconnue : %1").arg(str));
            return true;
        }
    return false;
}

int runExport(const QStringList& arguments) {
    QStringList args = arguments;
    SDaptOptions options;
    options.strLanguage = cli::takeOption(args, "--lang", options.strLanguage);
    options.strScriptType = cli::takeOption(args, "--type", options.strScriptType);
    int nResult;
    if (unknownOption(args, &nResult)) return nResult;
    if (args.size() != 2) return cli::failUsage("export-dapt");
    if (!dapt::isLanguageTag(options.strLanguage))
        return cli::fail(QStringLiteral("Langue invalide : %1").arg(options.strLanguage));
    if (!dapt::scriptTypes().contains(options.strScriptType))
        return cli::fail(QStringLiteral("Type de script inconnu : %1").arg(options.strScriptType));

    CVarE script;
    if (!cli::loadScript(args[0], script)) return 1;
    QString strError;
    if (!storeDapt(script, args[1], options, &strError))
        return cli::fail(
            QStringLiteral("Impossible d'écrire le fichier « %1 » : %2.").arg(args[1], strError));
    return 0;
}

int runImport(const QStringList& arguments) {
    QStringList args = arguments;
    const QString strLanguage = cli::takeOption(args, "--lang", QStringLiteral("fr"));
    int nResult;
    if (unknownOption(args, &nResult)) return nResult;
    if (args.size() != 2) return cli::failUsage("import-dapt");
    if (!dapt::isLanguageTag(strLanguage))
        return cli::fail(QStringLiteral("Langue invalide : %1").arg(strLanguage));

    CVarE script;
    QString strError;
    SDaptReadInfo info;
    if (!readScriptFile(args[0], EScriptFormat::DAPT, script, nullptr, &strError, nullptr, strLanguage,
                        &info))
        return cli::fail(QStringLiteral("Impossible de lire le fichier « %1 » : %2.").arg(args[0], strError));
    for (const QString& str : info.warnings)
        std::fprintf(stderr, "%s\n", qUtf8Printable(str));
    if (!script.store(args[1], nullptr, QStringLiteral(TAVORIN_VERSION), &strError))
        return cli::fail(
            QStringLiteral("Impossible d'écrire le fichier « %1 » : %2.").arg(args[1], strError));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(
    exportDapt, .name = "export-dapt", .args = "FICHIER SORTIE.xml [OPTIONS]",
    .summary = "exporte un script au format DAPT du W3C",
    .description = "Écrit le script (.vare ou .det) en document DAPT (« Dubbing and Audio "
                   "description Profiles of TTML2 ») pour les autres outils de doublage : un "
                   "personnage par rôle, un évènement par phrase avec son texte et ses temps. "
                   "Les signes, pistes, boucles, changements de plan et l'entête voyagent dans "
                   "les métadonnées propres au programme, si bien que le script relu par "
                   "import-dapt est le même.",
    .options = {{"--lang LANGUE", "la langue du texte (fr par défaut)"},
                {"--type TYPE", "le type de script : originalTranscript, translatedTranscript (par "
                                "défaut), preRecording ou asRecorded"}},
    .run = runExport);

TAVORIN_CLI_COMMAND(
    importDapt, .name = "import-dapt", .args = "ENTRÉE.xml SORTIE.vare [OPTIONS]",
    .summary = "importe un script DAPT du W3C au format VarE",
    .description = "Lit un document DAPT de dialogues : ses personnages deviennent des rôles, "
                   "ses évènements des phrases (un signe d'ouverture au début, un signe de "
                   "fermeture à la fin, le texte entre eux), réparties sur les pistes sans "
                   "chevauchement. Un document qui n'est pas du DAPT est refusé et rien n'est "
                   "écrit.",
    .options = {{"--lang LANGUE",
                 "la langue du texte gardé quand un évènement en a plusieurs (fr par défaut)"}},
    .run = runImport);
