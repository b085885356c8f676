#include "TestApp.h"

#include "app/Commands.h"
#include "sync/WorkingCopyCache.h"
#include "sync/WorkingCopyController.h"
#include "sync/WorkingCopyMaker.h"

#include "app/WorkingCopyPrompts.h"
#include "sync/ui/WorkingCopyProgress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// The program with a cache folder of its own.
struct SWorkingCopyApp : ::testing::Test {
    STestApp t{QStringLiteral("[Misc]\nFirstRun=0\n[Settings]\nWorkingCopy=2\n")};
    // The progress window, when one is shown.
    static CWorkingCopyProgressDlg* progressWindow() {
        for (QWidget* p : QApplication::topLevelWidgets())
            if (auto* pDlg = qobject_cast<CWorkingCopyProgressDlg*>(p); pDlg && pDlg->isVisible())
                return pDlg;
        return nullptr;
    }
    QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    void SetUp() override {
        qputenv("XDG_CACHE_HOME", t.path(QStringLiteral("cache")).toUtf8());
        ASSERT_TRUE(t.start());
    }
    void TearDown() override { qputenv("XDG_CACHE_HOME", savedCache); }
    QAction* entry() { return t.app().commands().action(Cmd::VIEW_WORKING_COPY); }
};
} // namespace

TEST_F(SWorkingCopyApp, TheViewMenuSwitchesBetweenTheCopyAndTheMovie) {
    QMenu* pView = t.app().mainFrame().menu(4);
    ASSERT_NE(pView, nullptr);
    ASSERT_TRUE(pView->actions().contains(entry()));
    EXPECT_EQ(entry()->text(), QStringLiteral("Copie de travail"));
    EXPECT_TRUE(entry()->isCheckable());
    EXPECT_FALSE(t.app().commands().isEnabled(Cmd::VIEW_WORKING_COPY)); // no movie

    // A slow movie whose copy is in the cache already.
    const QString strMovie = t.path(QStringLiteral("film.mov"));
    ASSERT_TRUE(QFile::copy(testMedia("longgop.mov"), strMovie));
    CWorkingCopyCache cache;
    EXPECT_TRUE(cache.folder().startsWith(t.path(QStringLiteral("cache"))));
    ASSERT_TRUE(cache.prepare());
    const QString strCopy = cache.copyPath(strMovie);
    ASSERT_EQ(CWorkingCopyMaker().make(strMovie, strCopy, CWorkingCopyCache::DEFAULT_WIDTH),
              CWorkingCopyMaker::MADE);

    ASSERT_TRUE(t.app().media().openVideoFile(strMovie));
    QCoreApplication::processEvents();
    CQuickTime& qt = t.app().player();
    EXPECT_EQ(qt.getPlayedPath(), strCopy);
    EXPECT_EQ(qt.getPath(), strMovie);
    EXPECT_TRUE(t.app().commands().isEnabled(Cmd::VIEW_WORKING_COPY));
    EXPECT_TRUE(entry()->isChecked());
    EXPECT_TRUE(t.prompts.m_messages.empty());

    t.app().transport().gotoTime(CTimeCode("10:00:04:10"));
    EXPECT_TRUE(t.app().commands().trigger(Cmd::VIEW_WORKING_COPY));
    EXPECT_EQ(qt.getPlayedPath(), strMovie);
    EXPECT_FALSE(entry()->isChecked());
    EXPECT_EQ(t.app().transport().getTimeCode(), CTimeCode("10:00:04:10"));
    EXPECT_TRUE(t.app().commands().trigger(Cmd::VIEW_WORKING_COPY));
    EXPECT_EQ(qt.getPlayedPath(), strCopy);
    EXPECT_TRUE(entry()->isChecked());
    EXPECT_EQ(t.app().transport().getTimeCode(), CTimeCode("10:00:04:10"));

    // Another movie, without copy: the entry goes grey; the setting says never, so nothing is asked.
    ASSERT_TRUE(t.app().media().openVideoFile(testMedia("long.mov")));
    QCoreApplication::processEvents();
    EXPECT_FALSE(t.app().commands().isEnabled(Cmd::VIEW_WORKING_COPY));
    EXPECT_FALSE(entry()->isChecked());
    EXPECT_FALSE(t.app().workingCopy().isMaking());
}

TEST_F(SWorkingCopyApp, ASlowMovieAsksThenTheCopyIsMadeWithItsProgressAndPlays) {
    t.app().settings().set(Settings::WorkingCopy, CWorkingCopyController::MODE_ASK);
    t.prompts.m_answers = {QMessageBox::YesToAll}; // "Toujours"
    const QString strMovie = t.path(QStringLiteral("lent.mov"));
    ASSERT_TRUE(QFile::copy(testMedia("long.mov"), strMovie));
    ASSERT_TRUE(t.app().media().openVideoFile(strMovie));
    ASSERT_TRUE(waitUntil([&] { return t.app().workingCopy().isMaking(); }));
    EXPECT_TRUE(t.prompts.told(CWorkingCopyController::question()));
    EXPECT_EQ(t.prompts.m_messages.back().eIcon, IPrompts::ICON_QUESTION);
    EXPECT_EQ(t.app().settings().get(Settings::WorkingCopy), int(CWorkingCopyController::MODE_ALWAYS));
    ASSERT_TRUE(waitUntil([&] { return progressWindow() != nullptr; }, 10000));
    EXPECT_TRUE(progressWindow()->text().startsWith(
        QStringLiteral("Création de la copie de travail de « lent.mov » : ")));

    ASSERT_TRUE(t.app().workingCopy().waitForMaking(120000));
    EXPECT_EQ(progressWindow(), nullptr);
    EXPECT_NE(t.app().player().getPlayedPath(), strMovie);
    EXPECT_EQ(t.app().player().getPath(), strMovie);
    EXPECT_TRUE(t.app().commands().isEnabled(Cmd::VIEW_WORKING_COPY));
    EXPECT_TRUE(entry()->isChecked());
    EXPECT_EQ(t.prompts.m_messages.size(), 1u); // the question, no failure
}

TEST(WorkingCopyQuestion, TheMessageBoxSaysOuiNonToujoursJamais) {
    CPrompts prompts;
    CWorkingCopyPrompts copyPrompts(prompts, nullptr);
    QStringList captions;
    for (const char* pszAnswer : {"&Toujours", "&Jamais", "&Non", "&Oui"}) {
        const QString strAnswer = QString::fromUtf8(pszAnswer);
        QTimer::singleShot(0, [&, strAnswer] {
            auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(pBox, nullptr);
            captions.clear();
            for (QAbstractButton* p : pBox->buttons())
                captions << p->text();
            for (QAbstractButton* p : pBox->buttons())
                if (p->text() == strAnswer) return p->click();
            pBox->reject();
        });
        const IWorkingCopyPrompts::EAnswer e = copyPrompts.askMakeCopy(CWorkingCopyController::question());
        const IWorkingCopyPrompts::EAnswer expected =
            strAnswer == QLatin1String("&Toujours") ? IWorkingCopyPrompts::ANSWER_ALWAYS
            : strAnswer == QLatin1String("&Jamais") ? IWorkingCopyPrompts::ANSWER_NEVER
            : strAnswer == QLatin1String("&Non")    ? IWorkingCopyPrompts::ANSWER_NO
                                                    : IWorkingCopyPrompts::ANSWER_YES;
        EXPECT_EQ(e, expected) << qPrintable(strAnswer);
        captions.sort();
        EXPECT_EQ(captions, QStringList({QStringLiteral("&Jamais"), QStringLiteral("&Non"),
                                         QStringLiteral("&Oui"), QStringLiteral("&Toujours")}));
    }
}
