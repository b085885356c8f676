#include "TestApp.h"

#include "app/Commands.h"
#include "sync/WorkingCopyCache.h"
#include "sync/WorkingCopyController.h"
#include "sync/WorkingCopyMaker.h"

#include <QMenu>
#include <gtest/gtest.h>

namespace {
// The program with a cache folder of its own.
struct SWorkingCopyApp : ::testing::Test {
    STestApp t{QStringLiteral("[Misc]\nFirstRun=0\n[Settings]\nWorkingCopy=2\n")};
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
    EXPECT_FALSE(entry()->isEnabled()); // no movie

    // A slow movie whose copy is in the cache already.
    const QString strMovie = t.path(QStringLiteral("film.mov"));
    ASSERT_TRUE(QFile::copy(testMedia("longgop.mov"), strMovie));
    CWorkingCopyCache cache;
    EXPECT_TRUE(cache.folder().startsWith(t.path(QStringLiteral("cache"))));
    ASSERT_TRUE(cache.prepare());
    const QString strCopy = cache.copyPath(strMovie);
    ASSERT_EQ(CWorkingCopyMaker().make(strMovie, strCopy, CWorkingCopyCache::DEFAULT_WIDTH),
              CWorkingCopyMaker::MADE);

    ASSERT_TRUE(t.doc().openVideoFile(strMovie));
    QCoreApplication::processEvents();
    CQuickTime& qt = t.app().player();
    EXPECT_EQ(qt.getPlayedPath(), strCopy);
    EXPECT_EQ(qt.getPath(), strMovie);
    EXPECT_TRUE(entry()->isEnabled());
    EXPECT_TRUE(entry()->isChecked());
    EXPECT_TRUE(t.prompts.m_messages.empty());

    t.app().gotoTime(CTimeCode("10:00:04:10"));
    EXPECT_TRUE(t.app().commands().trigger(Cmd::VIEW_WORKING_COPY));
    EXPECT_EQ(qt.getPlayedPath(), strMovie);
    EXPECT_FALSE(entry()->isChecked());
    EXPECT_EQ(t.app().getTimeCode(), CTimeCode("10:00:04:10"));
    EXPECT_TRUE(t.app().commands().trigger(Cmd::VIEW_WORKING_COPY));
    EXPECT_EQ(qt.getPlayedPath(), strCopy);
    EXPECT_TRUE(entry()->isChecked());
    EXPECT_EQ(t.app().getTimeCode(), CTimeCode("10:00:04:10"));

    // Another movie, without copy: the entry goes grey; the setting says never, so nothing is asked.
    ASSERT_TRUE(t.doc().openVideoFile(testMedia("long.mov")));
    QCoreApplication::processEvents();
    EXPECT_FALSE(entry()->isEnabled());
    EXPECT_FALSE(entry()->isChecked());
    EXPECT_FALSE(t.app().workingCopy().isMaking());
}
