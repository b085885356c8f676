// The "&Aide" menu: the shipped documents found in the data folder, the shell's messages, the web page,
// "À propos" and the page of keyboard shortcuts made from the command table.
#include "app/HelpCommands.h"
#include "TestApp.h"
#include "app/Commands.h"
#include "app/ShortcutsPage.h"
#include "base/DataFolder.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
QByteArray readAll(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The program's documents where an install puts them: share/tavorin/docs beside the program folder.
QString installDocs(STestApp& t) {
    const QString strDocs = t.path("share/tavorin/docs");
    QDir().mkpath(strDocs);
    for (const char* psz : {CHelpCommands::GUIDE, CHelpCommands::RELEASE_NOTES})
        QFile::copy(QStringLiteral(TAVORIN_SOURCE_DIR "/") + QString::fromLatin1(psz),
                    t.path("share/tavorin/") + QString::fromLatin1(psz));
    QFile::copy(QStringLiteral(TAVORIN_BINARY_DIR "/") + QString::fromLatin1(CHelpCommands::SHORTCUTS),
                t.path("share/tavorin/") + QString::fromLatin1(CHelpCommands::SHORTCUTS));
    return strDocs;
}

// The rows of the shortcuts page for commands of that caption ("Piste 1" is two commands).
QStringList rowsOf(const QString& strPage, const QString& strCaption) {
    QStringList rows;
    for (const QString& strRow : strPage.split(QStringLiteral("</tr>")))
        if (strRow.contains(QStringLiteral(">") + strCaption.toHtmlEscaped() + QStringLiteral("</td>")) ||
            strRow.contains(QString::fromUtf8(" › ") + strCaption.toHtmlEscaped() + QStringLiteral("</td>")))
            rows.append(strRow);
    return rows;
}
QString rowOf(const QString& strPage, const QString& strCaption) {
    const QStringList rows = rowsOf(strPage, strCaption);
    return rows.size() == 1 ? rows.first() : QString();
}
} // namespace

TEST(HelpCommands, TheShippedDocumentsAreOpenedFromTheDataFolderWhereverTheProgramStarts) {
    STestApp t;
    ASSERT_TRUE(t.start());
    const QString strDocs = installDocs(t);
    // A current folder that holds a file of the same name must not be the one opened.
    const QString strOldCurrent = QDir::currentPath();
    QDir().mkpath(t.path("elsewhere/docs"));
    QFile decoy(t.path("elsewhere/Notes de version.rtf"));
    ASSERT_TRUE(decoy.open(QIODevice::WriteOnly));
    decoy.close();
    QDir::setCurrent(t.path("elsewhere"));

    CCommandTable& c = t.app().commands();
    ASSERT_TRUE(c.trigger(Cmd::HELP_DOCUMENTATION));
    ASSERT_TRUE(c.trigger(Cmd::HELP_SHORTCUTS));
    ASSERT_TRUE(c.trigger(Cmd::HELP_RELEASE_NOTES));
    QDir::setCurrent(strOldCurrent);
    ASSERT_EQ(t.opened.size(), 3u);
    EXPECT_EQ(t.opened[0], QUrl::fromLocalFile(strDocs + "/Guide de Tavorin.html"));
    EXPECT_EQ(t.opened[1], QUrl::fromLocalFile(strDocs + "/Raccourcis.html"));
    EXPECT_EQ(t.opened[2], QUrl::fromLocalFile(strDocs + "/Notes de version.rtf"));
    EXPECT_TRUE(t.prompts.m_messages.empty());
    // F1 is the guide's key.
    EXPECT_EQ(c.keys(Cmd::HELP_DOCUMENTATION), QList<QKeySequence>{QKeySequence(Qt::Key_F1)});

    // The web page is the configured address.
    t.app().settings().set(Settings::HomePageURL, "https://tavorin.example.org/");
    ASSERT_TRUE(c.trigger(Cmd::HELP_WEB));
    EXPECT_EQ(t.opened.back(), QUrl("https://tavorin.example.org/"));

    // "À propos": name, version and the libraries.
    ASSERT_TRUE(c.trigger(Cmd::APP_ABOUT));
    ASSERT_FALSE(t.prompts.m_messages.empty());
    const QString strAbout = t.prompts.m_messages.back().strText;
    EXPECT_TRUE(strAbout.startsWith("Tavorin 3.7.0\n")) << strAbout.toStdString();
    for (const char* psz : {"Qt 6.", "Xerces-C 3.", "libmpv", "libavformat", "libavcodec"})
        EXPECT_TRUE(strAbout.contains(QString::fromLatin1(psz))) << psz;
}

TEST(HelpCommands, WhatCannotBeOpenedIsSaidInFrench) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CCommandTable& c = t.app().commands();
    // No data folder beside this program.
    ASSERT_TRUE(c.trigger(Cmd::HELP_DOCUMENTATION));
    EXPECT_TRUE(t.prompts.told("Fichier introuvable."));
    EXPECT_EQ(t.prompts.m_messages.back().eIcon, IPrompts::ICON_ERROR);
    EXPECT_TRUE(t.opened.empty());

    installDocs(t);
    t.bDesktopOpens = false;
    ASSERT_TRUE(c.trigger(Cmd::HELP_RELEASE_NOTES));
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Aucun programme trouvé pour lire le fichier.")));
    ASSERT_TRUE(c.trigger(Cmd::HELP_WEB));
    EXPECT_TRUE(t.prompts.told(QStringLiteral("Erreur lors de l'ouverture du fichier.")));
    // Both were handed to the desktop, which refused them.
    EXPECT_EQ(t.opened.size(), 2u);
    t.opened.clear();

    t.prompts.m_messages.clear();
    t.bDesktopOpens = true;
    CShellOpen& shell = t.app().shell();
    EXPECT_FALSE(shell.openFile(t.path("no/such/folder/notes.rtf")));
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Chemin d'accès introuvable.")));
    EXPECT_FALSE(shell.openFile(t.path("absent.rtf")));
    EXPECT_TRUE(t.prompts.told("Fichier introuvable."));
    if (geteuid() != 0) { // root reads everything
        const QString strLocked = t.path("share/tavorin/docs/Notes de version.rtf");
        QFile::setPermissions(strLocked, QFileDevice::WriteOwner);
        EXPECT_FALSE(shell.openFile(strLocked));
        EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Accès refusé.")));
    }
    EXPECT_TRUE(t.opened.empty());
}

TEST(HelpCommands, YesToTheWelcomeQuestionOpensTheReleaseNotes) {
    STestApp t(QStringLiteral("[Misc]\nFirstRun=1\n"));
    installDocs(t);
    t.prompts.m_answers.push_back(QMessageBox::Yes);
    ASSERT_TRUE(t.start());
    ASSERT_EQ(t.opened.size(), 1u);
    EXPECT_EQ(t.opened[0], QUrl::fromLocalFile(t.path("share/tavorin/docs/Notes de version.rtf")));
}

TEST(ShortcutsPage, TheBuiltPageIsTheCommandTableInFrench) {
    // Made at build time from this very table, and found from the build tree.
    const QString strBuilt =
        CDataFolder(QStringLiteral(TAVORIN_BINARY_DIR "/src/app")).filePath(CHelpCommands::SHORTCUTS);
    ASSERT_FALSE(strBuilt.isEmpty());
    EXPECT_EQ(readAll(strBuilt), shortcutsPage(QStringLiteral(TAVORIN_VERSION)));

    const QString strPage = QString::fromUtf8(shortcutsPage(QStringLiteral(TAVORIN_VERSION)));
    EXPECT_TRUE(strPage.contains("<h2>Fichier</h2>"));
    EXPECT_TRUE(rowOf(strPage, QString::fromUtf8("Sous-titrage UER...")).contains("<kbd>Ctrl+Maj+E</kbd>"));
    EXPECT_TRUE(rowOf(strPage, "Exporter").isEmpty());
    EXPECT_TRUE(
        rowOf(strPage, QString::fromUtf8("Sous-titrage UER...")).contains(QString::fromUtf8("Exporter › ")));
    EXPECT_TRUE(rowOf(strPage, "Labiale m,b,p").contains(QString::fromUtf8("<kbd>Pavé num. 4</kbd>")));
    EXPECT_TRUE(
        rowOf(strPage, QString::fromUtf8("Rétablir")).contains("<kbd>Ctrl+Y</kbd>, <kbd>Ctrl+Maj+Z</kbd>"));
    EXPECT_TRUE(rowOf(strPage, "Documentation").contains("<kbd>F1</kbd>"));
    EXPECT_TRUE(rowOf(strPage, "Supprimer le signe").contains("<kbd>Suppr</kbd>"));
    EXPECT_TRUE(rowOf(strPage, "Raccourcis clavier").isEmpty()) << "no key, no row";

    // Every command with keys has one row, with each of its keys.
    int nWithKeys = 0;
    for (const SCommandDef& def : commandDefs()) {
        if (def.keys.isEmpty()) continue;
        ++nWithKeys;
        QString strCaption = def.strCaption.section('\t', 0, 0).trimmed();
        strCaption.remove('&');
        QStringList keys;
        for (const QKeySequence& k : def.keys)
            keys.append("<kbd>" + frenchKeyText(k).toHtmlEscaped() + "</kbd>");
        const QStringList rows = rowsOf(strPage, strCaption);
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                                [&](const QString& strRow) {
                                    return strRow.endsWith("<td>" + keys.join(", ") + "</td>");
                                }),
                  1)
            << strCaption.toStdString() << ": " << keys.join(", ").toStdString();
    }
    EXPECT_EQ(strPage.count("<tr>"), nWithKeys);
}

TEST(ShortcutsPage, KeysAreNamedInFrench) {
    EXPECT_EQ(frenchKeyText(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)), "Ctrl+Maj+S");
    EXPECT_EQ(frenchKeyText(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Left)), "Ctrl+Alt+Gauche");
    EXPECT_EQ(frenchKeyText(QKeySequence(Qt::KeypadModifier | Qt::Key_Enter)),
              QString::fromUtf8("Pavé num. Entrée"));
    EXPECT_EQ(frenchKeyText(QKeySequence(Qt::Key_Escape)), QString::fromUtf8("Échap"));
    EXPECT_EQ(frenchKeyText(QKeySequence(Qt::Key_F12)), "F12");
    EXPECT_EQ(frenchKeyText(QKeySequence(Qt::Key_Space)), "Espace");
}
