// "Script et croisillé...", "Sous-titrage UER..." and "Liste de rôles...": the dialogs, the names and
// folders offered, the messages, and the same files as tavorin-cli.
#include "app/ExportCommands.h"
#include "CliRun.h"
#include "TestApp.h"
#include "app/Commands.h"
#include "app/RoleImport.h"
#include "app/ScriptTypeDlg.h"
#include "export/ExportScripts.h"
#include "export/RoleListExport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace exporttest;

namespace {
class ExportCommands : public ::testing::Test {
protected:
    STestApp t;
    QString m_strScript;
    std::unique_ptr<CExportCommands> m_pExports;
    CScriptExportOptions m_options; // what the options dialog is answered with
    bool m_bOptionsOk = true;

    void SetUp() override {
        ASSERT_TRUE(t.start());
        CVarE v;
        v.set(CVarE::H_TITLE, "Essai");
        const CRole* pA = addRole(v, QString::fromUtf8("ÉLISE"), CRole::GENDER_FEMALE);
        const CRole* pB = addRole(v, "MARC", CRole::GENDER_MALE);
        v.addLoop(CLoop(tc(0), 0));
        v.addLoop(CLoop(tc(1000), 0));
        addPhrase(v, pA, 10, 40, QString::fromUtf8("Bonjour à tous, ça va ?"));
        addPhrase(v, pB, 60, 90, "Oui (il rit) et toi ?");
        addPhrase(v, pA, 1100, -1, "Au revoir\r\nà demain");
        QDir().mkpath(t.path("scripts"));
        m_strScript = t.path("scripts/film.vare");
        ASSERT_TRUE(v.store(m_strScript));
        ASSERT_TRUE(t.doc().openDocumentFile(m_strScript));
        m_pExports = std::make_unique<CExportCommands>(t.app(), t.doc(), nullptr);
        m_pExports->m_runOptionsDialog = [this](CScriptTypeDlg& dlg) {
            if (!m_bOptionsOk) return false;
            dlg.setOptions(m_options);
            if (!m_options.strRole.isEmpty()) dlg.roleCombo()->setCurrentText(m_options.strRole);
            return true;
        };
    }
    QString exportPath() { return t.app().settings().get(Settings::ExportPath); }
};

struct SCue {
    QString strStart, strEnd;
    QStringList lines;
};

// A SubRip file read back as a subtitle program reads it: blocks separated by blank lines, each a
// number, a time line and text lines.
std::vector<SCue> readSubRip(const QByteArray& data, QString* pError) {
    std::vector<SCue> cues;
    static const QRegularExpression s_time(
        QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d) --> (\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d)$"));
    const QString strText = QString::fromUtf8(data);
    if (strText.toUtf8() != data) *pError = "not UTF-8";
    int nExpected = 1;
    for (const QString& strBlock : strText.split(QStringLiteral("\r\n\r\n"), Qt::SkipEmptyParts)) {
        const QStringList lines = strBlock.split(QStringLiteral("\r\n"));
        if (lines.size() < 3 || lines[0] != QString::number(nExpected++)) {
            *pError = "bad block: " + strBlock;
            break;
        }
        const QRegularExpressionMatch m = s_time.match(lines[1]);
        if (!m.hasMatch()) {
            *pError = "bad time line: " + lines[1];
            break;
        }
        cues.push_back({m.captured(1), m.captured(2), lines.mid(2)});
    }
    return cues;
}
} // namespace

TEST_F(ExportCommands, TheScriptExportWritesWhatTheCommandLineWritesWithTheSameOptions) {
    m_options.nLayout = SCRIPT_DOCUMENTARY;
    m_options.bTCOut = true;
    m_options.nRoleList = ROLE_LIST_FIRST_TC;
    m_options.bFrontPage = false;
    m_options.strRole = "MARC";
    const QString strOut = t.path("scripts/sortie.rtf");
    t.prompts.m_files.push_back(strOut);
    t.prompts.m_answers.push_back(QMessageBox::Yes);
    ASSERT_TRUE(m_pExports->OnFileExportScript());

    // The name offered: the script's, what the document holds and the role, beside the script.
    EXPECT_EQ(t.prompts.m_strProposedFile, t.path("scripts/film - CROISILLE ET SCRIPT MARC"));
    const SCliRun r = runCli({"export-script", m_strScript, t.path("cli.rtf"), "--layout", "documentary",
                              "--tc-out", "--roles", "first-tc", "--no-front-page", "--role", "MARC"});
    ASSERT_EQ(r.nExit, 0) << r.err.constData();
    EXPECT_EQ(readAll(strOut), readAll(t.path("cli.rtf")));

    // Done: the folder and the options are kept (not the role), the file is opened on "Oui".
    EXPECT_TRUE(t.prompts.told(
        QString::fromUtf8("Le script a été exporté. Voulez-vous ouvrir ce fichier maintenant ?")));
    ASSERT_EQ(t.opened.size(), 1u);
    EXPECT_EQ(t.opened[0], QUrl::fromLocalFile(strOut));
    EXPECT_EQ(exportPath(), t.path("scripts"));
    const CScriptExportOptions stored = loadScriptExportOptions(t.app().settings());
    EXPECT_EQ(stored.nLayout, SCRIPT_DOCUMENTARY);
    EXPECT_TRUE(stored.bTCOut);
    EXPECT_FALSE(stored.bFrontPage);
    EXPECT_EQ(stored.nRoleList, ROLE_LIST_FIRST_TC);

    // The next export opens in that folder with those options, and "Non" opens nothing.
    QDir().mkpath(t.path("exports"));
    t.app().settings().set(Settings::ExportPath, t.path("exports"));
    m_options = CScriptExportOptions();
    m_options.bCroisille = false;
    m_options.nLayout = SCRIPT_NONE;
    t.prompts.m_files.push_back(t.path("exports/roles.rtf"));
    ASSERT_TRUE(m_pExports->OnFileExportScript());
    EXPECT_EQ(t.prompts.m_strProposedFile, t.path("exports/film - ROLES"));
    EXPECT_EQ(t.opened.size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(t.path("exports/roles.rtf")));
}

TEST_F(ExportCommands, CancelAndFailureWriteAndKeepNothing) {
    m_bOptionsOk = false;
    EXPECT_FALSE(m_pExports->OnFileExportScript());
    EXPECT_TRUE(t.prompts.m_strProposedFile.isEmpty()) << "no file dialog after Annuler";

    m_bOptionsOk = true;
    m_options.nLayout = SCRIPT_NONE;
    m_options.bFrontPage = false;
    EXPECT_FALSE(m_pExports->OnFileExportScript()); // the file dialog cancelled
    t.prompts.m_files.push_back(t.path("absent/sortie.rtf"));
    EXPECT_FALSE(m_pExports->OnFileExportScript());
    // The message names the file and the reason.
    EXPECT_TRUE(
        t.prompts.told(QStringLiteral("Impossible d'exporter le script dans « %1 » : fichier ou dossier "
                                      "introuvable.")
                           .arg(t.path("absent/sortie.rtf"))))
        << qPrintable(t.prompts.m_messages.back().strText);
    EXPECT_TRUE(exportPath().isEmpty());
    EXPECT_EQ(loadScriptExportOptions(t.app().settings()).nLayout, SCRIPT_CLASSIC);
    t.prompts.m_files.push_back(t.path("absent/sortie.txt"));
    EXPECT_FALSE(m_pExports->OnFileExportSubtitles());
    EXPECT_TRUE(
        t.prompts.told(QStringLiteral("Impossible d'exporter les sous-titres dans « %1 » : fichier ou "
                                      "dossier introuvable.")
                           .arg(t.path("absent/sortie.txt"))))
        << qPrintable(t.prompts.m_messages.back().strText);
    t.prompts.m_files.push_back(t.path("absent/sortie.xml"));
    EXPECT_FALSE(m_pExports->OnFileExportDapt());
    EXPECT_TRUE(t.prompts.told(QStringLiteral("Impossible d'exporter le script DAPT dans « %1 » : fichier ou "
                                              "dossier introuvable.")
                                   .arg(t.path("absent/sortie.xml"))))
        << qPrintable(t.prompts.m_messages.back().strText);
    EXPECT_TRUE(t.opened.empty());

    // A file written but that the desktop cannot open: said, and the export still done.
    t.bDesktopOpens = false;
    t.prompts.m_files.push_back(t.path("sortie.txt"));
    t.prompts.m_answers.push_back(QMessageBox::Yes);
    EXPECT_TRUE(m_pExports->OnFileExportSubtitles());
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Aucun programme trouvé pour lire le fichier.")));
}

TEST_F(ExportCommands, SubtitlesAsTextOrSubRipByTheFilterChosen) {
    // The plain layout, as tavorin-cli writes it.
    t.prompts.m_files.push_back(t.path("scripts/st.txt"));
    ASSERT_TRUE(m_pExports->OnFileExportSubtitles());
    EXPECT_EQ(t.prompts.m_strProposedFile, t.path("scripts/film - SOUS-TITRE"));
    EXPECT_TRUE(t.prompts.told(
        QString::fromUtf8("Les sous-titres ont été exportés.\nVoulez-vous ouvrir ce fichier maintenant ?")));
    ASSERT_EQ(runCli({"export-subtitles", m_strScript, t.path("cli.txt")}).nExit, 0);
    EXPECT_EQ(readAll(t.path("scripts/st.txt")), readAll(t.path("cli.txt")));
    EXPECT_EQ(exportPath(), t.path("scripts"));

    // The SubRip filter: a file a subtitle program reads, the one of tavorin-cli --srt.
    t.prompts.m_files.push_back(t.path("st.srt"));
    t.prompts.m_filters.push_back(QString::fromLatin1(CExportCommands::SUBRIP_FILTER));
    ASSERT_TRUE(m_pExports->OnFileExportSubtitles());
    EXPECT_EQ(t.prompts.m_strProposedFile, t.path("scripts/film - SOUS-TITRE"));
    QString strError;
    const std::vector<SCue> cues = readSubRip(readAll(t.path("st.srt")), &strError);
    EXPECT_TRUE(strError.isEmpty()) << strError.toStdString();
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[0].strStart, "00:00:00,400");
    EXPECT_EQ(cues[0].strEnd, "00:00:01,600");
    EXPECT_EQ(cues[0].lines, QStringList{QString::fromUtf8("Bonjour à tous, ça va ?")});
    EXPECT_EQ(cues[2].strStart, "00:00:44,000");
    EXPECT_EQ(cues[2].strEnd, "00:00:46,000");
    EXPECT_EQ(cues[2].lines, (QStringList{"Au revoir", QString::fromUtf8("à demain")}));
    ASSERT_EQ(runCli({"export-subtitles", m_strScript, t.path("cli.srt"), "--srt"}).nExit, 0);
    EXPECT_EQ(readAll(t.path("st.srt")), readAll(t.path("cli.srt")));

    // A ".srt" name is SubRip whatever the filter; another name with the SubRip filter too.
    t.prompts.m_files.push_back(t.path("nom.srt"));
    t.prompts.m_filters.push_back(QString::fromLatin1(CExportCommands::TEXT_FILTER));
    ASSERT_TRUE(m_pExports->OnFileExportSubtitles());
    EXPECT_EQ(readAll(t.path("nom.srt")), readAll(t.path("cli.srt")));
    t.prompts.m_files.push_back(t.path("autre.sub"));
    t.prompts.m_filters.push_back(QString::fromLatin1(CExportCommands::SUBRIP_FILTER));
    ASSERT_TRUE(m_pExports->OnFileExportSubtitles());
    EXPECT_EQ(readAll(t.path("autre.sub")), readAll(t.path("cli.srt")));
}

TEST_F(ExportCommands, TheMenuEntriesRunTheExports) {
    // Bound in the program: Ctrl+Maj+E's entry goes to the file dialog.
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_EXPORT_SUBTITLES));
    EXPECT_EQ(t.prompts.m_strProposedFile, t.path("scripts/film - SOUS-TITRE"));
    // A script never saved offers its title in the data folder.
    t.doc().OnNewDocument();
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_EXPORT_SUBTITLES));
    EXPECT_EQ(t.prompts.m_strProposedFile, t.app().dataFolder() + "/Sans titre - SOUS-TITRE");
}

TEST(ScriptTypeDialog, OffersTheRolesAndEnablesWhatTheLayoutUses) {
    CVarE v;
    addRole(v, "MARC");
    addRole(v, "ANNE");
    CScriptTypeDlg dlg(v);
    ASSERT_EQ(dlg.roleCombo()->count(), 3);
    EXPECT_EQ(dlg.roleCombo()->itemText(0), "Tous");
    EXPECT_EQ(dlg.roleCombo()->itemText(1), "ANNE");

    // The defaults of the settings: classic script, croisillé, role list with loops, front page.
    CScriptExportOptions o = dlg.options();
    EXPECT_EQ(o.nLayout, SCRIPT_CLASSIC);
    EXPECT_TRUE(o.bCroisille);
    EXPECT_EQ(o.nRoleList, ROLE_LIST_LOOPS);
    EXPECT_TRUE(o.bFrontPage);
    EXPECT_TRUE(o.strRole.isEmpty());
    EXPECT_FALSE(dlg.tcOutBox()->isEnabled());
    EXPECT_TRUE(dlg.roleCombo()->isEnabled());

    dlg.layoutGroup()->button(SCRIPT_DOCUMENTARY)->click();
    EXPECT_TRUE(dlg.tcOutBox()->isEnabled());
    dlg.tcOutBox()->setChecked(true);
    dlg.roleCombo()->setCurrentIndex(2);
    o = dlg.options();
    EXPECT_EQ(o.nLayout, SCRIPT_DOCUMENTARY);
    EXPECT_TRUE(o.bTCOut);
    EXPECT_EQ(o.strRole, "MARC");

    dlg.layoutGroup()->button(SCRIPT_NONE)->click();
    EXPECT_FALSE(dlg.tcOutBox()->isEnabled());
    EXPECT_FALSE(dlg.roleCombo()->isEnabled());
    // Options set again open on "Tous".
    dlg.setOptions(o);
    EXPECT_EQ(dlg.roleCombo()->currentIndex(), 0);
}

TEST_F(ExportCommands, RolesOfAnotherScriptAreImportedInOneStep) {
    CVarE other;
    addRole(other, "MARC", CRole::GENDER_MALE, "un autre Marc");
    addRole(other, "PAUL", CRole::GENDER_MALE, QString::fromUtf8("le frère"));
    addRole(other, "ZOE", CRole::GENDER_FEMALE);
    ASSERT_TRUE(other.store(t.path("autre.vare")));

    CRoleImport import(t.app(), t.doc(), nullptr);
    QStringList shown;
    import.m_runDialog = [&](CImportRolesDlg& dlg) {
        for (int i = 0;
    i < dlg.list()->topLevelItemCount(); ++i)
            shown.append(dlg.list()->topLevelItem(i)->text(0));
    dlg.setAllTicked(false);
    dlg.list()->topLevelItem(0)->setCheckState(0, Qt::Checked); // MARC: already there
    dlg.list()->topLevelItem(1)->setCheckState(0, Qt::Checked); // PAUL
    return true;
};
EXPECT_TRUE(t.app().commands().isEnabled(Cmd::FILE_IMPORT_ROLES));
// The open dialog starts in the scripts' folder; cancelled, nothing happens.
t.app().settings().set(Settings::VarEPath, t.path("scripts"));
import.OnFileImportRoles();
EXPECT_EQ(t.prompts.m_strProposedFile, t.path("scripts"));
EXPECT_TRUE(shown.isEmpty());
EXPECT_EQ(import.importRole(t.path("autre.vare")), 1);
EXPECT_EQ(shown, (QStringList{"MARC", "PAUL", "ZOE"}));
const CVarE& s = t.doc().script();
ASSERT_NE(s.findRoleByName("PAUL"), s.getRoles().end());
EXPECT_EQ(s.findRoleByName("PAUL")->getDescription(), QString::fromUtf8("le frère"));
EXPECT_EQ(s.findRoleByName("ZOE"), s.getRoles().end());
EXPECT_TRUE(s.findRoleByName("MARC")->getDescription().isEmpty()) << "the script's own role stays";
EXPECT_TRUE(t.doc().IsModified());
ASSERT_TRUE(t.doc().undo());
EXPECT_EQ(s.findRoleByName("PAUL"), s.getRoles().end());

// A file that is no script.
QFile junk(t.path("junk.vare"));
ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
junk.write("pas un script");
junk.close();
EXPECT_EQ(import.importRole(t.path("junk.vare")), -1);
EXPECT_TRUE(
    t.prompts.told(QString::fromUtf8("Impossible d'ouvrir le fichier « %1 ».").arg(t.path("junk.vare"))));
}
