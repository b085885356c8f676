// Backups as a user relies on them: each script's own, failures told, scripts without a file kept.
#include "TestApp.h"

#include "app/AutoSave.h"
#include "vare/DetWriter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const QString NEWER_QUESTION =
    QString::fromUtf8("Un fichier plus récent a été enregistré automatiquement lors "
                      "d'une précédente session.\nVoulez-vous l'ouvrir ?");

// A modified document gets one backup, written before this returns.
QString backUp(STestApp& t) {
    const QString str = t.doc().autoSave();
    t.doc().autoSaver().waitForAll();
    QCoreApplication::processEvents();
    return str;
}

void copyFolder(const QString& strFrom, const QString& strTo) {
    QDir().mkpath(strTo);
    for (const QString& str : QDir(strFrom).entryList(QDir::Files | QDir::Hidden))
        ASSERT_TRUE(QFile::copy(strFrom + "/" + str, strTo + "/" + str)) << qPrintable(str);
}
} // namespace

TEST(AutoSave, TwoScriptsOfOneNameKeepTheirOwnBackups) {
    STestApp t;
    ASSERT_TRUE(t.start());
    QDir().mkpath(t.path("a"));
    QDir().mkpath(t.path("b"));
    const QString strA = t.path("a/ep.vare"), strB = t.path("b/ep.vare");
    CVarE s;
    s.addLoop(CLoop(CTimeCode("00:00:10:00"), 1));
    ASSERT_TRUE(s.store(strA));
    ASSERT_TRUE(s.store(strB));
    EXPECT_NE(CAutoSave::backupFolder(t.app().autoSaveFolder(), strA),
              CAutoSave::backupFolder(t.app().autoSaveFolder(), strB));
    EXPECT_TRUE(
        QFileInfo(CAutoSave::backupFolder(t.app().autoSaveFolder(), strA)).fileName().startsWith("ep "));

    // B has five backups of its own.
    ASSERT_TRUE(t.doc().openDocumentFile(strB));
    for (int i = 0; i < 5; ++i) {
        t.doc().SetModifiedFlag(true);
        t.doc().autoSaver().save(t.doc().script(), t.app().bookmarks(), TC_INVALID,
                                 CAutoSave::backupFolder(t.app().autoSaveFolder(), strB), "ep.vare", false,
                                 QDateTime::currentDateTime().addSecs(-3600 + 60 * i));
        t.doc().autoSaver().waitForAll();
    }
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(t.doc().SaveModified());
    QTest::qWait(20);
    ASSERT_TRUE(s.store(strB)); // B saved since: its backups are older

    // A, changed and backed up: B's backups stay, five of them.
    ASSERT_TRUE(t.doc().openDocumentFile(strA));
    t.doc().script().addLoop(CLoop(CTimeCode("00:00:20:00"), 2));
    t.doc().SetModifiedFlag(true);
    const QString strBackup = backUp(t);
    ASSERT_TRUE(QFileInfo::exists(strBackup));
    EXPECT_EQ(CAutoSave::backups(CAutoSave::backupFolder(t.app().autoSaveFolder(), strB)).size(), 5);

    // Opening B asks nothing and reads B; opening A offers A's backup.
    t.prompts.m_messages.clear();
    ASSERT_TRUE(t.doc().openDocumentFile(strB));
    EXPECT_FALSE(t.prompts.told(NEWER_QUESTION));
    EXPECT_EQ(t.doc().script().getLoops().size(), 1u);
    t.prompts.m_answers = {QMessageBox::Yes};
    ASSERT_TRUE(t.doc().openDocumentFile(strA));
    EXPECT_TRUE(t.prompts.told(NEWER_QUESTION));
    EXPECT_EQ(t.doc().script().getLoops().size(), 2u);
}

TEST(AutoSave, AFailureIsToldOnceAndTriedAgain) {
    STestApp t;
    ASSERT_TRUE(t.start());
    const QString strPath = t.path("film.vare");
    CVarE s;
    ASSERT_TRUE(s.store(strPath));
    ASSERT_TRUE(t.doc().openDocumentFile(strPath));
    QStringList failures;
    int nRecovered = 0;
    QObject::connect(&t.doc(), &CVarEDoc::autoSaveFailed, [&](const QString& str) { failures << str; });
    QObject::connect(&t.doc(), &CVarEDoc::autoSaveRecovered, [&] { ++nRecovered; });

    // Where the backups go, a file: nothing can be written there.
    const QString strFolder = CAutoSave::backupFolder(t.app().autoSaveFolder(), strPath);
    {
        QFile obstacle(strFolder);
        ASSERT_TRUE(obstacle.open(QIODevice::WriteOnly));
    }
    t.doc().SetModifiedFlag(true);
    t.prompts.m_messages.clear();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(QFileInfo(backUp(t)).isFile());
    ASSERT_EQ(failures.size(), 3);
    EXPECT_TRUE(failures[0].startsWith(QString::fromUtf8("Échec de l'enregistrement automatique : ")))
        << qPrintable(failures[0]);
    ASSERT_EQ(t.prompts.m_messages.size(), 1u);
    EXPECT_EQ(t.prompts.m_messages[0].eIcon, IPrompts::ICON_ERROR);
    EXPECT_TRUE(t.prompts.m_messages[0].strText.contains(QString::fromUtf8("a échoué")));
    EXPECT_TRUE(t.doc().IsModified());

    // The disk is back: the next tick writes, the status clears; a later failure is told again.
    ASSERT_TRUE(QFile::remove(strFolder));
    EXPECT_TRUE(QFileInfo(backUp(t)).isFile());
    EXPECT_EQ(nRecovered, 1);
    ASSERT_TRUE(QDir(strFolder).removeRecursively());
    QFile(strFolder).open(QIODevice::WriteOnly);
    backUp(t);
    EXPECT_EQ(t.prompts.m_messages.size(), 2u);
}

TEST(AutoSave, ScriptsWithoutAFileAreBackedUpAndOfferedAtTheNextStart) {
    QTemporaryDir kept;
    {
        STestApp t;
        ASSERT_TRUE(t.start());
        // A new script, never saved, is backed up under its title.
        t.doc().script().addLoop(CLoop(CTimeCode("00:00:10:00"), 1));
        t.doc().SetModifiedFlag(true);
        const QString strNew = backUp(t);
        ASSERT_TRUE(QFileInfo(strNew).isFile()) << qPrintable(strNew);
        EXPECT_TRUE(QFileInfo(strNew).fileName().startsWith(QStringLiteral("Sans titre ")));

        // So is an imported detection, whose path the import clears.
        SDetFile det;
        det.lines.push_back({0, QStringLiteral("Bonjour"), 0, -1, {}});
        det.signs = {{3, 100, -1, 0}, {4, 150, -1, 0}};
        const QString strDet = t.path("vieux.det");
        QFile f(strDet);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(det.build());
        f.close();
        // The new script is given up for the import.
        ASSERT_TRUE(t.doc().openDocumentFile(strDet));
        EXPECT_TRUE(t.doc().GetPathName().isEmpty());
        const QString strImported = backUp(t);
        ASSERT_TRUE(QFileInfo(strImported).isFile());
        // Given up, the new script's backups are not offered any more; the import's are.
        const auto found = CAutoSave::untitledBackups(t.app().autoSaveFolder());
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].strTitle, QStringLiteral("vieux"));
        EXPECT_EQ(found[0].strBackup, strImported);
        // The program dies here: its auto-save folder is what the next start finds.
        copyFolder(found[0].strFolder, kept.filePath("vieux"));
    }
    STestApp next;
    const QString strAutoSave = next.documentsFolder() + "/Tavorin/Autosave";
    copyFolder(kept.filePath("vieux"), strAutoSave + "/vieux 0123456789");
    next.prompts.m_answers = {QMessageBox::Yes};
    ASSERT_TRUE(next.start());
    ASSERT_FALSE(next.prompts.m_messages.empty());
    EXPECT_TRUE(next.prompts.m_messages[0].strText.contains(QString::fromUtf8("« vieux »")))
        << qPrintable(next.prompts.m_messages[0].strText);
    EXPECT_EQ(next.doc().GetTitle(), QStringLiteral("vieux"));
    EXPECT_TRUE(next.doc().GetPathName().isEmpty());
    EXPECT_TRUE(next.doc().IsModified());
    ASSERT_EQ(next.doc().script().getLineCount(), 1);
    EXPECT_EQ(next.doc().script().getLines().begin()->getText(), QStringLiteral("Bonjour"));

    // Saved under a name, it is no longer offered.
    ASSERT_TRUE(next.doc().DoSave(next.path("vieux.vare")));
    EXPECT_TRUE(CAutoSave::untitledBackups(next.app().autoSaveFolder()).empty());
}
