#include "CliRun.h"
#include "ExportScripts.h"
#include "RtfChecker.h"
#include "export/ExportShading.h"
#include "export/Lignage.h"
#include "export/ScriptExport.h"
#include "export/SubtitleExport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exporttest;

namespace {
SCliRun cli(const QStringList& args) {
    return runCli(args);
}

class ExportCliTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_strVare;

    void SetUp() override {
        CVarE v;
        v.set(CVarE::H_TITLE, "Essai");
        const CRole* pA = addRole(v, QString::fromUtf8("ÉLISE"), CRole::GENDER_FEMALE);
        const CRole* pB = addRole(v, "MARC", CRole::GENDER_MALE);
        v.addLoop(CLoop(tc(0), 0));
        v.addLoop(CLoop(tc(1000), 0));
        addPhrase(v, pA, 10, 40, QString::fromUtf8("Bonjour à tous, ça va ?"));
        addPhrase(v, pB, 60, 90, QString("Oui (il rit) et toi ? ").repeated(4));
        addPhrase(v, pA, 1100, 1150, "Au revoir");
        m_strVare = m_dir.filePath("essai.vare");
        ASSERT_TRUE(v.store(m_strVare));
    }
};
} // namespace

TEST_F(ExportCliTest, ExportScriptWithOptions) {
    const QString strOut = m_dir.filePath("essai.rtf");
    SCliRun r = cli({"export-script", m_strVare, strOut});
    ASSERT_EQ(r.nExit, 0) << r.err.toStdString();
    CRtfCheck c = checkRtf(readAll(strOut));
    ASSERT_TRUE(c.bOk) << c.errors.join("\n").toStdString();
    EXPECT_EQ(c.sectionParams.size(), 4); // front page, croisillé, role list, script
    EXPECT_TRUE(c.strText.contains("Boucles|"));
    EXPECT_TRUE(readAll(strOut).contains("{\\*\\generator Tavorin v" TAVORIN_VERSION "}"));

    r = cli({"export-script", m_strVare, strOut, "--layout", "documentary", "--tc-out", "--no-croisille",
             "--roles", "first-tc", "--no-front-page", "--role", "MARC"});
    ASSERT_EQ(r.nExit, 0) << r.err.toStdString();
    c = checkRtf(readAll(strOut));
    ASSERT_TRUE(c.bOk);
    EXPECT_EQ(c.sectionParams.size(), 2);
    EXPECT_TRUE(c.strText.contains("Premier TC|"));
    EXPECT_TRUE(c.strText.contains("00:00:02:10 - 00:00:03:15\nMARC\n"));
    EXPECT_FALSE(c.strText.contains("Au revoir"));

    r = cli({"export-script", m_strVare, strOut, "--layout", "none", "--roles", "none", "--no-front-page"});
    ASSERT_EQ(r.nExit, 0);
    c = checkRtf(readAll(strOut));
    ASSERT_EQ(c.sectionParams.size(), 1);
    EXPECT_TRUE(c.sectionParams[0].contains("\\lndscpsxn"));
}

TEST_F(ExportCliTest, ErrorsAreOneFrenchLineAndLeaveNoFile) {
    const QString strOut = m_dir.filePath("sortie.rtf");
    const QList<QStringList> bad = {
        {"export-script", m_dir.filePath("absent.vare"), strOut},
        {"export-script", m_strVare, strOut, "--layout", "large"},
        {"export-script", m_strVare, strOut, "--roles", "tous"},
        {"export-script", m_strVare, strOut, "--role", "PERSONNE"},
        {"export-script", m_strVare, strOut, "--bavard"},
        {"export-script", m_strVare},
        {"export-script", m_strVare, m_dir.filePath("absent/sortie.rtf")},
        {"export-subtitles", m_dir.filePath("absent.vare"), strOut},
        {"export-subtitles", m_strVare, m_dir.filePath("absent/sortie.txt")},
        {"lignage"},
        {"lignage", m_dir.filePath("absent.vare")},
    };
    for (const QStringList& args : bad) {
        const SCliRun r = cli(args);
        EXPECT_EQ(r.nExit, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(cli(bad[0]).err,
              QString::fromUtf8("Le fichier « %1 » est introuvable.\n").arg(bad[0][1]).toUtf8());
    // The reason, in French.
    EXPECT_EQ(cli(bad[6]).err, QString::fromUtf8("Impossible d'exporter le script dans « %1 » : fichier ou "
                                                 "dossier introuvable.\n")
                                   .arg(bad[6][2])
                                   .toUtf8());
    EXPECT_EQ(cli(bad[8]).err,
              QString::fromUtf8("Impossible d'exporter les sous-titres dans « %1 » : fichier "
                                "ou dossier introuvable.\n")
                  .arg(bad[8][2])
                  .toUtf8());
    EXPECT_EQ(cli({"export-script", m_strVare, m_dir.path()}).err,
              QString::fromUtf8("Impossible d'exporter le script dans « %1 » : c'est un dossier.\n")
                  .arg(m_dir.path())
                  .toUtf8());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"essai.vare"});
}

TEST_F(ExportCliTest, SubtitlesAndLignage) {
    const QString strOut = m_dir.filePath("essai.txt");
    ASSERT_EQ(cli({"export-subtitles", m_strVare, strOut}).nExit, 0);
    EXPECT_EQ(readAll(strOut),
              "\r\n"
              " 00:00:00:10  00:00:01:15\r\nBonjour \xE0 tous, \xE7"
              "a va ?\r\n"
              " 00:00:02:10  00:00:03:15\r\nOui (il rit) et toi ? Oui (il rit) et toi ? Oui (il rit) "
              "et toi ? Oui (il rit) et toi ?\r\n"
              " 00:00:44:00  00:00:46:00\r\nAu revoir\r\n");

    // --srt: the library's SubRip file, byte for byte.
    const QString strSrt = m_dir.filePath("essai.srt");
    ASSERT_EQ(cli({"export-subtitles", m_strVare, strSrt, "--srt"}).nExit, 0);
    CVarE v;
    ASSERT_TRUE(v.load(m_strVare));
    ASSERT_TRUE(exportSubtitles(v, m_dir.filePath("library.srt"), nullptr, SUBTITLES_SUBRIP));
    EXPECT_EQ(readAll(strSrt), readAll(m_dir.filePath("library.srt")));
    EXPECT_TRUE(readAll(strSrt).startsWith("1\r\n00:00:00,400 --> 00:00:01,600\r\nBonjour"));
    EXPECT_EQ(cli({"export-subtitles", m_strVare, strSrt, "--vtt"}).nExit, 1);

    const SCliRun r = cli({"lignage", m_strVare});
    ASSERT_EQ(r.nExit, 0) << r.err.toStdString();
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    // ÉLISE: 22 + 9 characters, one line; MARC: 4 x 13 = 52 characters, one line.
    const QJsonArray roles = o["roles"].toArray();
    ASSERT_EQ(roles.size(), 2);
    EXPECT_EQ(roles[0].toObject()["name"].toString(), "MARC"); // role order: by name, code unit by code unit
    EXPECT_EQ(roles[0].toObject()["lignage"].toInt(), 1);
    EXPECT_EQ(roles[1].toObject()["name"].toString(), QString::fromUtf8("ÉLISE"));
    EXPECT_EQ(roles[1].toObject()["lignage"].toInt(), 1);
    EXPECT_EQ(o["total"].toInt(), 2);
}

// Every combination of the export options on the demo script gives a well-formed document.
TEST(DemoScriptExport, EveryExportIsWellFormed) {
    const QString strDemo = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");
    if (!QFile::exists(strDemo)) GTEST_SKIP() << "no demo script in this tree";
    CVarE v;
    ASSERT_TRUE(v.load(strDemo));
    ASSERT_GT(v.getLineCount(), 0);
    QTemporaryDir dir;
    const QString strOut = dir.filePath("demo.rtf");
    CExportShading shading;
    QStringList filters = {QString()};
    for (const CRole& role : v.getRoles())
        filters << role.getName();
    int nExports = 0;
    for (int nLayout = 0; nLayout < 3; ++nLayout)
        for (int nRoles = 0; nRoles < 3; ++nRoles)
            for (int nFlags = 0; nFlags < 8; ++nFlags)
                for (const QString& strRole : filters) {
                    if (nLayout == 0 && !strRole.isEmpty()) continue;
                    CScriptExportOptions o;
                    o.nLayout = nLayout;
                    o.nRoleList = nRoles;
                    o.bTCOut = nFlags & 1;
                    o.bCroisille = nFlags & 2;
                    o.bFrontPage = nFlags & 4;
                    o.strRole = strRole;
                    ASSERT_TRUE(exportScript(v, strOut, "Tavorin v" TAVORIN_VERSION, o, shading));
                    const CRtfCheck c = checkRtf(readAll(strOut));
                    ASSERT_TRUE(c.bOk) << nLayout << nRoles << nFlags << strRole.toStdString() << ": "
                                       << c.errors.join("\n").toStdString();
                    ++nExports;
                }
    EXPECT_GE(nExports, 72);

    // The command line gives the same document as the library with the same options.
    const QString strCli = dir.filePath("cli.rtf");
    ASSERT_EQ(cli({"export-script", strDemo, strCli}).nExit, 0);
    CScriptExportOptions o;
    CExportShading fresh;
    ASSERT_TRUE(exportScript(v, strOut, "Tavorin v" TAVORIN_VERSION, o, fresh));
    EXPECT_EQ(readAll(strCli), readAll(strOut));
}
