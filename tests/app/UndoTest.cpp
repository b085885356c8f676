#include "TestApp.h"

#include "app/AutoSave.h"
#include "app/Commands.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
QByteArray bytesOf(const CVarE& script, const QString& strPath) {
    EXPECT_TRUE(script.store(strPath));
    QFile f(strPath);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

CLine phrase(int nFrame, int nTrack, const QString& strText) {
    CLine line;
    line.setTrack(nTrack);
    line.insertSign(CTimeCode::fromFrames(nFrame), CLipSync::IN_OPEN, true);
    line.insertText(strText, 1);
    line.insertSign(CTimeCode::fromFrames(nFrame + 50), CLipSync::OUT_OPEN, true);
    return line;
}

struct SUndo : ::testing::Test {
    STestApp t;
    void SetUp() override {
        ASSERT_TRUE(t.start());
        CVarE s;
        s.set(CVarE::H_TITLE, QStringLiteral("Le Phare"));
        s.addRole(CRole(QStringLiteral("Yann")));
        ASSERT_TRUE(s.store(t.path("film.vare")));
        ASSERT_TRUE(doc().openDocumentFile(t.path("film.vare")));
    }
    CVarEDoc& doc() { return t.doc(); }
    CCommandTable& commands() { return t.app().commands(); }
    QString caption(int nId) {
        commands().refresh();
        return commands().action(nId)->text();
    }
};
} // namespace

TEST_F(SUndo, RoleChangesGoBackAndForthAndTheModifiedFlagFollows) {
    const QByteArray before = bytesOf(doc().script(), t.path("before.vare"));
    EXPECT_FALSE(commands().trigger(Cmd::EDIT_UNDO)); // nothing to undo after opening
    EXPECT_EQ(caption(Cmd::EDIT_UNDO), QStringLiteral("&Annuler\tCtrl+Z"));

    CRole margaux(QStringLiteral("Margaux"));
    margaux.setColor(0xC80815);
    const CRole* pMargaux = doc().addRole(margaux);
    ASSERT_NE(pMargaux, nullptr);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(caption(Cmd::EDIT_UNDO), QString::fromUtf8("&Annuler Nouveau rôle\tCtrl+Z"));
    // A phrase of hers, then her name changes: the phrase follows.
    {
        CScriptChange change(doc(), QStringLiteral("Phrase"));
        CLine line = phrase(250, 0, QStringLiteral("Allô ?"));
        line.setRole(pMargaux);
        ASSERT_TRUE(doc().script().addLine(line).second);
    }
    CRole renamed = *pMargaux;
    renamed.setName(QStringLiteral("Maëlle"));
    renamed.setDescription(QStringLiteral("la gardienne"));
    const CRole* pMaelle = doc().changeRole(pMargaux, renamed);
    ASSERT_NE(pMaelle, nullptr);
    EXPECT_EQ(doc().script().getLines().begin()->getRolePtr(), pMaelle);
    const QByteArray after = bytesOf(doc().script(), t.path("after.vare"));

    // Deleting the role is refused while a phrase has it? No: the dialog refuses; the document obeys.
    ASSERT_TRUE(doc().deleteRole(pMaelle));
    EXPECT_FALSE(doc().script().getLines().begin()->hasRole());

    // Undo all four steps: the file's bytes again, and the document unmodified.
    ASSERT_TRUE(commands().trigger(Cmd::EDIT_UNDO));
    EXPECT_EQ(doc().script().getLines().begin()->getRole().getName(), QString::fromUtf8("Maëlle"));
    EXPECT_EQ(bytesOf(doc().script(), t.path("x.vare")), after);
    ASSERT_TRUE(commands().trigger(Cmd::EDIT_UNDO));
    ASSERT_TRUE(commands().trigger(Cmd::EDIT_UNDO));
    ASSERT_TRUE(commands().trigger(Cmd::EDIT_UNDO));
    EXPECT_FALSE(commands().trigger(Cmd::EDIT_UNDO)) << qPrintable(doc().journal().getUndoLabel());
    EXPECT_EQ(bytesOf(doc().script(), t.path("x.vare")), before);
    EXPECT_FALSE(doc().IsModified());
    // And forth again.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(commands().trigger(Cmd::EDIT_REDO));
    EXPECT_EQ(bytesOf(doc().script(), t.path("x.vare")), after);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(caption(Cmd::EDIT_REDO), QString::fromUtf8("&Rétablir Suppression du rôle\tCtrl+Y"));
}

TEST_F(SUndo, SavingMakesTheSavedStepTheCleanOne) {
    doc().addRole(CRole(QStringLiteral("Margaux")));
    ASSERT_TRUE(doc().DoFileSave());
    EXPECT_FALSE(doc().IsModified());
    doc().addRole(CRole(QStringLiteral("Pierre")));
    EXPECT_TRUE(doc().IsModified());
    doc().undo();
    EXPECT_FALSE(doc().IsModified()); // back to what the file holds
    doc().undo();
    EXPECT_TRUE(doc().IsModified()); // before the save: the file holds more
    doc().redo();
    EXPECT_FALSE(doc().IsModified());
    // A copy saved elsewhere is not the document's file.
    doc().redo();
    t.prompts.m_files = {t.path("copie.vare")};
    ASSERT_TRUE(doc().OnFileSaveCopy());
    doc().undo();
    EXPECT_FALSE(doc().IsModified());
    // Save as keeps the history.
    t.prompts.m_files = {t.path("nouveau.vare")};
    ASSERT_TRUE(doc().OnFileSaveAs());
    EXPECT_TRUE(doc().canUndo());
    EXPECT_TRUE(doc().canRedo());
}

TEST_F(SUndo, TheViewsAreToldOfEveryChangeUndone) {
    {
        CScriptChange change(doc(), QStringLiteral("Phrases"));
        doc().script().addLine(phrase(250, 0, QStringLiteral("un")));
        doc().script().addLine(phrase(400, 1, QStringLiteral("deux")));
    }
    struct SHint {
        int nHint;
        const void* pObject;
        bool bInScript;
    };
    std::vector<SHint> hints;
    int nReplays = 0;
    QObject::connect(&doc(), &CVarEDoc::aboutToReplay, [&] {
        ++nReplays;
        EXPECT_TRUE(hints.empty());
    });
    QObject::connect(&doc(), &CVarEDoc::updated, [&](int nHint, const void* pObject) {
        bool bIn = false;
        for (const CLine& line : doc().script().getLines())
            bIn = bIn || &line == pObject;
        hints.push_back({nHint, pObject, bIn});
    });
    ASSERT_TRUE(doc().undo());
    EXPECT_EQ(nReplays, 1);
    ASSERT_EQ(hints.size(), 2u);
    for (const SHint& h : hints) {
        EXPECT_EQ(h.nHint, DELETE_ITEM);
        EXPECT_TRUE(h.bInScript); // told while the phrase is still there
    }
    EXPECT_TRUE(doc().script().getLines().empty());
    hints.clear();
    ASSERT_TRUE(doc().redo());
    ASSERT_EQ(hints.size(), 2u);
    for (const SHint& h : hints) {
        EXPECT_EQ(h.nHint, NEW_ITEM);
        EXPECT_TRUE(h.bInScript);
    }
}

TEST_F(SUndo, TypingInOneSessionIsOneStepAndOpeningForgetsTheHistory) {
    {
        CScriptChange change(doc(), QStringLiteral("Phrase"));
        doc().script().addLine(phrase(250, 0, QString()));
    }
    // Three characters typed in one edit session, then one in another.
    for (int nSession : {7, 7, 7, 8}) {
        CScriptChange change(doc(), QStringLiteral("Saisie"), nSession);
        doc().script().updateLine(doc().script().getLines().begin(),
                                  [](CLine& l) { l.insertText(QStringLiteral("a"), l.getLength() - 1); });
    }
    EXPECT_EQ(doc().script().getLines().begin()->getText(), QStringLiteral("aaaa"));
    doc().undo();
    EXPECT_EQ(doc().script().getLines().begin()->getText(), QStringLiteral("aaa"));
    doc().undo();
    EXPECT_EQ(doc().script().getLines().begin()->getText(), QString());
    doc().redo();

    // Saving under the same name, then opening the file: no history, not modified.
    ASSERT_TRUE(doc().DoFileSave());
    ASSERT_TRUE(doc().openDocumentFile(t.path("film.vare")));
    EXPECT_FALSE(doc().canUndo());
    EXPECT_FALSE(doc().canRedo());
    // A new script too.
    doc().addRole(CRole(QStringLiteral("Pierre")));
    t.prompts.m_answers = {QMessageBox::No};
    ASSERT_TRUE(doc().newDocument());
    EXPECT_FALSE(doc().canUndo());
}

TEST_F(SUndo, AScriptReadFromABackupStaysModifiedThroughUndo) {
    // A backup newer than the file, taken in.
    CVarE newer;
    newer.set(CVarE::H_TITLE, QStringLiteral("Le Phare, suite"));
    const QString strFolder = CAutoSave::backupFolder(t.app().autoSaveFolder(), t.path("film.vare"));
    QDir().mkpath(strFolder);
    const QString strBackup = strFolder + QStringLiteral("/film 2099-01-01 10h00.vare.bak");
    ASSERT_TRUE(newer.store(strBackup));
    // Written in the same tick of the file system's clock as the script, it would not count as newer.
    {
        QFile f(strBackup);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QFileInfo(t.path("film.vare")).lastModified().addSecs(60),
                                  QFileDevice::FileModificationTime));
    }
    t.prompts.m_answers = {QMessageBox::Yes};
    ASSERT_TRUE(doc().openDocumentFile(t.path("film.vare")));
    ASSERT_EQ(doc().script().get(CVarE::H_TITLE), QStringLiteral("Le Phare, suite"));
    EXPECT_TRUE(doc().IsModified());
    doc().addRole(CRole(QStringLiteral("Pierre")));
    doc().undo();
    EXPECT_TRUE(doc().IsModified()); // the file still holds the older script
}
