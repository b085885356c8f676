#include "sync/ui/WorkingCopyPrompts.h"
#include "base/Settings.h"
#include "sync/QuickTime.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// The QApplication is the executable's one, set up beside the control view's tests.
namespace {
// Clicks the button with this caption in the message box that the next exec() shows.
void clickInNextBox(const QString& strCaption) {
    QTimer::singleShot(0, [strCaption] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(pBox, nullptr);
        for (QAbstractButton* p : pBox->buttons())
            if (p->text() == strCaption) return p->click();
        ADD_FAILURE() << "no button " << qPrintable(strCaption);
        pBox->reject();
    });
}
} // namespace

TEST(WorkingCopyPromptsTest, QuestionProgressAndCancel) {
    CWorkingCopyPrompts prompts;
    clickInNextBox(QStringLiteral("&Toujours"));
    EXPECT_EQ(prompts.askMakeCopy(CWorkingCopyController::question()), IWorkingCopyPrompts::ANSWER_ALWAYS);
    clickInNextBox(QStringLiteral("&Jamais"));
    EXPECT_EQ(prompts.askMakeCopy(CWorkingCopyController::question()), IWorkingCopyPrompts::ANSWER_NEVER);
    clickInNextBox(QStringLiteral("&Non"));
    EXPECT_EQ(prompts.askMakeCopy(CWorkingCopyController::question()), IWorkingCopyPrompts::ANSWER_NO);
    clickInNextBox(QStringLiteral("&Oui"));
    EXPECT_EQ(prompts.askMakeCopy(CWorkingCopyController::question()), IWorkingCopyPrompts::ANSWER_YES);

    int nCancels = 0;
    prompts.setCancel([&] { ++nCancels; });
    prompts.showProgress(QStringLiteral("film.mov"), 0.0, -1);
    CWorkingCopyProgressDlg* pDlg = prompts.progressWindow();
    ASSERT_NE(pDlg, nullptr);
    EXPECT_TRUE(pDlg->isVisible());
    EXPECT_FALSE(pDlg->isModal()); // the work goes on beside it
    EXPECT_EQ(pDlg->windowTitle(), QStringLiteral("Copie de travail"));
    EXPECT_EQ(pDlg->timeLeft(), QStringLiteral("Temps restant : calcul en cours"));
    prompts.showProgress(QStringLiteral("film.mov"), 0.427, 80);
    EXPECT_EQ(prompts.progressWindow(), pDlg);
    EXPECT_EQ(pDlg->text(), QStringLiteral("Création de la copie de travail de « film.mov » : 42 %"));
    EXPECT_EQ(pDlg->timeLeft(), QStringLiteral("Temps restant : 1 min 20 s"));
    QTest::mouseClick(pDlg->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(nCancels, 1);
    prompts.hideProgress();
    EXPECT_FALSE(pDlg->isVisible());

    EXPECT_EQ(CWorkingCopyProgressDlg::timeLeftText(45), QStringLiteral("Temps restant : 45 s"));
    EXPECT_EQ(CWorkingCopyProgressDlg::timeLeftText(65), QStringLiteral("Temps restant : 1 min 05 s"));
    EXPECT_EQ(CWorkingCopyProgressDlg::timeLeftText(3725), QStringLiteral("Temps restant : 1 h 02 min"));
}

TEST(WorkingCopyPromptsTest, CacheSizeAndClearingForThePreferences) {
    EXPECT_EQ(CWorkingCopyCacheWidget::sizeText(0), QStringLiteral("Copies de travail : aucune"));
    EXPECT_EQ(CWorkingCopyCacheWidget::sizeText(5 << 20), QStringLiteral("Copies de travail : 5,0 Mo"));
    EXPECT_EQ(CWorkingCopyCacheWidget::sizeText(300LL << 20), QStringLiteral("Copies de travail : 300 Mo"));
    EXPECT_EQ(CWorkingCopyCacheWidget::sizeText(3LL << 29), QStringLiteral("Copies de travail : 1,5 Go"));

    QTemporaryDir dir;
    const QString strFolder = dir.filePath(QStringLiteral("proxies"));
    ASSERT_TRUE(QDir().mkpath(strFolder));
    for (const char* pszName : {"a.1.2.w960.mov", "b.3.4.w960.mov"}) {
        QFile f(strFolder + QLatin1Char('/') + QLatin1String(pszName));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3 << 20, 'x'));
    }
    auto pSettings = CSettingsStore::fromIniFile(dir.filePath(QStringLiteral("t.ini")));
    CQuickTime player;
    CWorkingCopyPrompts prompts;
    CWorkingCopyController controller(player, *pSettings, prompts, strFolder);
    CWorkingCopyCacheWidget widget(controller);
    EXPECT_EQ(widget.text(), QStringLiteral("Copies de travail : 6,0 Mo"));
    QTest::mouseClick(widget.clearButton(), Qt::LeftButton);
    EXPECT_EQ(widget.text(), QStringLiteral("Copies de travail : aucune"));
    EXPECT_TRUE(QDir(strFolder).isEmpty());
}
