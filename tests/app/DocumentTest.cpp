#include "TestApp.h"

#include "app/AutoSave.h"
#include "app/Commands.h"
#include "base/FileArgument.h"
#include "base/FileSaver.h"
#include "vare/DetWriter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QUrl>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A script with something in it: one role and two loops.
void fill(CVarE& s, int nLoops = 2) {
    s.set(CVarE::H_TITLE, QStringLiteral("Le Phare"));
    s.addRole(CRole(QStringLiteral("Maëlle")));
    for (int i = 0; i < nLoops; ++i)
        s.addLoop(CLoop(CTimeCode::fromFrames(250 * (i + 1)), i + 1));
}

void setTime(const QString& strPath, const QDateTime& when) {
    QFile f(strPath);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
}

QString backupName(const QString& strBase, int nMinute) {
    return QStringLiteral("%1 2026-01-01 10h%2.vare.bak").arg(strBase).arg(nMinute, 2, 10, QLatin1Char('0'));
}
} // namespace

TEST(Document, NewSaveOpenAndCopyRoundTrip) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarEDoc& doc = t.doc();
    EXPECT_EQ(doc.GetTitle(), QStringLiteral("Sans titre"));
    EXPECT_FALSE(doc.IsModified());

    fill(doc.script());
    doc.SetModifiedFlag(true);
    // "Enregistrer" on an untitled document asks for a name.
    const QString strPath = t.path("film.vare");
    t.prompts.m_files = {strPath};
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_SAVE));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), strPath);
    EXPECT_EQ(doc.GetTitle(), QStringLiteral("film.vare"));
    EXPECT_EQ(t.app().mainFrame().windowTitle(), QStringLiteral("film.vare - Tavorin"));
    EXPECT_EQ(t.app().recentFiles().files().value(0), strPath);
    EXPECT_EQ(t.app().settings().get(Settings::VarEPath), t.dir.path());

    // A copy leaves the document's name and flag alone and is proposed with "Copie de ".
    doc.SetModifiedFlag(true);
    const QString strCopy = t.path("copy.vare");
    t.prompts.m_files = {strCopy};
    ASSERT_TRUE(doc.OnFileSaveCopy());
    EXPECT_TRUE(t.prompts.m_strProposedFile.endsWith(QStringLiteral("Copie de film.vare")));
    EXPECT_EQ(doc.GetPathName(), strPath);
    EXPECT_TRUE(doc.IsModified());

    // "Nouveau" on a modified document asks first; Cancel keeps everything.
    t.prompts.m_answers = {QMessageBox::Cancel};
    EXPECT_FALSE(doc.newDocument());
    EXPECT_EQ(doc.script().getLoops().size(), 2u);
    t.prompts.m_answers = {QMessageBox::No};
    EXPECT_TRUE(doc.newDocument());
    EXPECT_EQ(doc.script().getLoops().size(), 0u);
    EXPECT_TRUE(doc.GetPathName().isEmpty());

    // The copy reads back as what was saved.
    ASSERT_TRUE(doc.openDocumentFile(strCopy));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.script().getLoops().size(), 2u);
    EXPECT_EQ(doc.script().getRoles().size(), 1u);
    EXPECT_EQ(doc.script().get(CVarE::H_TITLE), QStringLiteral("Le Phare"));
}

TEST(Document, UpdateHintsReachTheViews) {
    STestApp t;
    ASSERT_TRUE(t.start());
    std::vector<int> hints;
    QObject::connect(&t.doc(), &CVarEDoc::updated, [&](int nHint, const void*) { hints.push_back(nHint); });
    CVarE s;
    fill(s);
    ASSERT_TRUE(s.store(t.path("a.vare")));
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("a.vare")));
    // One rebuild, once the script is whole.
    EXPECT_EQ(hints, (std::vector<int>{NEW_DOC}));
}

TEST(Document, AFailedOpenKeepsTheOpenScriptAndSaysWhy) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarEDoc& doc = t.doc();
    fill(doc.script());
    ASSERT_TRUE(doc.DoSave(t.path("good.vare")));

    // Cut short; random bytes; a name in capitals; a file that is not there; a legacy file of nonsense.
    auto write = [&](const char* pszName, const QByteArray& bytes) {
        QFile f(t.path(pszName));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("broken.vare", "<vare><header>");
    write("noise.vare", QByteArray("\x89\x01\xfe\x00garbage\xff", 13).repeated(40));
    write("noise.det", QByteArray("\x02\x00\x00\x00\xff\xff\xff\x7f", 8).repeated(30));
    QFile::copy(t.path("good.vare"), t.path("FILM.VARE"));
    const std::pair<QString, const char*> cases[] = {
        {t.path("broken.vare"), "ce n'est pas un script VarE valide"},
        {t.path("noise.vare"), "ce n'est pas un script VarE valide"},
        {t.path("noise.det"), "ce n'est pas un script de détection (.det) valide"},
        {t.path("FILM.VARE"), "l'extension du fichier n'est ni .vare ni .det"},
        {t.path("missing.vare"), "le fichier est introuvable"}};
    ASSERT_TRUE(doc.openDocumentFile(t.path("good.vare")));
    doc.script().addLoop(CLoop(CTimeCode::fromFrames(2000), 3)); // unsaved work
    doc.SetModifiedFlag(true);
    std::vector<int> hints;
    QObject::connect(&doc, &CVarEDoc::updated, [&](int nHint, const void*) { hints.push_back(nHint); });
    for (const auto& [strPath, pszWhy] : cases) {
        t.prompts.m_messages.clear();
        EXPECT_FALSE(doc.openDocumentFile(strPath)) << qPrintable(strPath);
        EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Impossible d'ouvrir le fichier %1 : %2.")
                                       .arg(strPath, QString::fromUtf8(pszWhy))))
            << qPrintable(strPath);
        // The open script is still there, with its name and its unsaved change.
        EXPECT_EQ(doc.script().getLoops().size(), 3u);
        EXPECT_EQ(doc.script().getRoles().size(), 1u);
        EXPECT_EQ(doc.GetPathName(), t.path("good.vare"));
        EXPECT_TRUE(doc.IsModified());
    }
    EXPECT_TRUE(hints.empty());
    // The good file was never touched.
    CVarE check;
    EXPECT_TRUE(check.load(t.path("good.vare")));
    EXPECT_EQ(check.getLoops().size(), 2u);
}

TEST(Document, ALegacyDetectionOpensUntitled) {
    STestApp t;
    ASSERT_TRUE(t.start());
    SDetFile det;
    det.strTitle = QStringLiteral("Vieux film");
    SDetRole role;
    role.strName = QStringLiteral("Yann");
    det.roles.push_back(role);
    QFile f(t.path("old.det"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(det.build());
    f.close();

    CVarEDoc& doc = t.doc();
    ASSERT_TRUE(doc.openDocumentFile(t.path("old.det")));
    EXPECT_TRUE(doc.GetPathName().isEmpty());
    EXPECT_EQ(doc.GetTitle(), QStringLiteral("old"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.script().getRoles().size(), 1u);

    // Saving asks for a VarE name, proposed from the title.
    t.prompts.m_files = {t.path("old.vare")};
    EXPECT_TRUE(doc.DoFileSave());
    EXPECT_TRUE(t.prompts.m_strProposedFile.endsWith(QStringLiteral("old.vare")));
    EXPECT_EQ(doc.GetPathName(), t.path("old.vare"));
    EXPECT_TRUE(QFileInfo::exists(t.path("old.det")));
}

TEST(Document, LoopsNumberedFromZeroAreNumberedFromOne) {
    STestApp t;
    ASSERT_TRUE(t.start());
    QFile f(t.path("zero.vare"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<vare><roles/><body><loop timecode=\"00:00:01:00\" number=\"0\"/>"
            "<loop timecode=\"00:00:02:00\" number=\"1\"/><loop timecode=\"00:00:03:00\" "
            "number=\"2\"/></body></vare>");
    f.close();
    CVarEDoc& doc = t.doc();
    ASSERT_TRUE(doc.openDocumentFile(t.path("zero.vare")));
    std::vector<int> numbers;
    for (const CLoop& l : doc.script().getLoops())
        numbers.push_back(l.getNumber());
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(doc.IsModified());

    // Loops numbered from 1 stay as they are, and the document is not modified.
    ASSERT_TRUE(doc.script().store(t.path("one.vare")));
    ASSERT_TRUE(doc.openDocumentFile(t.path("one.vare")));
    EXPECT_FALSE(doc.IsModified());
}

TEST(Document, ChangingTheTimestamp) {
    STestApp t;
    ASSERT_TRUE(t.start());
    // A picture without timecode in a script without timestamp: the timestamp is asked for; the
    // minimum itself is refused.
    t.prompts.m_timeCodes = {TC_ZERO, CTimeCode("09:59:00:00")};
    ASSERT_TRUE(t.app().media().openVideoFile(testMedia("plain.mov")));
    EXPECT_TRUE(
        t.prompts.told(QStringLiteral("La valeur de timecode est trop faible (minimum 00:00:00:00).")));
    EXPECT_EQ(t.doc().script().getTimeStamp(), CTimeCode("09:59:00:00"));
    EXPECT_EQ(t.app().player().getTimeStamp(), CTimeCode("09:59:00:00"));
    EXPECT_TRUE(t.doc().IsModified());
    EXPECT_EQ(t.doc().script().get(CVarE::H_VIDEO_FILE), testMedia("plain.mov"));

    // Later, at 2 s into the picture: the minimum is that offset; cancelling changes nothing.
    t.app().transport().gotoTime(CTimeCode("09:59:02:00"));
    t.prompts.m_messages.clear();
    t.prompts.m_timeCodes = {CTimeCode("00:00:02:00"), CTimeCode("01:00:02:00")};
    t.app().media().OnEditTimestamp();
    EXPECT_TRUE(
        t.prompts.told(QStringLiteral("La valeur de timecode est trop faible (minimum 00:00:02:00).")));
    EXPECT_EQ(t.doc().script().getTimeStamp(), CTimeCode("01:00:00:00"));
    t.app().media().OnEditTimestamp();
    EXPECT_EQ(t.doc().script().getTimeStamp(), CTimeCode("01:00:00:00"));
}

TEST(Document, ReadOnlyFiles) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s);
    const QString strPath = t.path("ro.vare");
    ASSERT_TRUE(s.store(strPath));
    QFile::setPermissions(strPath, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    if (QFileInfo(strPath).isWritable()) GTEST_SKIP() << "running with rights that ignore permissions";

    // Cancel: nothing opened.
    EXPECT_FALSE(t.doc().openDocumentFile(strPath));
    EXPECT_TRUE(t.prompts.told(
        QString::fromUtf8("Le fichier est protégé en écriture. Voulez-vous tout de même l'ouvrir ?")));
    EXPECT_TRUE(t.doc().GetPathName().isEmpty());
    // OK: opened, but it cannot be saved over.
    t.prompts.m_answers = {QMessageBox::Ok};
    ASSERT_TRUE(t.doc().openDocumentFile(strPath));
    EXPECT_FALSE(t.doc().OnSaveDocument(strPath));
    EXPECT_TRUE(t.prompts.told(
        QString::fromUtf8("Le fichier est en lecture seule. Il ne peut pas être sauvegardé.")));
}

// In a studio's shared folder the script stays its author's after someone else saves it, and a
// script with a second name (a hard link) is saved under both.
TEST(Document, SavingKeepsOwnerModeAndLinks) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s);
    const QString strPath = t.path("partage.vare"), strLink = t.path("lien.vare");
    ASSERT_TRUE(s.store(strPath));
    const QByteArray native = QFile::encodeName(strPath);
    ASSERT_EQ(::chmod(native.constData(), 0660), 0);
    const bool bGaveAway = ::chown(native.constData(), 4321, 4321) == 0;
    ASSERT_EQ(::link(native.constData(), QFile::encodeName(strLink).constData()), 0);
    QFile old(strPath);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray oldText = old.readAll();

    ASSERT_TRUE(t.doc().openDocumentFile(strPath));
    t.doc().script().set(CVarE::H_TITLE, QStringLiteral("Le Phare, fin"));
    t.doc().SetModifiedFlag(true);
    ASSERT_TRUE(t.doc().DoFileSave());
    EXPECT_FALSE(t.doc().IsModified());

    CVarE viaLink;
    ASSERT_TRUE(viaLink.load(strLink));
    EXPECT_EQ(viaLink.get(CVarE::H_TITLE), QStringLiteral("Le Phare, fin"));
    struct stat st {};
    ASSERT_EQ(::stat(native.constData(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    // The old text waits beside the backups.
    QFile copy(CFileSaver::copyPathFor(strPath));
    EXPECT_TRUE(copy.fileName().startsWith(t.app().autoSaveFolder() + QStringLiteral("/Copies/")));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), oldText);
    if (!bGaveAway) GTEST_SKIP() << "only root can give a file to another user: owner not checked";
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);

    // Without the second name the file is replaced whole, and still stays its owner's.
    ASSERT_TRUE(QFile::remove(strLink));
    t.doc().SetModifiedFlag(true);
    ASSERT_TRUE(t.doc().DoFileSave());
    ASSERT_EQ(::stat(native.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
}

// A script whose name is not UTF-8, given on the command line: it opens under its own name (its
// undecodable byte shown replaced) and is saved into the same file.
TEST(Document, AScriptWhoseNameIsNotUtf8OpensAndSaves) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s);
    const QString strPlain = t.path("plain.vare");
    ASSERT_TRUE(s.store(strPlain));
    const QByteArray raw = QFile::encodeName(t.path("caf")) + "\xe9.vare";
    ASSERT_EQ(::rename(QFile::encodeName(strPlain).constData(), raw.constData()), 0);

    const QString strArg = fileArgument(raw.constData());
    ASSERT_TRUE(t.doc().openDocumentFile(strArg));
    EXPECT_EQ(t.doc().GetTitle(), QStringLiteral("caf\uFFFD.vare"));
    EXPECT_EQ(t.doc().script().getLoops().size(), 2u);
    t.doc().script().set(CVarE::H_TITLE, QStringLiteral("Le Phare, fin"));
    t.doc().SetModifiedFlag(true);
    ASSERT_TRUE(t.doc().DoFileSave());
    CVarE back;
    ASSERT_TRUE(back.load(QStringLiteral("/proc/self/fd/%1").arg(::open(raw.constData(), O_RDONLY))));
    EXPECT_EQ(back.get(CVarE::H_TITLE), QStringLiteral("Le Phare, fin"));
    ::unlink(raw.constData());
}

// The same names dropped on the window (the URL carries their bytes percent-encoded), and backed up:
// two names that differ only in their undecodable byte keep their backups apart, under their own names.
TEST(Document, ScriptsWhoseNamesAreNotUtf8OpenByDropAndKeepTheirBackupsApart) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE a, b, plain;
    fill(a, 3);
    fill(b, 5);
    fill(plain, 2);
    const QByteArray rawA = QFile::encodeName(t.path("caf")) + "\xe9.vare";
    const QByteArray rawB = QFile::encodeName(t.path("caf")) + "\xe8.vare";
    ASSERT_TRUE(a.store(t.path("a.vare")));
    ASSERT_EQ(::rename(QFile::encodeName(t.path("a.vare")).constData(), rawA.constData()), 0);
    ASSERT_TRUE(b.store(t.path("b.vare")));
    ASSERT_EQ(::rename(QFile::encodeName(t.path("b.vare")).constData(), rawB.constData()), 0);

    auto urlOf = [](const QByteArray& raw) {
        return QUrl(QStringLiteral("file://") + QString::fromLatin1(raw.toPercentEncoding("/")));
    };
    ASSERT_TRUE(t.app().mainFrame().openDroppedFiles({urlOf(rawA)}));
    EXPECT_EQ(t.doc().GetTitle(), QStringLiteral("caf\uFFFD.vare"));
    EXPECT_EQ(t.doc().script().getLoops().size(), 3u);
    const QString strFolderA = CAutoSave::backupFolder(t.app().autoSaveFolder(), t.doc().GetPathName());
    ASSERT_TRUE(t.app().mainFrame().openDroppedFiles({urlOf(rawB)}));
    EXPECT_EQ(t.doc().script().getLoops().size(), 5u);
    const QString strFolderB = CAutoSave::backupFolder(t.app().autoSaveFolder(), t.doc().GetPathName());
    EXPECT_NE(strFolderA, strFolderB);
    EXPECT_TRUE(QFileInfo(strFolderA).fileName().startsWith(QStringLiteral("caf\uFFFD ")));
    // The same file named again (another descriptor) finds the same folder.
    EXPECT_EQ(CAutoSave::backupFolder(t.app().autoSaveFolder(), fileArgument(rawA.constData())), strFolderA);

    // A plain name dropped still opens as itself.
    ASSERT_TRUE(plain.store(t.path("plain.vare")));
    ASSERT_TRUE(t.app().mainFrame().openDroppedFiles({QUrl::fromLocalFile(t.path("plain.vare"))}));
    EXPECT_EQ(t.doc().GetPathName(), t.path("plain.vare"));
    ::unlink(rawA.constData());
    ::unlink(rawB.constData());
}

TEST(Document, AFailedSaveIsReportedAndKeepsTheFlag) {
    STestApp t;
    ASSERT_TRUE(t.start());
    fill(t.doc().script());
    t.doc().SetModifiedFlag(true);
    const QString strPath = t.path("no/such/folder/film.vare");
    EXPECT_FALSE(t.doc().DoSave(strPath));
    EXPECT_TRUE(t.prompts.told(QStringLiteral("Impossible d'enregistrer le fichier %1 : fichier ou dossier "
                                              "introuvable")
                                   .arg(strPath)));
    EXPECT_TRUE(t.doc().IsModified());
    EXPECT_TRUE(t.doc().GetPathName().isEmpty());
}

TEST(AutoSave, KeepsFiveBackups) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarEDoc& doc = t.doc();
    fill(doc.script());

    // Never saved: backed up all the same, under its title.
    doc.SetModifiedFlag(true);
    EXPECT_TRUE(QFileInfo(doc.autoSave()).fileName().startsWith(QStringLiteral("Sans titre ")));
    doc.autoSaver().waitForAll();

    ASSERT_TRUE(doc.DoSave(t.path("film.vare")));
    // Saved and unmodified: nothing either.
    EXPECT_TRUE(doc.autoSave().isEmpty());

    const QString strFolder = CAutoSave::backupFolder(t.app().autoSaveFolder(), t.path("film.vare"));
    QDir().mkpath(strFolder);
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    auto makeBackups = [&](int n) {
        for (const QString& str : QDir(strFolder).entryList(QDir::Files))
            QFile::remove(strFolder + "/" + str);
        for (int i = 0; i < n; ++i) {
            const QString str = strFolder + "/" + backupName("film", i);
            QFile f(str);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.close();
            setTime(str, base.addSecs(60 * i));
        }
    };

    doc.SetModifiedFlag(true);
    makeBackups(4);
    QString strWritten = doc.autoSave();
    doc.autoSaver().waitForAll();
    EXPECT_EQ(QDir(strFolder).entryList({"*.bak"}, QDir::Files).size(), 5);
    ASSERT_TRUE(QFileInfo::exists(strWritten));
    EXPECT_TRUE(QFileInfo(strWritten).fileName().startsWith(QStringLiteral("film ")));
    EXPECT_TRUE(strWritten.endsWith(QStringLiteral(".vare.bak")));
    // The backup is a whole script; the document keeps its flag and name.
    CVarE back;
    EXPECT_TRUE(back.load(strWritten));
    EXPECT_EQ(back.getLoops().size(), 2u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), t.path("film.vare"));

    makeBackups(7);
    strWritten = doc.autoSave();
    doc.autoSaver().waitForAll();
    const QStringList left = QDir(strFolder).entryList({"*.bak"}, QDir::Files, QDir::Name);
    EXPECT_EQ(left.size(), 5);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(left.contains(backupName("film", i))) << i;
    for (int i = 3; i < 7; ++i)
        EXPECT_TRUE(left.contains(backupName("film", i))) << i;
}

TEST(AutoSave, ANewerBackupIsOffered) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s, 1);
    const QString strPath = t.path("film.vare");
    ASSERT_TRUE(s.store(strPath));
    setTime(strPath, QDateTime::currentDateTime().addSecs(-3600));

    // The backup holds more work than the file.
    CVarE later;
    fill(later, 3);
    const QString strFolder = CAutoSave::backupFolder(t.app().autoSaveFolder(), strPath);
    QDir().mkpath(strFolder);
    ASSERT_TRUE(later.store(strFolder + "/" + backupName("film", 5)));

    const QString strQuestion =
        QString::fromUtf8("Un fichier plus récent a été enregistré automatiquement lors d'une "
                          "précédente session.\nVoulez-vous l'ouvrir ?");
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(t.doc().openDocumentFile(strPath));
    EXPECT_TRUE(t.prompts.told(strQuestion));
    EXPECT_EQ(t.doc().script().getLoops().size(), 1u);
    EXPECT_FALSE(t.doc().IsModified());

    t.prompts.m_answers = {QMessageBox::Yes};
    ASSERT_TRUE(t.doc().openDocumentFile(strPath));
    EXPECT_EQ(t.doc().script().getLoops().size(), 3u);
    EXPECT_EQ(t.doc().GetPathName(), strPath);
    EXPECT_TRUE(t.doc().IsModified());

    // Once the file is newer than every backup, nothing is asked.
    t.prompts.m_messages.clear();
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(t.doc().DoFileSave());
    setTime(strFolder + "/" + backupName("film", 5), QDateTime::currentDateTime().addSecs(-7200));
    ASSERT_TRUE(t.doc().openDocumentFile(strPath));
    EXPECT_FALSE(t.prompts.told(strQuestion));
}

TEST(AutoSave, OpeningABackupByHand) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s, 2);
    const QString strFolder = CAutoSave::backupFolder(t.app().autoSaveFolder(), t.path("film.vare"));
    QDir().mkpath(strFolder);
    const QString strBackup = strFolder + "/" + backupName("film", 7);
    ASSERT_TRUE(s.store(strBackup));

    const QString strTarget = t.path("restored.vare");
    t.prompts.m_files = {strBackup, strTarget};
    t.doc().OnFileOpenBackup();
    // The save dialog proposed the script's own name in the data folder.
    EXPECT_EQ(t.prompts.m_strProposedFile, t.app().dataFolder() + "/film.vare");
    EXPECT_EQ(t.doc().GetPathName(), strTarget);
    EXPECT_EQ(t.doc().script().getLoops().size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(strBackup));
}

TEST(Document, FilesDroppedOnTheWindowAndQuittingAskAboutChanges) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s, 3);
    const QString strPath = t.path("dropped.vare");
    ASSERT_TRUE(s.store(strPath));

    t.doc().script().addLoop(CLoop(CTimeCode("00:01:00:00"), 1));
    t.doc().SetModifiedFlag(true);
    auto drop = [&] { t.app().mainFrame().openDroppedFiles({QUrl::fromLocalFile(strPath)}); };
    // Cancel at the question: the work stays.
    t.prompts.m_answers = {QMessageBox::Cancel};
    drop();
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Enregistrer les modifications apportées à Sans titre ?")));
    EXPECT_EQ(t.doc().script().getLoops().size(), 1u);
    t.prompts.m_answers = {QMessageBox::No};
    drop();
    EXPECT_EQ(t.doc().GetPathName(), strPath);
    EXPECT_EQ(t.doc().script().getLoops().size(), 3u);

    // Quitting a modified document: Cancel keeps the window, Yes saves then closes.
    t.doc().script().addLoop(CLoop(CTimeCode("00:02:00:00"), 4));
    t.doc().SetModifiedFlag(true);
    t.prompts.m_answers = {QMessageBox::Cancel};
    EXPECT_FALSE(t.app().mainFrame().close());
    t.prompts.m_answers = {QMessageBox::Yes};
    EXPECT_TRUE(t.app().mainFrame().close());
    EXPECT_FALSE(t.doc().IsModified());
    CVarE saved;
    ASSERT_TRUE(saved.load(strPath));
    EXPECT_EQ(saved.getLoops().size(), 4u);
}

TEST(Document, APictureBesideTheScriptIsOpenedWithIt) {
    STestApp t;
    ASSERT_TRUE(t.start());
    ASSERT_TRUE(QFile::copy(testMedia("frames.mov"), t.path("frames.mov")));
    CVarE s;
    fill(s);
    s.setVideoFile(QStringLiteral("frames.mov")); // relative to the script
    s.setTimeStamp(CTimeCode("10:00:00:00"));
    s.setLastPosition(CTimeCode("10:00:07:05"));
    ASSERT_TRUE(s.store(t.path("film.vare")));

    ASSERT_TRUE(t.doc().openDocumentFile(t.path("film.vare")));
    EXPECT_TRUE(t.app().player().hasMovie());
    EXPECT_EQ(t.app().sync().getMaster(), int(CSyncManager::MASTER_PLAYER));
    EXPECT_EQ(t.app().transport().getTimeCode(), CTimeCode("10:00:07:05"));
    EXPECT_TRUE(t.app().media().stillImage().isEmpty());
    EXPECT_FALSE(t.doc().IsModified());
    EXPECT_TRUE(t.prompts.m_messages.empty());

    // Saving keeps the position and the relative picture path.
    t.app().transport().gotoTime(CTimeCode("10:00:09:00"));
    ASSERT_TRUE(t.doc().DoFileSave());
    CVarE back;
    ASSERT_TRUE(back.load(t.path("film.vare")));
    EXPECT_EQ(back.getLastPosition(), CTimeCode("10:00:09:00"));
    EXPECT_EQ(back.get(CVarE::H_VIDEO_FILE), QStringLiteral("frames.mov"));

    // "Nouveau" closes the picture and runs on the internal clock at 00:00:00:00.
    t.doc().newDocument();
    EXPECT_FALSE(t.app().player().hasMovie());
    EXPECT_EQ(t.app().sync().getMaster(), int(CSyncManager::MASTER_INTERNAL));
    EXPECT_EQ(t.app().transport().getTimeCode(), TC_ZERO);
}

TEST(Document, MediaPathsRelativeToTheScriptFollowItWhenSavedElsewhere) {
    STestApp t;
    ASSERT_TRUE(t.start());
    QDir().mkpath(t.path("projet/images"));
    QDir().mkpath(t.path("ailleurs"));
    ASSERT_TRUE(QFile::copy(testMedia("frames.mov"), t.path("projet/images/frames.mov")));
    CVarE s;
    fill(s);
    s.setVideoFile(QStringLiteral("images/frames.mov"));
    s.setTimeStamp(CTimeCode("10:00:00:00"));
    ASSERT_TRUE(s.store(t.path("projet/film.vare")));
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("projet/film.vare")));
    ASSERT_TRUE(t.app().player().hasMovie());
    auto storedVideo = [](const QString& strPath) {
        CVarE check;
        EXPECT_TRUE(check.load(strPath));
        return check.get(CVarE::H_VIDEO_FILE);
    };

    // Beside the script's folder: relative still, as seen from the new file.
    t.prompts.m_files = {t.path("projet/copie.vare")};
    ASSERT_TRUE(t.doc().OnFileSaveAs());
    EXPECT_EQ(storedVideo(t.path("projet/copie.vare")), QStringLiteral("images/frames.mov"));
    // A copy elsewhere names the picture by its full path; the document keeps its own.
    t.prompts.m_files = {t.path("ailleurs/copie.vare")};
    ASSERT_TRUE(t.doc().OnFileSaveCopy());
    EXPECT_EQ(storedVideo(t.path("ailleurs/copie.vare")), t.path("projet/images/frames.mov"));
    EXPECT_EQ(t.doc().script().get(CVarE::H_VIDEO_FILE), QStringLiteral("images/frames.mov"));
    // A script saved in a folder above the picture names it relative to that folder; the moved project
    // still finds its picture.
    t.prompts.m_files = {t.path("film.vare")};
    ASSERT_TRUE(t.doc().OnFileSaveAs());
    EXPECT_EQ(storedVideo(t.path("film.vare")), QStringLiteral("projet/images/frames.mov"));
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("film.vare")));
    EXPECT_TRUE(t.app().player().hasMovie());
}

TEST(Document, MarkingOrRemovingAPositionIsAChangeToSave) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s);
    ASSERT_TRUE(s.store(t.path("film.vare")));
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("film.vare")));
    EXPECT_FALSE(t.doc().IsModified());
    t.app().transport().gotoTime(CTimeCode("00:00:04:00"));
    t.prompts.m_labels = {QStringLiteral("Tempête")};
    ASSERT_TRUE(t.app().commands().trigger(Cmd::POSITION_MARK));
    EXPECT_TRUE(t.doc().IsModified());
    ASSERT_TRUE(t.doc().DoFileSave());
    t.prompts.m_deleteBookmarks = [](CBookmarkList& b) { b.remove(b.items().begin()->second.nCommand); };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::POSITION_DELETE));
    EXPECT_TRUE(t.doc().IsModified());
    // Opening a script fills the list without counting as a change.
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("film.vare")));
    EXPECT_FALSE(t.doc().IsModified());
}

TEST(Document, AScriptWithoutItsPictureRunsOnTheWholeDay) {
    STestApp t;
    ASSERT_TRUE(t.start());
    CVarE s;
    fill(s);
    CLine line;
    line.insertSign(CTimeCode("10:00:04:00"), CLipSync::IN_OPEN, true);
    line.insertText(QStringLiteral("Allô ?"), 1);
    line.insertSign(CTimeCode("10:00:06:00"), CLipSync::OUT_OPEN, true);
    ASSERT_TRUE(s.addLine(line).second);
    s.setVideoFile(t.path("absent.mov"));
    ASSERT_TRUE(s.store(t.path("film.vare")));

    // "Non" to looking for the picture: the clock alone, at the first phrase.
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("film.vare")));
    CTransport& tr = t.app().transport();
    EXPECT_EQ(t.app().sync().getMaster(), int(CSyncManager::MASTER_INTERNAL));
    EXPECT_EQ(tr.getTimeCode(), CTimeCode("10:00:04:00"));
    // Go to works anywhere in the day, and play counts from there.
    tr.gotoTime(CTimeCode("10:00:05:00"));
    EXPECT_EQ(tr.getTimeCode(), CTimeCode("10:00:05:00"));
    tr.OnControlPlay();
    for (int i = 0; i < 75; ++i) // one second of clock steps at 75 a second
        t.app().sync().compute();
    tr.OnControlStop();
    EXPECT_EQ(tr.getTimeCode(), CTimeCode("10:00:06:00"));

    // A last position saved with the script wins over the first phrase.
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(t.doc().DoFileSave());
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(t.doc().openDocumentFile(t.path("film.vare")));
    EXPECT_EQ(tr.getTimeCode(), CTimeCode("10:00:06:00"));
}
