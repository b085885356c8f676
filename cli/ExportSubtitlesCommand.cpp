#include "CliCommand.h"
#include "ScriptLoader.h"

#include "export/SubtitleExport.h"
#include "vare/VarE.h"

namespace {
int run(const QStringList& arguments) {
    QStringList args = arguments;
    const ESubtitleFormat eFormat = cli::takeFlag(args, "--srt") ? SUBTITLES_SUBRIP : SUBTITLES_TEXT;
    for (const QString& str : args)
        if (str.startsWith("--")) return cli::fail(QStringLiteral("Option inconnue : %1").arg(str));
    if (args.size() != 2) return cli::failUsage("export-subtitles");
    CVarE script;
    if (!cli::loadScript(args[0], script)) return 1;
    QString strError;
    if (!exportSubtitles(script, args[1], &strError, eFormat))
        return cli::fail(
            QStringLiteral("Impossible d'exporter les sous-titres dans « %1 » : %2.").arg(args[1], strError));
    return 0;
}
} // namespace

TAVORIN_CLI_COMMAND(exportSubtitles, .name = "export-subtitles", .args = "FICHIER SORTIE [--srt]",
                    .summary = "exporte les sous-titres d'un script",
                    .description = "Écrit les phrases du script avec leurs timecodes dans un fichier texte "
                                   "(Windows-1252, fins de ligne CR LF), ou en SubRip avec --srt.",
                    .options = {{"--srt",
                                 "un fichier SubRip (.srt, UTF-8) : une entrée numérotée par phrase, "
                                 "de son premier à son dernier signe"}},
                    .run = run);
