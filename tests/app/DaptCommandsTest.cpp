// "Fichier > Importer > Script DAPT..." and "Fichier > Exporter > Script DAPT...": in the menus, the
// same file as tavorin-cli, a script that comes back through the document, and a refusal that changes
// nothing.
#include "CliRun.h"
#include "TestApp.h"
#include "app/Commands.h"
#include "app/ExportCommands.h"
#include "vare/ScriptCompare.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray readBytes(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The submenu of the "&Fichier" menu with the title given, as its command ids.
std::vector<int> fileSubmenu(const char* pszTitle) {
    std::vector<int> ids;
    bool bIn = false;
    for (const SMenuEntry& e : menuBarLayout()) {
        if (e.eKind == SMenuEntry::SUBMENU)
            bIn = QString::fromUtf8(e.pszTitle) == QString::fromUtf8(pszTitle);
        if (e.eKind == SMenuEntry::END) bIn = false;
        if (bIn && e.eKind == SMenuEntry::COMMAND) ids.push_back(e.nId);
    }
    return ids;
}
} // namespace

TEST(DaptCommands, AreInTheImportAndExportMenus) {
    const std::vector<int> imports = fileSubmenu("&Importer"), exports = fileSubmenu("E&xporter");
    EXPECT_NE(std::find(imports.begin(), imports.end(), int(Cmd::FILE_IMPORT_DAPT)), imports.end());
    EXPECT_NE(std::find(exports.begin(), exports.end(), int(Cmd::FILE_EXPORT_DAPT)), exports.end());
}

TEST(DaptCommands, ExportThenImportGivesTheScriptBackAsANewScript) {
    STestApp t;
    ASSERT_TRUE(t.start());
    const QString strScript = QStringLiteral(TAVORIN_SOURCE_DIR "/demo/demo.vare");
    ASSERT_TRUE(t.doc().openDocumentFile(strScript));
    CVarE demo;
    ASSERT_TRUE(demo.load(strScript));

    // Export: the name offered beside the script, the file tavorin-cli writes.
    t.prompts.m_files.push_back(t.path("demo.xml"));
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_EXPORT_DAPT));
    EXPECT_TRUE(t.prompts.m_strProposedFile.endsWith("demo - DAPT.xml"))
        << t.prompts.m_strProposedFile.toStdString();
    ASSERT_EQ(runCli({"export-dapt", strScript, t.path("cli.xml")}).nExit, 0);
    EXPECT_EQ(readBytes(t.path("demo.xml")), readBytes(t.path("cli.xml")));

    // Import: a new script, the same, unsaved and without a file name.
    t.doc().OnNewDocument();
    t.prompts.m_files.push_back(t.path("demo.xml"));
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_IMPORT_DAPT));
    EXPECT_TRUE(sameScript(demo, t.doc().script()));
    EXPECT_TRUE(t.doc().GetPathName().isEmpty());
    EXPECT_EQ(t.doc().GetTitle(), "demo");
    EXPECT_TRUE(t.doc().IsModified());

    // A file that is no DAPT document: the French reason, and the open script stays as it was.
    t.prompts.m_answers.push_back(QMessageBox::No); // do not save the imported script
    t.prompts.m_files.push_back(strScript);
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_IMPORT_DAPT));
    EXPECT_EQ(t.doc().GetTitle(), "demo");
    EXPECT_TRUE(sameScript(demo, t.doc().script()));
    bool bTold = false;
    for (const auto& m : t.prompts.m_messages)
        bTold |= m.strText.startsWith(QStringLiteral("Impossible d'ouvrir le fichier")) &&
                 m.strText.contains(QStringLiteral("DAPT"));
    EXPECT_TRUE(bTold);
}

TEST(DaptCommands, WhatTheReadingCouldNotKeepIsSaidOnce) {
    STestApp t;
    ASSERT_TRUE(t.start());
    QFile f(t.path("autre.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<tt xmlns=\"http://www.w3.org/ns/ttml\" xmlns:ttm=\"http://www.w3.org/ns/ttml#metadata\""
            " xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\""
            " xmlns:daptm=\"http://www.w3.org/ns/ttml/profile/dapt#metadata\""
            " ttp:contentProfiles=\"http://www.w3.org/ns/ttml/profile/dapt1.0\" xml:lang=\"fr\""
            " daptm:scriptRepresents=\"audio.dialogue\" daptm:scriptType=\"originalTranscript\"><body>"
            "<div xml:id=\"e1\" begin=\"1s\" end=\"2s\" ttm:agent=\"inconnu\" "
            "daptm:represents=\"audio.dialogue\">"
            "<p>Bonjour</p></div></body></tt>");
    f.close();
    t.prompts.m_files.push_back(t.path("autre.xml"));
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_IMPORT_DAPT));
    ASSERT_EQ(t.doc().script().getLineCount(), 1);
    EXPECT_EQ(t.doc().script().getLines().begin()->getRole().getName(), "inconnu");
    int nTold = 0;
    for (const auto& m : t.prompts.m_messages)
        nTold += m.strText.contains(QString::fromUtf8("« inconnu » n'est pas déclaré")) &&
                 m.eIcon == IPrompts::ICON_EXCLAMATION;
    EXPECT_EQ(nTold, 1);
}
