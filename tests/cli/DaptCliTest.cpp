// tavorin-cli export-dapt and import-dapt, run as a user runs them.

#include "CliRun.h"
#include "vare/ScriptCompare.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString s_strDemo = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");
} // namespace

TEST(DaptCommands, TheDemoGoesToDaptAndComesBackTheSame) {
    QTemporaryDir dir;
    const QString strDapt = dir.filePath("demo.xml"), strBack = dir.filePath("back.vare");
    SCliRun r = runCli({"export-dapt", s_strDemo, strDapt, "--lang", "fr-FR", "--type", "preRecording"});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    QFile f(strDapt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray doc = f.readAll();
    EXPECT_TRUE(doc.contains("xml:lang=\"fr-FR\""));
    EXPECT_TRUE(doc.contains("daptm:scriptType=\"preRecording\""));

    r = runCli({"import-dapt", strDapt, strBack});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    CVarE demo, back;
    ASSERT_TRUE(demo.load(s_strDemo));
    ASSERT_TRUE(back.load(strBack));
    EXPECT_TRUE(sameScript(demo, back));
}

TEST(DaptCommands, BadInputIsRefusedInFrenchAndWritesNothing) {
    QTemporaryDir dir;
    const QString strOut = dir.filePath("out.vare");
    // A VarE script is no DAPT document.
    SCliRun r = runCli({"import-dapt", s_strDemo, strOut});
    EXPECT_EQ(r.nExit, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).startsWith(QStringLiteral("Impossible de lire le fichier")))
        << r.err.constData();
    EXPECT_FALSE(QFile::exists(strOut));

    r = runCli({"import-dapt", dir.filePath("absent.xml"), strOut});
    EXPECT_EQ(r.nExit, 1);
    EXPECT_TRUE(r.err.contains("introuvable")) << r.err.constData();
    EXPECT_FALSE(QFile::exists(strOut));

    r = runCli({"export-dapt", s_strDemo, dir.filePath("x.xml"), "--type", "subtitles"});
    EXPECT_EQ(r.nExit, 1);
    EXPECT_TRUE(r.err.contains("Type de script inconnu")) << r.err.constData();
    r = runCli({"export-dapt", s_strDemo, dir.filePath("x.xml"), "--lang", "fr\"><x"});
    EXPECT_EQ(r.nExit, 1);
    EXPECT_TRUE(r.err.contains("Langue invalide")) << r.err.constData();
    EXPECT_FALSE(QFile::exists(dir.filePath("x.xml")));
}
