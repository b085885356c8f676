// What every tavorin-cli call shares: help and version on stdout with success, errors as one French
// line on stderr with exit code 1.
#include "CliRun.h"

#include <gtest/gtest.h>

TEST(CliConventions, HelpAndVersionSucceedOnStandardOutput) {
    SCliRun r = runCli({"--help"});
    EXPECT_EQ(r.nExit, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("Utilisation : tavorin-cli COMMANDE [ARGUMENTS]\n"));
    for (const char* pszCommand : {"info", "convert", "export-script", "export-subtitles", "lignage"}) {
        EXPECT_TRUE(r.out.contains(QByteArray("\n  ") + pszCommand + ' ')) << pszCommand;
        const SCliRun c = runCli({pszCommand, "--help"});
        EXPECT_EQ(c.nExit, 0) << pszCommand;
        EXPECT_TRUE(c.out.startsWith(QByteArray("Utilisation : tavorin-cli ") + pszCommand + ' '))
            << pszCommand;
        EXPECT_TRUE(c.out.contains("  --help ")) << pszCommand;
        EXPECT_TRUE(c.err.isEmpty());
    }
    r = runCli({"--version"});
    EXPECT_EQ(r.nExit, 0);
    EXPECT_EQ(r.out, "tavorin-cli " TAVORIN_VERSION "\n");
}

TEST(CliConventions, MistakesAreOneFrenchLineThatPointsAtTheHelp) {
    struct SCase {
        QStringList args;
        const char* pszErr;
    };
    const SCase cases[] = {
        {{}, "Utilisation : tavorin-cli COMMANDE [ARGUMENTS] (aide : tavorin-cli --help)\n"},
        {{"bavarder"}, "Commande inconnue : « bavarder » (aide : tavorin-cli --help).\n"},
        {{"info"}, "Utilisation : tavorin-cli info FICHIER (aide : tavorin-cli info --help)\n"},
        {{"info", "--json"}, "Utilisation : tavorin-cli info FICHIER (aide : tavorin-cli info --help)\n"},
        {{"convert", "a.vare"},
         "Utilisation : tavorin-cli convert ENTRÉE SORTIE.vare (aide : tavorin-cli convert --help)\n"},
        {{"lignage", "a.vare", "b.vare"},
         "Utilisation : tavorin-cli lignage FICHIER (aide : tavorin-cli lignage --help)\n"},
    };
    for (const SCase& c : cases) {
        const SCliRun r = runCli(c.args);
        EXPECT_EQ(r.nExit, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(QString::fromUtf8(r.err), QString::fromUtf8(c.pszErr));
        EXPECT_TRUE(r.out.isEmpty());
    }
}
