#include "export/ScriptExport.h"
#include "ExportScripts.h"
#include "RtfChecker.h"
#include "base/Settings.h"
#include "export/ExportShading.h"
#include "export/Lignage.h"
#include "export/RoleListExport.h"
#include "export/SubtitleExport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exporttest;

namespace {
// Three roles (ZOÉ never speaks), four loops (the last after every phrase), a phrase without role,
// a reaction, an open phrase and a two-line phrase.
class ScriptExportTest : public ::testing::Test {
protected:
    CVarE v;
    QTemporaryDir m_dir;
    CExportShading m_shading;

    void SetUp() override {
        v.set(CVarE::H_TITLE, "Le Jour");
        v.set(CVarE::H_TITLE2, QString::fromUtf8("Deuxième titre"));
        v.set(CVarE::H_SEASON, "2");
        v.set(CVarE::H_EPISODE_NUMBER, "5");
        v.set(CVarE::H_EPISODE_TITLE, "La fin");
        v.set(CVarE::H_FIRST_AUTHOR_FIRST_NAME, "Jean");
        v.set(CVarE::H_FIRST_AUTHOR_NAME, "Dupont");
        v.set(CVarE::H_SECOND_AUTHOR_FIRST_NAME, "Marie");
        v.set(CVarE::H_SECOND_AUTHOR_NAME, "Curie");
        v.set(CVarE::H_DETECTOR_FIRST_NAME, "Paul");
        v.set(CVarE::H_DETECTOR_NAME, "Martin");
        v.set(CVarE::H_NOTES, "Ligne 1\r\nLigne 2");
        const CRole* pAlice = addRole(v, "ALICE", CRole::GENDER_FEMALE, "La soeur");
        const CRole* pBob = addRole(v, "BOB", CRole::GENDER_MALE, QString::fromUtf8("Le frère"));
        addRole(v, QString::fromUtf8("ZOÉ"));
        for (int f : {100, 500, 900, 2000})
            v.addLoop(CLoop(tc(f), 0));
        addPhrase(v, pAlice, 100, 150, QString::fromUtf8("Bonjour  à   tous "));
        addPhrase(v, pAlice, 200, 250, QString::fromUtf8("Ça va ?"));
        addPhrase(v, pBob, 200, -1, "Oui (il rit) non", 1);
        addPhrase(v, nullptr, 300, 320, "Qui ?");
        addPhrase(v, pAlice, 800, 850, "Fin\r\nde tout", 2);
        addPhrase(v, pBob, 950, 990, "Ah", 0, true);
    }

    CScriptExportOptions only(int nLayout, int nRoleList) const {
        CScriptExportOptions o;
        o.nLayout = nLayout;
        o.nRoleList = nRoleList;
        o.bCroisille = false;
        o.bFrontPage = false;
        o.date = QDate(2026, 12, 7);
        return o;
    }

    CRtfCheck run(const CScriptExportOptions& o) {
        const QString strPath = m_dir.filePath("out.rtf");
        EXPECT_TRUE(exportScript(v, strPath, "Tavorin v3.7.0", o, m_shading));
        const CRtfCheck r = checkRtf(readAll(strPath));
        EXPECT_TRUE(r.bOk) << r.errors.join("\n").toStdString();
        return r;
    }
};

const char* const HEADINGS_CLASSIC[] = {"Boucle 1\t de 00:00:04:00 à 00:00:20:00\tDurée : 00:00:16:00\n",
                                        "Boucle 2\t de 00:00:20:00 à 00:00:36:00\tDurée : 00:00:16:00\n",
                                        "Boucle 3\t de 00:00:36:00 à 00:01:20:00\tDurée : 00:00:44:00\n"};
} // namespace

TEST_F(ScriptExportTest, LineCountsOfRoles) {
    auto role = [&](const char* psz) -> const CRole& { return *v.findRoleByName(QString::fromUtf8(psz)); };
    EXPECT_EQ(getLignage(v, role("ALICE")), 1); // 15 + 6 + 12 characters
    EXPECT_EQ(getLignage(v, role("BOB")), 1);   // 8; the reaction does not count
    EXPECT_EQ(getLignage(v, role("ZOÉ")), 0);

    // 76 spoken characters over two phrases make two lines; voice-off counts, reactions never do.
    const CRole* pZoe = &role("ZOÉ");
    const QString str38 = QString("bonjour ").repeated(4) + "salut ";
    ASSERT_EQ(countSpokenCharacters(str38), 38);
    addPhrase(v, pZoe, 3000, 3010, str38);
    CLine l;
    l.insertSign(tc(3100), CLipSync::IN_OPEN, true, 0);
    l.insertText(str38, -1);
    l.setRole(pZoe);
    l.setVoiceOff(true);
    v.addLine(l);
    addPhrase(v, pZoe, 3200, 3210, QString(500, 'd'), 0, true);
    EXPECT_EQ(getLignage(v, role("ZOÉ")), 2);
}

TEST_F(ScriptExportTest, RoleListWithLoopsOrFirstTimecode) {
    const QString strLoops = run(only(SCRIPT_NONE, ROLE_LIST_LOOPS)).strText;
    EXPECT_EQ(strLoops, QString::fromUtf8("Liste des rôles\n"
                                          "Nombre de rôles\t: 3\n"
                                          "\n"
                                          "Nom|Lignage|Sexe|Boucles|Description|\n"
                                          "ALICE|1|F|1, 2|La soeur|\n"
                                          "BOB|1|M|1, 3|Le frère|\n"
                                          "ZOÉ|0||||\n"
                                          "\n"
                                          "Lignage total\t: 2\n"));
    const CRtfCheck r = run(only(SCRIPT_NONE, ROLE_LIST_FIRST_TC));
    EXPECT_EQ(r.strText.section('\n', 3, 6), QString::fromUtf8("Nom|Lignage|Sexe|Premier TC|Description|\n"
                                                               "ALICE|1|F|00:00:04:00|La soeur|\n"
                                                               "BOB|1|M|00:00:08:00|Le frère|\n"
                                                               "ZOÉ|0||||"));
    EXPECT_EQ(r.wordCounts["trhdr"], 1);
    EXPECT_EQ(r.sectionParams,
              QStringList{"\\sbkodd\\marglsxn1800\\margrsxn1800\\margtsxn1440\\margbsxn1440"});
    // Rows alternate, and the switch is the role list's own: after the first export's three rows
    // the second export starts with a plain row.
    EXPECT_EQ(r.wordCounts["clshdng"], 5);
    EXPECT_FALSE(m_shading.m_bCroisille);
}

TEST_F(ScriptExportTest, ClassicLayout) {
    const QString strText = run(only(SCRIPT_CLASSIC, 0)).strText;
    EXPECT_EQ(strText, QString::fromUtf8(
                           "Script\n"
                           "ALICE\t: Bonjour à tous\n") + // the loop at the phrase's own frame comes after it
                           QString::fromUtf8(HEADINGS_CLASSIC[0]) +
                           QString::fromUtf8("\t: Ça va ?\n" // same role as just before: no name
                                             "BOB\t: Oui (il rit) non\n"
                                             "PROBLEME D'AFFECTATION!!!\t: Qui ?\n") +
                           QString::fromUtf8(HEADINGS_CLASSIC[1]) + "ALICE\t: Fin\nde tout\n" +
                           QString::fromUtf8(HEADINGS_CLASSIC[2]) + "BOB\t: Ah\n");
}

TEST_F(ScriptExportTest, DocumentaryLayout) {
    CScriptExportOptions o = only(SCRIPT_DOCUMENTARY, 0);
    QString strText = run(o).strText;
    EXPECT_TRUE(
        strText.startsWith(QString::fromUtf8("Script\n"
                                             "00:00:04:00\nALICE\nBonjour  à   tous \n\n"
                                             "Boucle 1\tde 00:00:04:00 à 00:00:20:00\tDurée : 00:00:16:00\n"
                                             "00:00:08:00\nALICE\nÇa va ?\n\n"
                                             "00:00:08:00\nBOB\nOui (il rit) non\n\n"
                                             "00:00:12:00\nPROBLEME D'AFFECTATION!!!\nQui ?\n\n")))
        << strText.toStdString();
    o.bTCOut = true;
    strText = run(o).strText;
    EXPECT_TRUE(strText.contains("00:00:04:00 - 00:00:06:00\nALICE\n"));
    EXPECT_TRUE(strText.contains("00:00:08:00 - 00:00:08:00\nBOB\n")); // no closing sign: the last sign
    EXPECT_TRUE(strText.endsWith("00:00:38:00 - 00:00:39:15\nBOB\nAh\n\n"));
}

TEST_F(ScriptExportTest, RoleFilter) {
    CScriptExportOptions o = only(SCRIPT_CLASSIC, 0);
    o.strRole = "BOB";
    EXPECT_EQ(run(o).strText, "Script\n" + QString::fromUtf8(HEADINGS_CLASSIC[0]) +
                                  "BOB\t: Oui (il rit) non\n" + QString::fromUtf8(HEADINGS_CLASSIC[1]) +
                                  QString::fromUtf8(HEADINGS_CLASSIC[2]) + "\t: Ah\n");
    // A role that never speaks: the title and the loop headings only.
    o.strRole = QString::fromUtf8("ZOÉ");
    EXPECT_EQ(run(o).strText, "Script\n" + QString::fromUtf8(HEADINGS_CLASSIC[0]) +
                                  QString::fromUtf8(HEADINGS_CLASSIC[1]) +
                                  QString::fromUtf8(HEADINGS_CLASSIC[2]));
    // An unknown name is no filter.
    o.strRole = "PERSONNE";
    EXPECT_EQ(run(o).strText, run(only(SCRIPT_CLASSIC, 0)).strText);

    // The last loop's heading has no end.
    CVarE w;
    w.addLoop(CLoop(tc(100), 0));
    w.addLoop(CLoop(tc(500), 0));
    addPhrase(w, addRole(w, "A"), 600, 610, "x");
    ASSERT_TRUE(exportScript(w, m_dir.filePath("w.rtf"), "g", only(SCRIPT_DOCUMENTARY, 0), m_shading));
    EXPECT_TRUE(checkRtf(readAll(m_dir.filePath("w.rtf")))
                    .strText.contains(
                        QString::fromUtf8("Durée : 00:00:16:00\nBoucle 2\tde 00:00:20:00\n00:00:24:00")));
}

TEST_F(ScriptExportTest, FrontPageHeaderAndFooterBytes) {
    CScriptExportOptions o = only(SCRIPT_NONE, 0);
    o.bFrontPage = true;
    run(o);
    const QByteArray rtf = readAll(m_dir.filePath("out.rtf"));
    const QByteArray expected =
        "{\\info{\\author Jean Dupont & Marie Curie}}\r\n"
        "{\\header\\pard\\plain\\fs18\\qc Le Jour #205\\par\r\n}"
        "{\\footer\\trowd\r\n\\pard\r\n\\plain\\fs18\\qr Page {\\field{\\*\\fldinst PAGE}{\\fldrslt}}"
        "\\plain\\fs18 /{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt}}\\par\r\n}"
        "\\sectd\\sbkodd\\marglsxn1800\\margrsxn1800\\margtsxn1440\\margbsxn1440\\titlepg\r\n"
        "\\trowd\\trrh600\r\n\\cltxlrtb\\cellx4590\r\n\\cltxlrtb\\cellx9180\r\n"
        "\\pard\\intbl \\plain\\fs18\\b Auteur(s) :\\plain\\fs18\\i Jean Dupont & Marie Curie"
        "\\line\\plain\\fs18\\b D\xE9tecteur :\\plain\\fs18\\i Paul Martin\\cell\r\n"
        "\\pard\\intbl \\plain\\fs18\\qr 07/12/2026\\cell\r\n"
        "\\row\\pard\r\n"
        "\\trowd\\trrh5000\r\n\\clvertalc\\cltxlrtb\\cellx9180\r\n\\pard\\intbl \\plain\\fs48\\b\\qc Le Jour"
        "\\line\\plain\\fs36\\i\\qc Deuxi\xE8me titre\\line\\line\\plain\\fs24\\b\\qc \xC9pisode #205"
        "\\line\\line\\plain\\fs24\\i\\qc La fin\\cell\r\n\\row\\pard\r\n"
        "\\pard \\sb400\\sa300 \\plain\\fs18\\b Notes :\\par\r\n"
        "\\pard\\plain\\fs18 Ligne 1\r\\line Ligne 2\\par\r\n"
        "}\r\n";
    ASSERT_TRUE(rtf.contains("{\\info")) << rtf.toStdString();
    EXPECT_EQ(rtf.mid(rtf.indexOf("{\\info")), expected);

    // Without a second author, detector, title2 or notes those parts are left out.
    CVarE w;
    w.set(CVarE::H_TITLE, "T");
    w.set(CVarE::H_FIRST_AUTHOR_FIRST_NAME, "A");
    w.set(CVarE::H_FIRST_AUTHOR_NAME, "B");
    w.set(CVarE::H_SUMMARY, "Court");
    ASSERT_TRUE(exportScript(w, m_dir.filePath("w.rtf"), "g", o, m_shading));
    const CRtfCheck r = checkRtf(readAll(m_dir.filePath("w.rtf")));
    EXPECT_EQ(r.strText, QString::fromUtf8("Auteur(s) :A B|07/12/2026|\nT|\nRésumé :\nCourt\n"));
    EXPECT_EQ(r.strHeader, "T #\n");
    EXPECT_EQ(r.strFooter, "Page {PAGE}/{NUMPAGES}\n");
}

TEST_F(ScriptExportTest, EveryPartTogetherIsWellFormed) {
    CScriptExportOptions o;
    o.strRole = "ALICE";
    const CRtfCheck r = run(o);
    // Front page, one croisillé page, role list, script: four sections.
    EXPECT_EQ(r.sectionParams.size(), 4);
    EXPECT_EQ(r.wordCounts["sect"], 3);
    EXPECT_TRUE(r.sectionParams[1].contains("\\lndscpsxn"));
    EXPECT_TRUE(r.strText.contains("Liste des rôles"));
    EXPECT_TRUE(r.strText.contains("Script\nALICE\t: Bonjour à tous\n"));
}

TEST_F(ScriptExportTest, FailureLeavesNothingBehind) {
    const QString strDir = m_dir.filePath("dossier");
    ASSERT_TRUE(QDir().mkdir(strDir));
    // The target is a folder: nothing is written and the folder stays.
    EXPECT_FALSE(exportScript(v, strDir, "g", only(SCRIPT_CLASSIC, 0), m_shading));
    EXPECT_TRUE(QFileInfo(strDir).isDir());
    EXPECT_FALSE(exportScript(v, m_dir.filePath("absent/out.rtf"), "g", only(SCRIPT_CLASSIC, 0), m_shading));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"dossier"});
}

TEST(ScriptExportOptions, SettingsAndDefaultFileNames) {
    QTemporaryDir dir;
    auto pStore = CSettingsStore::fromIniFile(dir.filePath("Tavorin.ini"));
    CScriptExportOptions o = loadScriptExportOptions(*pStore);
    EXPECT_EQ(o.nLayout, SCRIPT_CLASSIC);
    EXPECT_FALSE(o.bTCOut);
    EXPECT_TRUE(o.bCroisille);
    EXPECT_EQ(o.nRoleList, ROLE_LIST_LOOPS);
    EXPECT_TRUE(o.bFrontPage);

    o = {SCRIPT_DOCUMENTARY, true, false, ROLE_LIST_FIRST_TC, "BOB", false};
    storeScriptExportOptions(*pStore, o);
    pStore->set(Settings::ScriptRoleList, 9); // out of range: the default
    const CScriptExportOptions back = loadScriptExportOptions(*pStore);
    EXPECT_EQ(back.nLayout, SCRIPT_DOCUMENTARY);
    EXPECT_TRUE(back.bTCOut);
    EXPECT_FALSE(back.bCroisille);
    EXPECT_EQ(back.nRoleList, ROLE_LIST_LOOPS);
    EXPECT_FALSE(back.bFrontPage);
    EXPECT_TRUE(back.strRole.isEmpty());

    auto name = [](int nLayout, bool bCroisille, int nRoles, const char* pszRole) {
        CScriptExportOptions x;
        x.nLayout = nLayout;
        x.bCroisille = bCroisille;
        x.nRoleList = nRoles;
        x.strRole = pszRole;
        return defaultScriptExportName("/d/Le Phare.vare", x);
    };
    EXPECT_EQ(name(SCRIPT_CLASSIC, true, 1, ""), "/d/Le Phare - CROISILLE ET SCRIPT");
    EXPECT_EQ(name(SCRIPT_DOCUMENTARY, true, 0, "BOB"), "/d/Le Phare - CROISILLE ET SCRIPT BOB");
    EXPECT_EQ(name(SCRIPT_NONE, true, 1, "BOB"), "/d/Le Phare - CROISILLE"); // no script: no role
    EXPECT_EQ(name(SCRIPT_CLASSIC, false, 0, "BOB"), "/d/Le Phare - SCRIPT BOB");
    EXPECT_EQ(name(SCRIPT_NONE, false, 2, ""), "/d/Le Phare - ROLES");
    EXPECT_EQ(name(SCRIPT_NONE, false, 0, ""), "/d/Le Phare");
    EXPECT_EQ(defaultScriptExportName("/d/x.VARE", {}), "/d/x.VARE - CROISILLE ET SCRIPT");
    EXPECT_EQ(defaultSubtitleExportName("/d/Le Phare.vare"), "/d/Le Phare - SOUS-TITRE");
}
