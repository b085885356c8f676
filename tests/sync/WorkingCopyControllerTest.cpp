#include "sync/WorkingCopyController.h"
#include "FrameNumber.h"
#include "MediaFiles.h"
#include "base/Settings.h"
#include "sync/QuickTime.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <deque>
#include <gtest/gtest.h>

namespace {
// Answers the question from a script and records what it was shown.
class CScriptedCopyPrompts : public IWorkingCopyPrompts {
public:
    std::deque<EAnswer> m_answers; // ANSWER_NO when empty
    QStringList m_questions;
    QStringList m_errors;
    QStringList m_movies; // named by the progress
    int m_nProgress = 0;
    bool m_bShown = false;
    double m_dDone = -1.0;
    int m_nCancelAt = -1; // presses "Annuler" at this progress report

    EAnswer askMakeCopy(const QString& strQuestion) override {
        m_questions << strQuestion;
        if (m_answers.empty()) return ANSWER_NO;
        const EAnswer a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    void showProgress(const QString& strMovie, double dDone, int) override {
        if (!m_movies.contains(strMovie)) m_movies << strMovie;
        EXPECT_GE(dDone, m_dDone);
        m_dDone = dDone;
        m_bShown = true;
        if (m_nProgress++ == m_nCancelAt && m_cancel) m_cancel();
    }
    void hideProgress() override {
        m_bShown = false;
        m_dDone = -1.0;
    }
    void error(const QString& strText) override { m_errors << strText; }
};

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

class WorkingCopyControllerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<CSettingsStore> pSettings =
        CSettingsStore::fromIniFile(dir.filePath(QStringLiteral("t.ini")));
    CScriptedCopyPrompts prompts;
    CQuickTime player;
    std::unique_ptr<CWorkingCopyController> pController;

    void SetUp() override {
        application();
        ASSERT_TRUE(player.initialize());
        pController = std::make_unique<CWorkingCopyController>(player, *pSettings, prompts, cacheFolder());
    }
    void TearDown() override { pController.reset(); }

    QString cacheFolder() const { return dir.filePath(QStringLiteral("proxies")); }
    QStringList cacheFiles() const { return QDir(cacheFolder()).entryList(QDir::Files | QDir::Hidden); }
    // Opens a movie as the document does, then tells the controller.
    void openMovie(const QString& strPath) {
        ASSERT_TRUE(player.open(strPath));
        pController->movieOpened();
        QCoreApplication::processEvents();
    }
    // A movie of its own, so that no other test's copy is found.
    QString ownMovie(const char* pszName) {
        const QString str = dir.filePath(QString::fromLatin1(pszName));
        EXPECT_TRUE(QFile::copy(testMedia(pszName), str));
        return str;
    }
};
} // namespace

TEST_F(WorkingCopyControllerTest, SlowMovieIsOfferedACopyThatThenPlaysInItsPlace) {
    const QString strMovie = ownMovie("longgop.mov");
    prompts.m_answers = {IWorkingCopyPrompts::ANSWER_YES};
    openMovie(strMovie);
    ASSERT_EQ(prompts.m_questions,
              QStringList(QStringLiteral(
                  "Ce film est lent à parcourir image par image. Créer une copie de travail ?")));
    EXPECT_TRUE(pController->isMaking());
    EXPECT_FALSE(pController->canSwitch());
    ASSERT_TRUE(player.Goto(CTimeCode("10:00:12:05")));
    ASSERT_TRUE(pController->waitForMaking(60000));
    EXPECT_TRUE(prompts.m_errors.isEmpty()) << qPrintable(prompts.m_errors.join('\n'));
    EXPECT_FALSE(prompts.m_bShown);
    EXPECT_EQ(prompts.m_movies, QStringList(QStringLiteral("longgop.mov")));

    // The copy plays from where the movie stood; the movie stays what the cut search reads.
    EXPECT_TRUE(pController->isPlayingCopy());
    EXPECT_TRUE(pController->canSwitch());
    EXPECT_EQ(player.getPlayedPath(), pController->copyPath());
    EXPECT_TRUE(pController->copyPath().startsWith(cacheFolder()));
    EXPECT_EQ(player.getPath(), strMovie);
    EXPECT_EQ(player.getCurrentTimeCode(), CTimeCode("10:00:12:05"));
    EXPECT_EQ(shownFrameNumber(player), 12 * 25 + 5);

    // "Copie de travail" goes back to the movie, and again to the copy.
    pController->OnViewWorkingCopy();
    EXPECT_FALSE(pController->isPlayingCopy());
    EXPECT_EQ(player.getPlayedPath(), strMovie);
    EXPECT_EQ(shownFrameNumber(player), 12 * 25 + 5);
    pController->OnViewWorkingCopy();
    EXPECT_TRUE(pController->isPlayingCopy());

    // Opened again, the movie plays its copy at once, without a question.
    openMovie(strMovie);
    EXPECT_EQ(prompts.m_questions.size(), 1);
    EXPECT_FALSE(pController->isMaking());
    EXPECT_TRUE(pController->isPlayingCopy());

    // The cache is emptied but for the copy playing.
    EXPECT_GT(pController->cacheSize(), 0);
    EXPECT_TRUE(pController->clearCache());
    EXPECT_TRUE(pController->isPlayingCopy());
    EXPECT_EQ(cacheFiles().size(), 1);
    pController->OnViewWorkingCopy();
    EXPECT_TRUE(pController->clearCache());
    EXPECT_TRUE(cacheFiles().isEmpty());
    EXPECT_FALSE(pController->canSwitch());
}

TEST_F(WorkingCopyControllerTest, TheSettingSaysAlwaysOrNeverAndFastMoviesAreLeftAlone) {
    openMovie(testMedia("frames.mov")); // 50-frame groups at 320 x 240: fast enough
    EXPECT_TRUE(prompts.m_questions.isEmpty());
    EXPECT_FALSE(pController->isMaking());

    prompts.m_answers = {IWorkingCopyPrompts::ANSWER_NEVER};
    openMovie(ownMovie("longgop.mov"));
    EXPECT_EQ(prompts.m_questions.size(), 1);
    EXPECT_FALSE(pController->isMaking());
    EXPECT_EQ(pSettings->get(Settings::WorkingCopy), int(CWorkingCopyController::MODE_NEVER));
    openMovie(ownMovie("long.mov"));
    EXPECT_EQ(prompts.m_questions.size(), 1);
    EXPECT_FALSE(pController->isMaking());

    pSettings->set(Settings::WorkingCopy, CWorkingCopyController::MODE_ASK);
    prompts.m_answers = {IWorkingCopyPrompts::ANSWER_ALWAYS};
    openMovie(dir.filePath(QStringLiteral("longgop.mov")));
    EXPECT_EQ(pSettings->get(Settings::WorkingCopy), int(CWorkingCopyController::MODE_ALWAYS));
    ASSERT_TRUE(pController->waitForMaking(60000));
    EXPECT_TRUE(pController->isPlayingCopy());
    // From now on slow movies get their copy without a question.
    const QString strOther = dir.filePath(QStringLiteral("autre.mov"));
    ASSERT_TRUE(QFile::copy(testMedia("quadsound.mov"), strOther));
    pSettings->set(Settings::WorkingCopyWidth, 160);
    openMovie(testMedia("opus.mkv"));
    EXPECT_FALSE(pController->isMaking()); // fast
    openMovie(dir.filePath(QStringLiteral("long.mov")));
    EXPECT_EQ(prompts.m_questions.size(), 2);
    EXPECT_TRUE(pController->isMaking());
    ASSERT_TRUE(pController->waitForMaking(120000));
    EXPECT_TRUE(pController->isPlayingCopy());
    EXPECT_TRUE(pController->copyPath().endsWith(QStringLiteral(".w160.mov")));
}

TEST_F(WorkingCopyControllerTest, TheCopyTakesOverWhilePlaying) {
    prompts.m_answers = {IWorkingCopyPrompts::ANSWER_YES};
    openMovie(ownMovie("long.mov"));
    ASSERT_TRUE(pController->isMaking());
    player.play(1.0f);
    const auto t0 = std::chrono::steady_clock::now();
    const int nStart = player.getTime();
    ASSERT_TRUE(pController->waitForMaking(120000));
    ASSERT_TRUE(pController->isPlayingCopy());
    // Still playing forward at normal speed, about where the wall clock says.
    EXPECT_FLOAT_EQ(player.getMovieRate(), 1.0f);
    const double dElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const int nAt = player.getTime();
    EXPECT_GT(nAt, nStart);
    EXPECT_NEAR(double(nAt - nStart) / 600.0, dElapsed, 1.0);
    QElapsedTimer timer;
    timer.start();
    while (player.getTime() <= nAt + 5 * 24 && timer.elapsed() < 3000)
        QThread::msleep(10);
    EXPECT_GT(player.getTime(), nAt + 5 * 24);
    player.play(0.0f);
}

TEST_F(WorkingCopyControllerTest, CancelAnotherMovieAndAnUnwritableCacheLeaveNoCopy) {
    // "Annuler" in the progress.
    prompts.m_answers = {IWorkingCopyPrompts::ANSWER_YES, IWorkingCopyPrompts::ANSWER_YES};
    prompts.m_nCancelAt = 2;
    const QString strLong = ownMovie("long.mov");
    openMovie(strLong);
    ASSERT_TRUE(pController->waitForMaking(60000));
    EXPECT_GE(prompts.m_nProgress, 3);
    EXPECT_TRUE(prompts.m_errors.isEmpty());
    EXPECT_FALSE(pController->canSwitch());
    EXPECT_EQ(player.getPlayedPath(), strLong);
    EXPECT_TRUE(cacheFiles().isEmpty()) << qPrintable(cacheFiles().join(' '));

    // Another movie opened during a making: the making is given up.
    prompts.m_nCancelAt = -1;
    openMovie(strLong);
    ASSERT_TRUE(pController->isMaking());
    openMovie(testMedia("frames.mov"));
    EXPECT_FALSE(pController->isMaking());
    EXPECT_FALSE(prompts.m_bShown);
    QCoreApplication::processEvents();
    EXPECT_EQ(player.getPlayedPath(), testMedia("frames.mov"));
    EXPECT_TRUE(cacheFiles().isEmpty());
    EXPECT_TRUE(prompts.m_errors.isEmpty());

    // A cache folder that cannot be made: the message, and the movie plays on.
    pController.reset();
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    pController = std::make_unique<CWorkingCopyController>(player, *pSettings, prompts,
                                                           dir.filePath(QStringLiteral("blocked/proxies")));
    prompts.m_answers = {IWorkingCopyPrompts::ANSWER_YES};
    openMovie(strLong);
    EXPECT_FALSE(pController->isMaking());
    ASSERT_EQ(prompts.m_errors.size(), 1);
    EXPECT_TRUE(prompts.m_errors.first().startsWith(
        QStringLiteral("Impossible de créer le dossier des copies de travail « ")));
    EXPECT_TRUE(player.hasMovie());
}
