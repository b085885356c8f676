#include "TestApp.h"

#include "app/AboutDlg.h"
#include "app/Commands.h"
#include "app/DecalageDlg.h"
#include "app/MainFrame.h"
#include "app/PhotoDlg.h"
#include "app/PropertySheet.h"
#include "app/RoleDialogs.h"
#include "app/RoleImport.h"
#include "app/SettingsDlg.h"
#include "app/TimeCodeEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
CLine phrase(int nFrame, int nTrack) {
    CLine line;
    line.setTrack(nTrack);
    line.insertSign(CTimeCode::fromFrames(nFrame), CLipSync::IN_OPEN, true);
    line.insertText(QStringLiteral("Allô"), 1);
    line.insertSign(CTimeCode::fromFrames(nFrame + 50), CLipSync::OUT_OPEN, true);
    return line;
}

// The frames every item of the script stands at, in order.
std::vector<int> framesOf(const CVarE& script) {
    std::vector<int> frames;
    for (const CLine& line : script.getLines())
        for (int i = 0; i < line.getSignCount(); ++i)
            frames.push_back(line.getSign(i).getFrames());
    for (const CLoop& loop : script.getLoops())
        frames.push_back(loop.getFrames());
    for (const CBalise& shot : script.getShots())
        frames.push_back(shot.getFrames());
    return frames;
}

void type(QWidget* pWidget, const char* pszKeys) {
    for (const char* p = pszKeys; *p; ++p)
        QTest::keyClick(pWidget, *p);
}

struct SScriptDialogs : ::testing::Test {
    STestApp t;
    void SetUp() override {
        ASSERT_TRUE(t.start());
        CScriptChange change(doc(), QStringLiteral("Script"));
        ASSERT_TRUE(doc().script().addLine(phrase(40, 0)).second);
        ASSERT_TRUE(doc().script().addLine(phrase(500, 1)).second);
        ASSERT_TRUE(doc().script().addLoop(CLoop(CTimeCode::fromFrames(30), 0)));
        ASSERT_TRUE(doc().script().addShot(CTimeCode::fromFrames(700)));
    }
    CVarEDoc& doc() { return t.doc(); }
    static std::vector<int> plus(std::vector<int> v, int n) {
        for (int& f : v)
            f += n;
        return v;
    }
};
} // namespace

// ------------------------------------------------------------------------------------------ the shift

TEST_F(SScriptDialogs, TheShiftFollowsTheOffsetLiveAndIsOneStep) {
    const std::vector<int> before = framesOf(doc().script());
    const int nUndo = doc().journal().getUndoCount();
    {
        CDecalageDlg dlg(doc(), t.prompts);
        ASSERT_TRUE(dlg.rightButton()->isChecked());
        // 00:00:01:00 later: everything 25 frames later at once.
        dlg.offsetEdit()->setFocus();
        type(dlg.offsetEdit(), "00000100");
        EXPECT_EQ(dlg.appliedOffset(), 25);
        EXPECT_EQ(framesOf(doc().script()), plus(before, 25));
        // To the left: from +25 to -25 in one move.
        dlg.leftButton()->setChecked(true);
        EXPECT_EQ(dlg.appliedOffset(), -25);
        EXPECT_EQ(framesOf(doc().script()), plus(before, -25));
        dlg.accept();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(doc().IsModified());
    ASSERT_EQ(doc().journal().getUndoCount(), nUndo + 1);
    EXPECT_EQ(doc().journal().getUndoLabel(), QString::fromUtf8("Décalage"));
    ASSERT_TRUE(doc().undo());
    EXPECT_EQ(framesOf(doc().script()), before);
    ASSERT_TRUE(doc().redo());
    EXPECT_EQ(framesOf(doc().script()), plus(before, -25));
}

TEST_F(SScriptDialogs, CancellingTheShiftPutsEverythingBackAndRecordsNothing) {
    ASSERT_TRUE(doc().DoSave(t.path("film.vare")));
    ASSERT_FALSE(doc().IsModified());
    const std::vector<int> before = framesOf(doc().script());
    const int nUndo = doc().journal().getUndoCount();
    {
        CDecalageDlg dlg(doc(), t.prompts);
        type(dlg.offsetEdit(), "00000100");
        dlg.leftButton()->setChecked(true);
        ASSERT_EQ(framesOf(doc().script()), plus(before, -25));
        dlg.reject();
    }
    EXPECT_EQ(framesOf(doc().script()), before);
    EXPECT_EQ(doc().journal().getUndoCount(), nUndo);
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(SScriptDialogs, AShiftAcrossMidnightOrAnInvalidOffsetIsRefused) {
    const std::vector<int> before = framesOf(doc().script());
    CDecalageDlg dlg(doc(), t.prompts);
    dlg.leftButton()->setChecked(true);
    // The loop at frame 30 would land before 00:00:00:00 (2 seconds earlier).
    int nClicks = Click::count();
    type(dlg.offsetEdit(), "000002");
    EXPECT_EQ(Click::count(), nClicks + 1);
    EXPECT_EQ(dlg.appliedOffset(), 0);
    EXPECT_EQ(framesOf(doc().script()), before);

    // An impossible timecode (70 seconds) clicks too, and OK says why and stays.
    dlg.offsetEdit()->setTimeCode(TC_ZERO);
    type(dlg.offsetEdit(), "000070");
    EXPECT_FALSE(dlg.offsetEdit()->getTimeCode().isValid());
    nClicks = Click::count();
    dlg.accept();
    EXPECT_EQ(Click::count(), nClicks); // no sound from OK
    EXPECT_TRUE(t.prompts.told(QStringLiteral("La valeur de l'offset est incorrecte.")));
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(framesOf(doc().script()), before);
}

TEST_F(SScriptDialogs, TheArrowButtonsStepTheSignedOffset) {
    const std::vector<int> before = framesOf(doc().script());
    CDecalageDlg dlg(doc(), t.prompts);
    // From 0 "Vers la droite", "<" turns to the left by one frame.
    dlg.OnLeft();
    EXPECT_TRUE(dlg.leftButton()->isChecked());
    EXPECT_EQ(dlg.offsetEdit()->getTimeCode().getFrames(), 1);
    EXPECT_EQ(framesOf(doc().script()), plus(before, -1));
    dlg.OnLeft();
    EXPECT_EQ(dlg.appliedOffset(), -2);
    dlg.OnRight();
    dlg.OnRight();
    EXPECT_EQ(dlg.appliedOffset(), 0);
    dlg.OnRight();
    EXPECT_TRUE(dlg.rightButton()->isChecked());
    EXPECT_EQ(dlg.appliedOffset(), 1);
    EXPECT_EQ(framesOf(doc().script()), plus(before, 1));

    // At the limit a refused step leaves the field on the shift the script holds.
    for (int i = 0; i < 40; ++i)
        dlg.OnLeft();
    EXPECT_EQ(dlg.appliedOffset(), -30); // the loop reached 00:00:00:00
    EXPECT_EQ(dlg.offsetEdit()->getTimeCode().getFrames(), 30);
    dlg.OnRight();
    EXPECT_EQ(dlg.appliedOffset(), -29);
    dlg.reject();
    EXPECT_EQ(framesOf(doc().script()), before);
}

// ------------------------------------------------------------------------------------------ properties

TEST_F(SScriptDialogs, TheHeaderGoesThroughTheSheetIntoTheFileAndBack) {
    // Three loops numbered from 1.
    {
        CScriptChange change(doc(), QStringLiteral("Boucles"));
        ASSERT_TRUE(doc().script().addLoop(CLoop(CTimeCode::fromFrames(300), 0)));
        ASSERT_TRUE(doc().script().addLoop(CLoop(CTimeCode::fromFrames(600), 0)));
    }
    doc().script().set(CVarE::H_NOTES, QStringLiteral("ligne 1\r\nligne 2"));
    t.app().properties().m_runSheet = [](CTavorinProperty& sheet) {
        EXPECT_EQ(sheet.windowTitle(), QString::fromUtf8("Propriétés"));
        EXPECT_EQ(sheet.tabs()->count(), 4);
        EXPECT_EQ(sheet.tabs()->tabText(0), QStringLiteral("Fichier"));
        EXPECT_EQ(sheet.tabs()->tabText(3), QStringLiteral("Description"));
        // The texts as the script holds them (line breaks shown plain).
        auto* pNotes = qobject_cast<QPlainTextEdit*>(sheet.otherPage()->field(CVarE::H_NOTES));
        EXPECT_EQ(pNotes->toPlainText(), QStringLiteral("ligne 1\nligne 2"));
        EXPECT_EQ(sheet.generalPage()->firstLoopEdit()->value(), 1);
        const auto set = [](CHeaderPage* pPage, CVarE::EHeader e, const char* psz) {
            auto* pLine = qobject_cast<QLineEdit*>(pPage->field(e));
            ASSERT_NE(pLine, nullptr) << CVarE::headerKey(e);
            pLine->setText(QString::fromUtf8(psz));
        };
        CPropGeneral* g = sheet.generalPage();
        set(g, CVarE::H_TITLE, "Le Phare");
        set(g, CVarE::H_TITLE2, "The Lighthouse");
        set(g, CVarE::H_SEASON, "2");
        set(g, CVarE::H_EPISODE_NUMBER, "5");
        set(g, CVarE::H_EPISODE_TITLE, "La Tempête");
        set(g, CVarE::H_FIRST_AUTHOR_NAME, "Le Goff");
        set(g, CVarE::H_FIRST_AUTHOR_FIRST_NAME, "Anna");
        set(g, CVarE::H_SECOND_AUTHOR_NAME, "Morvan");
        set(g, CVarE::H_SECOND_AUTHOR_FIRST_NAME, "Yann");
        set(g, CVarE::H_DETECTOR_NAME, "Kerouac");
        set(g, CVarE::H_DETECTOR_FIRST_NAME, "Soizic");
        g->firstLoopEdit()->setValue(101);
        set(sheet.detailPage(), CVarE::H_PRODUCER, "Ar Mor Films");
        set(sheet.detailPage(), CVarE::H_COUNTRY, "France");
        qobject_cast<QPlainTextEdit*>(sheet.otherPage()->field(CVarE::H_SUMMARY))
            ->setPlainText(QStringLiteral("Une nuit\nde tempête"));
        sheet.accept();
        return sheet.result();
    };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_PROPERTIES));
    const CVarE& s = doc().script();
    EXPECT_EQ(s.get(CVarE::H_FIRST_AUTHOR_NAME), QStringLiteral("Le Goff"));
    EXPECT_EQ(s.get(CVarE::H_SECOND_AUTHOR_FIRST_NAME), QStringLiteral("Yann"));
    EXPECT_EQ(s.get(CVarE::H_SUMMARY), QString::fromUtf8("Une nuit\r\nde tempête"));
    EXPECT_EQ(s.get(CVarE::H_NOTES), QStringLiteral("ligne 1\r\nligne 2"));
    std::vector<int> numbers;
    for (const CLoop& loop : s.getLoops())
        numbers.push_back(loop.getNumber());
    EXPECT_EQ(numbers, (std::vector<int>{101, 102, 103}));
    EXPECT_TRUE(doc().IsModified());
    EXPECT_EQ(doc().journal().getUndoLabel(), QString::fromUtf8("Propriétés"));

    // Saved and read back, every value is where it was typed: each author keeps their own name.
    ASSERT_TRUE(doc().DoSave(t.path("phare.vare")));
    CVarE back;
    ASSERT_TRUE(back.load(t.path("phare.vare")));
    for (CVarE::EHeader e :
         {CVarE::H_TITLE, CVarE::H_TITLE2, CVarE::H_SEASON, CVarE::H_EPISODE_NUMBER, CVarE::H_EPISODE_TITLE,
          CVarE::H_FIRST_AUTHOR_NAME, CVarE::H_FIRST_AUTHOR_FIRST_NAME, CVarE::H_SECOND_AUTHOR_NAME,
          CVarE::H_SECOND_AUTHOR_FIRST_NAME, CVarE::H_DETECTOR_NAME, CVarE::H_DETECTOR_FIRST_NAME,
          CVarE::H_PRODUCER, CVarE::H_COUNTRY, CVarE::H_SUMMARY, CVarE::H_NOTES})
        EXPECT_EQ(back.get(e), s.get(e)) << CVarE::headerKey(e);
    EXPECT_EQ(back.get(CVarE::H_FIRST_AUTHOR_FIRST_NAME), QStringLiteral("Anna"));
    EXPECT_EQ(back.get(CVarE::H_SECOND_AUTHOR_NAME), QStringLiteral("Morvan"));
    EXPECT_EQ(back.getLoops().begin()->getNumber(), 101);

    // The sheet opened again shows the file's values; the whole change is one step.
    ASSERT_TRUE(doc().openDocumentFile(t.path("phare.vare")));
    SScriptHeader h = SScriptHeader::fromScript(doc().script());
    EXPECT_EQ(h.nFirstLoop, 101);
    EXPECT_EQ(h.text(CVarE::H_SECOND_AUTHOR_FIRST_NAME), QStringLiteral("Yann"));
}

TEST_F(SScriptDialogs, CancellingTheSheetChangesNothingAndUndoTakesAllBack) {
    const int nUndo = doc().journal().getUndoCount();
    t.app().properties().m_runSheet = [](CTavorinProperty& sheet) {
        qobject_cast<QLineEdit*>(sheet.generalPage()->field(CVarE::H_TITLE))->setText(QStringLiteral("X"));
        sheet.reject();
        return sheet.result();
    };
    EXPECT_FALSE(t.app().properties().OnFileProperties());
    EXPECT_TRUE(doc().script().get(CVarE::H_TITLE).isEmpty());
    EXPECT_EQ(doc().journal().getUndoCount(), nUndo);

    t.app().properties().m_runSheet = [](CTavorinProperty& sheet) {
        qobject_cast<QLineEdit*>(sheet.generalPage()->field(CVarE::H_TITLE))->setText(QStringLiteral("X"));
        sheet.generalPage()->firstLoopEdit()->setValue(7);
        sheet.accept();
        return sheet.result();
    };
    ASSERT_TRUE(t.app().properties().OnFileProperties());
    EXPECT_EQ(doc().script().getLoops().begin()->getNumber(), 7);
    ASSERT_TRUE(doc().undo());
    EXPECT_TRUE(doc().script().get(CVarE::H_TITLE).isEmpty());
    EXPECT_EQ(doc().script().getLoops().begin()->getNumber(), 1);
}

TEST_F(SScriptDialogs, TheSheetImportsTheRolesTickedInTheOtherScript) {
    CVarE other;
    CRole yann(QStringLiteral("Yann"));
    yann.setImage(QStringLiteral("AAAA"));
    CRole anna(QStringLiteral("Anna"));
    anna.setSelected(false);
    other.addRole(yann);
    other.addRole(anna);
    other.addRole(CRole(QStringLiteral("Soizic")));
    ASSERT_TRUE(other.store(t.path("episode1.vare")));
    QFile broken(t.path("broken.vare"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<VarE><header>");
    broken.close();

    // The ticks follow the roles' import flags.
    {
        CImportRolesDlg dlg(other);
        ASSERT_EQ(dlg.list()->topLevelItemCount(), 3);
        EXPECT_EQ(dlg.list()->topLevelItem(0)->text(0), QStringLiteral("Anna"));
        EXPECT_EQ(dlg.list()->topLevelItem(0)->checkState(0), Qt::Unchecked);
        EXPECT_EQ(dlg.tickedRoles(), (QStringList{QStringLiteral("Soizic"), QStringLiteral("Yann")}));
    }
    std::vector<Qt::CheckState> shown;
    t.app().roleImport().m_runDialog = [&](CImportRolesDlg& dlg) {
        for (int i = 0; i < dlg.list()->topLevelItemCount(); ++i)
            shown.push_back(dlg.list()->topLevelItem(i)->checkState(0));
        // "Aucun", then Soizic alone.
        for (QPushButton* p : dlg.findChildren<QPushButton*>())
            if (p->text() == QStringLiteral("Aucun")) p->click();
        EXPECT_TRUE(dlg.tickedRoles().isEmpty());
        for (QPushButton* p : dlg.findChildren<QPushButton*>())
            if (p->text() == QStringLiteral("Tous")) p->click();
        EXPECT_EQ(dlg.tickedRoles().size(), 3);
        dlg.list()->topLevelItem(0)->setCheckState(0, Qt::Unchecked); // Anna
        dlg.list()->topLevelItem(1)->setCheckState(0, Qt::Unchecked); // Soizic
        return true;
    };
    t.app().properties().m_runSheet = [&](CTavorinProperty& sheet) {
        // A file that is no script is refused; a script is taken.
        t.prompts.m_files = {t.path("broken.vare"), t.path("episode1.vare")};
        sheet.filePage()->OnBrowseRoles();
        EXPECT_TRUE(t.prompts.told(QStringLiteral("Le fichier n'est pas valide.")));
        EXPECT_TRUE(sheet.filePage()->rolesEdit()->text().isEmpty());
        sheet.filePage()->OnBrowseRoles();
        EXPECT_EQ(sheet.filePage()->rolesEdit()->text(), t.path("episode1.vare"));
        sheet.accept();
        return sheet.result();
    };
    ASSERT_TRUE(t.app().properties().OnFileProperties());
    // A file keeps no import flags: its roles come ticked, in the script's order.
    EXPECT_EQ(shown, (std::vector<Qt::CheckState>{Qt::Checked, Qt::Checked, Qt::Checked}));
    const CVarE& s = doc().script();
    ASSERT_EQ(s.getRoles().size(), 1u);
    EXPECT_EQ(s.getRoles().begin()->getName(), QStringLiteral("Yann"));
    EXPECT_EQ(s.getRoles().begin()->getImage(), QStringLiteral("AAAA"));
    // Roles and header are one step.
    EXPECT_EQ(doc().journal().getUndoLabel(), QString::fromUtf8("Propriétés"));
    ASSERT_TRUE(doc().undo());
    EXPECT_TRUE(s.getRoles().empty());
}

TEST_F(SScriptDialogs, TheFilePageOpensThePictureAndItsSound) {
    // Two pictures without sound of their own: one with a sound file beside it, one alone.
    QDir().mkpath(t.path("media"));
    ASSERT_TRUE(QFile::copy(testMedia("plain.mov"), t.path("media/plain.mov")));
    ASSERT_TRUE(QFile::copy(testMedia("bwf48.wav"), t.path("media/plain.wav")));
    ASSERT_TRUE(QFile::copy(testMedia("plain.mov"), t.path("media/alone.mov")));
    t.app().settings().set(Settings::VideoPath, t.path("media"));
    const QString strNoSound = QString::fromUtf8("Impossible d'ouvrir le fichier audio associé.");
    t.app().properties().m_runSheet = [&](CTavorinProperty& sheet) {
        t.prompts.m_files = {t.path("media/plain.mov")};
        sheet.filePage()->OnBrowseVideo();
        EXPECT_EQ(t.prompts.m_strProposedFile, t.path("media")); // starts in "VideoPath"
        EXPECT_EQ(sheet.filePage()->videoEdit()->text(), t.path("media/plain.mov"));
        // The sound beside it was found.
        EXPECT_EQ(sheet.filePage()->audioEdit()->text(), t.path("media/plain.wav"));
        EXPECT_FALSE(t.prompts.told(strNoSound));

        // A picture alone: its sound is looked for in vain, once.
        t.prompts.m_files = {t.path("media/alone.mov")};
        sheet.filePage()->OnBrowseVideo();
        EXPECT_EQ(sheet.filePage()->videoEdit()->text(), t.path("media/alone.mov"));
        EXPECT_TRUE(sheet.filePage()->audioEdit()->text().isEmpty());
        EXPECT_EQ(std::count_if(t.prompts.m_messages.begin(), t.prompts.m_messages.end(),
                                [&](const CScriptedPrompts::SMessage& m) { return m.strText == strNoSound; }),
                  1);

        // A sound file chosen by hand.
        t.prompts.m_files = {testMedia("bwf44.wav")};
        sheet.filePage()->OnBrowseAudio();
        EXPECT_EQ(sheet.filePage()->audioEdit()->text(), testMedia("bwf44.wav"));
        sheet.reject();
        return sheet.result();
    };
    t.app().properties().OnFileProperties();
    // The media are the document's at once, whatever the sheet's answer.
    EXPECT_TRUE(t.app().player().hasMovie());
    EXPECT_EQ(doc().script().get(CVarE::H_VIDEO_FILE), t.path("media/alone.mov"));
    EXPECT_EQ(doc().script().get(CVarE::H_AUDIO_FILE), testMedia("bwf44.wav"));
    EXPECT_EQ(t.app().settings().get(Settings::VideoPath), t.path("media"));
    EXPECT_EQ(t.app().settings().get(Settings::AudioPath), QFileInfo(testMedia("bwf44.wav")).absolutePath());
}

TEST(ScriptProperties, ALaterNewDocumentOpensTheSheetThenIsNamedAndSaved) {
    STestApp t;
    int nSheets = 0;
    ASSERT_TRUE(t.start());
    // Start-up made the first new document without the sheet.
    t.app().properties().m_runSheet = [&](CTavorinProperty& sheet) {
        ++nSheets;
        auto set = [&](CVarE::EHeader e, const char* psz) {
            qobject_cast<QLineEdit*>(sheet.generalPage()->field(e))->setText(QString::fromUtf8(psz));
        };
        set(CVarE::H_TITLE, "Le Phare");
        set(CVarE::H_SEASON, "2");
        set(CVarE::H_EPISODE_NUMBER, "5");
        sheet.accept();
        return sheet.result();
    };
    t.prompts.m_files = {t.path("Le Phare#205.vare")};
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_NEW));
    EXPECT_EQ(nSheets, 1);
    EXPECT_EQ(t.prompts.m_strProposedFile, QStringLiteral("Le Phare#205.vare"));
    EXPECT_EQ(t.doc().GetPathName(), t.path("Le Phare#205.vare"));
    EXPECT_TRUE(QFile::exists(t.path("Le Phare#205.vare")));
    EXPECT_FALSE(t.doc().IsModified());

    // Cancelled, the new script stays untitled and unsaved.
    t.app().properties().m_runSheet = [&](CTavorinProperty& sheet) {
        ++nSheets;
        sheet.reject();
        return sheet.result();
    };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_NEW));
    EXPECT_EQ(nSheets, 2);
    EXPECT_TRUE(t.doc().GetPathName().isEmpty());
    EXPECT_EQ(t.doc().GetTitle(), QStringLiteral("Sans titre"));
}

TEST(ScriptProperties, AStartWithAFileLeavesTheFirstNewDocumentWithoutTheSheet) {
    STestApp t;
    CVarE s;
    ASSERT_TRUE(s.store(t.path("film.vare")));
    ASSERT_TRUE(t.start(t.path("film.vare")));
    int nSheets = 0;
    t.app().properties().m_runSheet = [&](CTavorinProperty& sheet) {
        ++nSheets;
        return int(sheet.result());
    };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_NEW));
    EXPECT_EQ(nSheets, 0);
    ASSERT_TRUE(t.app().commands().trigger(Cmd::FILE_NEW));
    EXPECT_EQ(nSheets, 1);
}

// ------------------------------------------------------------------------------------------ preferences

TEST(Preferences, StoredInTheSettingsReadBackAtTheNextStartAndTheTimerFollows) {
    STestApp t;
    ASSERT_TRUE(t.start());
    EXPECT_TRUE(t.app().mainFrame().isAutoSaveOn());
    t.app().preferences().m_runDialog = [](CTavorinSettingsDlg& dlg) {
        // The defaults.
        EXPECT_FALSE(dlg.checkForUpdatesBox()->isChecked());
        EXPECT_TRUE(dlg.prefixBox()->isChecked());
        EXPECT_TRUE(dlg.autoSaveBox()->isChecked());
        EXPECT_EQ(dlg.intervalEdit()->value(), 5);
        EXPECT_EQ(dlg.themeList()->currentText(), QStringLiteral("Papier"));
        // No control screen on this platform.
        EXPECT_FALSE(dlg.controlScreenGroup()->isEnabled());
        dlg.delaySlider()->setValue(-120);
        EXPECT_EQ(dlg.delayLabel()->text(), QStringLiteral("-120 ms"));

        dlg.checkForUpdatesBox()->setChecked(true);
        dlg.prefixBox()->setChecked(false);
        dlg.autoCloseBox()->setChecked(true);
        dlg.intervalEdit()->setValue(2);
        dlg.themeList()->setCurrentIndex(0);
        dlg.workingCopyList()->setCurrentIndex(2);
        dlg.accept();
        return dlg.result();
    };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::EDIT_PREFERENCES));
    CSettingsStore& s = t.app().settings();
    EXPECT_EQ(s.get(Settings::CheckForUpdatesAtStartup), 1);
    EXPECT_EQ(s.get(Settings::PrefixSaveCopyAs), 0);
    EXPECT_EQ(s.get(Settings::EnableAutoCloseReacs), 1);
    EXPECT_EQ(s.get(Settings::Theme), 0);
    EXPECT_EQ(s.get(Settings::AutoSaveTimer), 120000);
    EXPECT_EQ(s.get(Settings::WorkingCopy), 2);
    // The slider's value: the main screen 120 ms late.
    EXPECT_EQ(s.get(Settings::MainScreenDelay), 120);
    EXPECT_EQ(s.get(Settings::ControlScreenDelay), 0);
    EXPECT_TRUE(t.app().mainFrame().isAutoSaveOn());
    EXPECT_EQ(t.app().mainFrame().autoSavePeriod(), 120000);

    // Auto-save off: the timer stops.
    t.app().preferences().m_runDialog = [](CTavorinSettingsDlg& dlg) {
        dlg.autoSaveBox()->setChecked(false);
        EXPECT_FALSE(dlg.intervalEdit()->isEnabled());
        dlg.accept();
        return dlg.result();
    };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::EDIT_PREFERENCES));
    EXPECT_FALSE(t.app().mainFrame().isAutoSaveOn());
    EXPECT_EQ(s.get(Settings::EnableAutoSave), 0);

    // The next start reads them back (the control screen's values go back to 0 at every start).
    t.pApp->ExitInstance();
    t.pApp.reset();
    ASSERT_TRUE(t.start());
    EXPECT_FALSE(t.app().mainFrame().isAutoSaveOn());
    bool bShown = false;
    t.app().preferences().m_runDialog = [&](CTavorinSettingsDlg& dlg) {
        bShown = true;
        EXPECT_TRUE(dlg.checkForUpdatesBox()->isChecked());
        EXPECT_FALSE(dlg.prefixBox()->isChecked());
        EXPECT_TRUE(dlg.autoCloseBox()->isChecked());
        EXPECT_FALSE(dlg.autoSaveBox()->isChecked());
        EXPECT_EQ(dlg.intervalEdit()->value(), 2);
        EXPECT_EQ(dlg.themeList()->currentText(), QString::fromUtf8("Métal"));
        EXPECT_EQ(dlg.workingCopyList()->currentIndex(), 2);
        dlg.autoSaveBox()->setChecked(true);
        dlg.accept();
        return dlg.result();
    };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::EDIT_PREFERENCES));
    EXPECT_TRUE(bShown);
    EXPECT_TRUE(t.app().mainFrame().isAutoSaveOn());
    // Cancelled: nothing stored.
    t.app().preferences().m_runDialog = [](CTavorinSettingsDlg& dlg) {
        dlg.prefixBox()->setChecked(true);
        dlg.reject();
        return dlg.result();
    };
    ASSERT_TRUE(t.app().commands().trigger(Cmd::EDIT_PREFERENCES));
    EXPECT_EQ(t.app().settings().get(Settings::PrefixSaveCopyAs), 0);
}

// ------------------------------------------------------------------------------------------ photos

namespace {
// Four quarters of distinct colours.
QImage quarters(int w, int h) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(
                x, y, x < w / 2 ? (y < h / 2 ? Qt::red : Qt::blue) : (y < h / 2 ? Qt::green : Qt::white));
    return image;
}

QImage decode(const QString& strBase64) {
    QImage image;
    image.loadFromData(QByteArray::fromBase64(strBase64.toLatin1()), "JPEG");
    return image;
}

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}
} // namespace

TEST(PhotoDlg, ARectangleDraggedFromEitherCornerIsThePhoto) {
    STestApp t;
    const QImage picture = quarters(200, 160);
    CPhotoDlg dlg(picture, t.prompts);
    // OK without a rectangle: the message, and the dialog stays.
    dlg.accept();
    EXPECT_TRUE(t.prompts.told(QString::fromUtf8("Il faut sélectionner une portion de la photo.")));
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    // A click is no rectangle.
    QTest::mouseClick(dlg.selectArea(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(dlg.selectArea()->selection().isEmpty());

    // Dragged from the lower right to the upper left, past the picture's edge.
    QWidget* pArea = dlg.selectArea();
    QTest::mousePress(pArea, Qt::LeftButton, {}, QPoint(150, 120));
    QMouseEvent move(QEvent::MouseMove, QPointF(-30, 40), pArea->mapToGlobal(QPointF(-30, 40)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(pArea, &move);
    QTest::mouseRelease(pArea, Qt::LeftButton, {}, QPoint(-30, 40));
    EXPECT_EQ(dlg.selectArea()->selection(), QRect(0, 40, 150, 80));
    dlg.accept();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    const QImage photo = decode(dlg.photo());
    ASSERT_EQ(photo.size(), QSize(150, 80));
    // Its four corners come from the four quarters.
    EXPECT_TRUE(near(photo.pixelColor(5, 5), Qt::red));
    EXPECT_TRUE(near(photo.pixelColor(145, 5), Qt::green));
    EXPECT_TRUE(near(photo.pixelColor(5, 75), Qt::blue));
    EXPECT_TRUE(near(photo.pixelColor(145, 75), Qt::white));
}

TEST(PhotoDlg, ThePictureIsTheMoviesFrameAtTheCurrentTime) {
    STestApp t;
    ASSERT_TRUE(t.start());
    ASSERT_TRUE(t.app().media().openVideoFile(testMedia("frames.mov")));
    // The test movie draws its frame number in 16 blocks of 20 pixels in its top rows: frame 5 lights
    // blocks 0 and 2.
    CTimeCode tc = CTimeCode::fromFrames(CTimeCode("10:00:00:00").getFrames() + 5);
    QSize shown;
    const auto source = CPhotoDlg::photoSource(
        t.app().player(), [&] { return tc; }, t.prompts,
        [&](CPhotoDlg& dlg) {
            shown = dlg.selectArea()->picture().size();
            QTest::mousePress(dlg.selectArea(), Qt::LeftButton, {}, QPoint(60, 30));
            QTest::mouseRelease(dlg.selectArea(), Qt::LeftButton, {}, QPoint(0, 10));
            dlg.accept();
            return dlg.result();
        });
    const QImage photo = decode(source(nullptr));
    EXPECT_EQ(shown, QSize(320, 240));
    ASSERT_EQ(photo.size(), QSize(60, 20));
    EXPECT_GT(qGray(photo.pixel(10, 10)), 128);
    EXPECT_LT(qGray(photo.pixel(30, 10)), 128);
    EXPECT_GT(qGray(photo.pixel(50, 10)), 128);

    // Without a picture there is nothing to take.
    t.app().media().closeMedia();
    EXPECT_TRUE(source(nullptr).isEmpty());
    EXPECT_EQ(t.prompts.m_messages.back().eIcon, IPrompts::ICON_ERROR);
}

TEST(PhotoDlg, TheRoleDialogKeepsAndShowsThePhoto) {
    STestApp t;
    ASSERT_TRUE(t.start());
    const QString strPhoto = CPhotoDlg::encodePhoto(quarters(40, 40), QRect(0, 0, 20, 20));
    CEditRoleDlg dlg(t.doc(), t.prompts, nullptr);
    dlg.setPhotoSource([&](QWidget*) { return strPhoto; });
    dlg.nameEdit()->setText(QStringLiteral("Yann"));
    QPushButton* pTake = nullptr;
    for (QPushButton* p : dlg.findChildren<QPushButton*>())
        if (p->text() == QStringLiteral("&Prendre une photo...")) pTake = p;
    ASSERT_NE(pTake, nullptr);
    ASSERT_TRUE(pTake->isEnabled());
    pTake->click();
    dlg.accept();
    ASSERT_NE(dlg.role(), nullptr);
    EXPECT_EQ(dlg.role()->getImage(), strPhoto);
    EXPECT_TRUE(near(decode(dlg.role()->getImage()).pixelColor(10, 10), Qt::red));
}

// ------------------------------------------------------------------------------------------ about

TEST(AboutDlg, NamesTheLibrariesWithTheirVersionsAndLicences) {
    const auto libs = CAboutDlg::libraries();
    QStringList names;
    for (const auto& lib : libs) {
        names << lib.strName;
        EXPECT_FALSE(lib.strVersion.isEmpty()) << lib.strName.toStdString();
        EXPECT_FALSE(lib.strLicence.isEmpty()) << lib.strName.toStdString();
    }
    for (const char* psz : {"Qt", "Xerces-C", "libmpv", "FFmpeg libavformat", "FFmpeg libavcodec"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(psz))) << psz;
    EXPECT_EQ(libs[0].strVersion, QString::fromLatin1(qVersion()));
    EXPECT_TRUE(CAboutDlg::text().startsWith(QStringLiteral("Tavorin " TAVORIN_VERSION "\n")));
}
