#include "TestApp.h"

#include "app/RoleDialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
struct SRoles : ::testing::Test {
    STestApp t;
    void SetUp() override { ASSERT_TRUE(t.start()); }
    CVarEDoc& doc() { return t.doc(); }
    const CRole* role(const char* pszName) {
        const auto it = doc().script().findRoleByName(QString::fromUtf8(pszName));
        return it == doc().script().getRoles().end() ? nullptr : &*it;
    }
    void givePhrase(const CRole* pRole, int nFrame) {
        CLine line;
        line.insertSign(CTimeCode::fromFrames(nFrame), CLipSync::IN_OPEN, true);
        line.setRole(pRole);
        CScriptChange change(doc(), QStringLiteral("Phrase"));
        ASSERT_TRUE(doc().script().addLine(line).second);
    }
};
} // namespace

TEST(ColorComboBox, SwatchesInOrderAndSelectionByColour) {
    CColorComboBox box;
    ASSERT_EQ(box.count(), 7);
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.getColor(), 0x000000u);
    box.setColor(0xC80815);
    EXPECT_EQ(box.currentIndex(), 5);
    EXPECT_EQ(box.getColor(), 0xC80815u);
    box.setColor(0x123456); // not offered: nothing chosen
    EXPECT_EQ(box.currentIndex(), -1);
}

TEST_F(SRoles, ANewRoleIsCheckedCleanedAndAdded) {
    EXPECT_EQ(CEditRoleDlg::cleanName(QStringLiteral("Le   vieux    marin  \t")),
              QStringLiteral("Le vieux marin"));
    {
        CEditRoleDlg dlg(doc(), t.prompts, nullptr);
        dlg.accept(); // no name
        EXPECT_TRUE(t.prompts.told(QStringLiteral("Le nom est obligatoire.")));
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        dlg.nameEdit()->setText(QStringLiteral("Maëlle  "));
        dlg.genderList()->setCurrentIndex(2);
        dlg.colorList()->setColor(0x002FA7);
        dlg.descriptionEdit()->setPlainText(QStringLiteral("la gardienne du phare"));
        dlg.accept();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    const CRole* p = role("Maëlle");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->getGender(), 2);
    EXPECT_EQ(p->getColor(), 0x002FA7u);
    EXPECT_EQ(p->getDescription(), QStringLiteral("la gardienne du phare"));
    EXPECT_TRUE(doc().IsModified());

    // The same name again (after cleaning) is refused and nothing is added.
    CEditRoleDlg again(doc(), t.prompts, nullptr);
    again.nameEdit()->setText(QStringLiteral("Maëlle   "));
    again.accept();
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Un rôle portant ce nom existe déjà.")));
    EXPECT_EQ(doc().script().getRoles().size(), 1u);
    // One step: undone, the role is gone.
    doc().undo();
    EXPECT_TRUE(doc().script().getRoles().empty());
}

TEST_F(SRoles, ARenamedRoleKeepsItsPhrases) {
    const CRole* pYann = doc().addRole(CRole(QStringLiteral("Yann")));
    givePhrase(pYann, 250);
    CEditRoleDlg dlg(doc(), t.prompts, pYann);
    EXPECT_EQ(dlg.nameEdit()->text(), QStringLiteral("Yann"));
    dlg.nameEdit()->setText(QStringLiteral("Yann Le Bihan"));
    dlg.accept();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_NE(role("Yann Le Bihan"), nullptr);
    EXPECT_EQ(role("Yann"), nullptr);
    EXPECT_EQ(doc().script().getLines().begin()->getRolePtr(), role("Yann Le Bihan"));
}

TEST_F(SRoles, TheRolesDialogChoosesMakesAndDeletes) {
    // An empty script: "Nouveau" is the default button.
    {
        CSelectRoleDlg empty(doc(), t.prompts, nullptr);
        EXPECT_TRUE(empty.newButton()->isDefault());
        empty.accept();
        EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Vous devez sélectionner un rôle.")));
        EXPECT_EQ(empty.result(), QDialog::Rejected);
    }
    const CRole* pYann = doc().addRole(CRole(QStringLiteral("Yann")));
    const CRole* pAnna = doc().addRole(CRole(QStringLiteral("Anna")));
    givePhrase(pYann, 250);
    givePhrase(pYann, 500);
    givePhrase(pYann, 750);

    CSelectRoleDlg dlg(doc(), t.prompts, pYann);
    ASSERT_EQ(dlg.list()->count(), 2);
    EXPECT_EQ(dlg.list()->item(0)->text(), QStringLiteral("Anna")); // the script's order
    EXPECT_EQ(dlg.list()->currentItem()->text(), QStringLiteral("Yann"));
    EXPECT_TRUE(dlg.okButton()->isDefault());

    // A role with phrases cannot go.
    t.prompts.m_messages.clear();
    dlg.OnDelete();
    EXPECT_TRUE(
        t.prompts.told(QString::fromUtf8("Impossible de supprimer le rôle « Yann » affecté à 3 phrases.")));
    EXPECT_NE(role("Yann"), nullptr);
    // Anna can, after the question (Cancel first).
    dlg.list()->setCurrentRow(0);
    t.prompts.m_answers = {QMessageBox::Cancel};
    dlg.OnDelete();
    EXPECT_NE(role("Anna"), nullptr);
    t.prompts.m_answers = {QMessageBox::Ok};
    dlg.OnDelete();
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Voulez-vous vraiment supprimer le rôle « Anna » ?")));
    EXPECT_EQ(role("Anna"), nullptr);
    EXPECT_EQ(dlg.list()->count(), 1);

    // "Nouveau" through the role dialog: the new role comes selected.
    dlg.m_runEditDialog = [](CEditRoleDlg& edit) {
        edit.nameEdit()->setText(QStringLiteral("Pierre"));
        edit.accept();
        return edit.result();
    };
    dlg.OnNew();
    EXPECT_EQ(dlg.list()->currentItem()->text(), QStringLiteral("Pierre"));
    dlg.accept();
    EXPECT_EQ(dlg.selectedRole(), role("Pierre"));
    (void)pAnna;
}
