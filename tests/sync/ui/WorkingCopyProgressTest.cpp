#include "sync/ui/WorkingCopyProgress.h"
#include "base/Settings.h"
#include "sync/QuickTime.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// The QApplication is the executable's one, set up beside the control view's tests.

TEST(WorkingCopyProgressTest, ShareDoneTimeLeftAndCancel) {
    CWorkingCopyProgressDlg dlg;
    int nCancels = 0;
    QObject::connect(&dlg, &CWorkingCopyProgressDlg::cancelled, [&] { ++nCancels; });
    EXPECT_FALSE(dlg.isModal()); // the work goes on beside it
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Copie de travail"));
    dlg.setProgress(QStringLiteral("film.mov"), 0.0, -1);
    EXPECT_EQ(dlg.timeLeft(), QStringLiteral("Temps restant : calcul en cours"));
    dlg.setProgress(QStringLiteral("film.mov"), 0.427, 80);
    EXPECT_EQ(dlg.text(), QStringLiteral("Création de la copie de travail de « film.mov » : 42 %"));
    EXPECT_EQ(dlg.timeLeft(), QStringLiteral("Temps restant : 1 min 20 s"));
    EXPECT_EQ(dlg.cancelButton()->text(), QStringLiteral("Annuler"));
    QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(nCancels, 1);

    EXPECT_EQ(CWorkingCopyProgressDlg::timeLeftText(45), QStringLiteral("Temps restant : 45 s"));
    EXPECT_EQ(CWorkingCopyProgressDlg::timeLeftText(65), QStringLiteral("Temps restant : 1 min 05 s"));
    EXPECT_EQ(CWorkingCopyProgressDlg::timeLeftText(3725), QStringLiteral("Temps restant : 1 h 02 min"));
}

TEST(WorkingCopyProgressTest, CacheSizeAndClearingForThePreferences) {
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
    struct : IWorkingCopyPrompts {
        EAnswer askMakeCopy(const QString&) override { return ANSWER_NO; }
        void showProgress(const QString&, double, int) override {}
        void hideProgress() override {}
        void error(const QString&) override {}
    } prompts;
    CWorkingCopyController controller(player, *pSettings, prompts, strFolder);
    CWorkingCopyCacheWidget widget(controller);
    EXPECT_EQ(widget.text(), QStringLiteral("Copies de travail : 6,0 Mo"));
    QTest::mouseClick(widget.clearButton(), Qt::LeftButton);
    EXPECT_EQ(widget.text(), QStringLiteral("Copies de travail : aucune"));
    EXPECT_TRUE(QDir(strFolder).isEmpty());
}
