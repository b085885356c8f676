#include "base/HelpPage.h"
#include "base/SystemError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace {
CHelpPage samplePage() {
    CHelpPage page;
    page.m_strProgram = "prog";
    page.m_strSummary = "fait quelque chose d'utile";
    page.m_usage = {"[OPTION]... FICHIER", "--help"};
    page.m_description = {QString("Un long paragraphe ").repeated(12).trimmed(), ".commence par un point"};
    page.m_sections = {{"Options",
                        {},
                        {{"-h, --help", "affiche l'aide"},
                         {"--une-option-au-nom-bien-trop-long VALEUR", "son texte va à la ligne suivante"},
                         {"--x", "premier paragraphe\n\nsecond paragraphe"}}}};
    CHelpPage command;
    command.m_strProgram = "prog sous-commande";
    command.m_strSummary = "une commande";
    command.m_usage = {"ARG"};
    page.m_commands = {command};
    return page;
}
} // namespace

TEST(HelpPage, TextFitsATerminalAndLinesUpTheEntries) {
    const QString strText = samplePage().toText();
    const QStringList lines = strText.split('\n');
    for (const QString& str : lines)
        EXPECT_LE(str.size(), 79) << str.toStdString();
    EXPECT_TRUE(strText.startsWith("Utilisation : prog [OPTION]... FICHIER\n         ou : prog --help\n"
                                   "prog : fait quelque chose d'utile.\n"));
    EXPECT_TRUE(lines.contains("  -h, --help            affiche l'aide"));
    // A long term gets its text on the next line, at the same column as the others.
    const qsizetype i = lines.indexOf("  --une-option-au-nom-bien-trop-long VALEUR");
    ASSERT_GE(i, 0);
    EXPECT_EQ(lines[i + 1], QString(24, ' ') + "son texte va à la ligne suivante");
    EXPECT_TRUE(strText.contains("  --x                   premier paragraphe\n" + QString(24, ' ') +
                                 "second paragraphe\n"));
    // The wrapped paragraph keeps every word.
    EXPECT_EQ(strText.count("paragraphe"), 12 + 2);
}

TEST(HelpPage, ManualPageEscapesWhatTroffWouldEat) {
    const QString strMan = QString::fromUtf8(samplePage().toMan("3.7.0", "2026-12-07"));
    EXPECT_TRUE(strMan.contains(".TH \"PROG\" 1 \"2026\\-12\\-07\" \"Tavorin 3.7.0\""));
    EXPECT_TRUE(strMan.contains(".SH NOM\nprog \\- fait quelque chose d\\(aqutile\n"));
    EXPECT_TRUE(strMan.contains(".B \"\\-h, \\-\\-help\"\naffiche l\\(aqaide\n"));
    // A line starting with a dot would be a request.
    EXPECT_TRUE(strMan.contains("\n\\&.commence par un point\n"));
    EXPECT_TRUE(strMan.contains("premier paragraphe\n.IP\nsecond paragraphe\n"));
    // The commands' pages follow, with their usage.
    EXPECT_TRUE(strMan.contains(".SS \"prog sous\\-commande\"\n.B prog sous\\-commande\nARG\n"));
    // Nothing unescaped: every minus sign is written \- .
    for (const QString& str : strMan.split('\n'))
        if (!str.startsWith(".\\\"")) {
            EXPECT_FALSE(QString(str).remove("\\-").contains('-')) << str.toStdString();
        }
}

TEST(SystemError, FileFailuresGiveTheirReasonInFrench) {
    QTemporaryDir dir;
    auto reason = [](const QString& strPath) {
        QSaveFile file(strPath);
        if (file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.commit()) return QString();
        return fileErrorReason(file);
    };
    EXPECT_EQ(reason(dir.filePath("absent/sortie.rtf")), "fichier ou dossier introuvable");
    EXPECT_EQ(reason(dir.path()), "c'est un dossier");
    QFile plain(dir.filePath("fichier"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(reason(dir.filePath("fichier/sortie.rtf")), "un élément du chemin n'est pas un dossier");
    EXPECT_EQ(reason(dir.filePath("sortie.rtf")), QString());

    QFile missing(dir.filePath("absent.vare"));
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_EQ(fileErrorReason(missing), "fichier ou dossier introuvable");
    EXPECT_EQ(systemErrorText(ENOSPC), "plus de place sur le disque");
    EXPECT_EQ(systemErrorText(EROFS), "système de fichiers en lecture seule");
    EXPECT_EQ(systemErrorText(12345), "erreur système 12345");
}
