#include "base/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void touch(const QString& strPath) {
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile f(strPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}
} // namespace

TEST(DataFolder, InstalledProgramReadsShareBesideItsBin) {
    QTemporaryDir prefix;
    QDir().mkpath(prefix.filePath("bin"));
    touch(prefix.filePath("share/tavorin/docs/Notes de version.md"));
    touch(prefix.filePath("share/tavorin/fonts/OpenSans-Light.ttf"));

    const CDataFolder data(prefix.filePath("bin"));
    EXPECT_TRUE(data.isInstalled());
    ASSERT_EQ(data.roots().size(), 1);
    EXPECT_EQ(data.filePath("docs/Notes de version.md"),
              QFileInfo(prefix.filePath("share/tavorin/docs/Notes de version.md")).absoluteFilePath());
    EXPECT_EQ(data.folderPath("fonts"), QFileInfo(prefix.filePath("share/tavorin/fonts")).absoluteFilePath());
    // A file is not a folder, a folder is not a file, nothing is found outside the data folder.
    EXPECT_TRUE(data.filePath("fonts").isEmpty());
    EXPECT_TRUE(data.folderPath("docs/Notes de version.md").isEmpty());
    EXPECT_TRUE(data.filePath("docs/absent.md").isEmpty());
    // The install wins even inside a build tree (an install into the build folder).
    const CDataFolder moved(prefix.filePath("bin/"));
    EXPECT_TRUE(moved.isInstalled());
}

TEST(DataFolder, BuildTreeReadsTheSourcesAndACopyElsewhereReadsNothing) {
    // This test runs from the build tree: docs/ of the sources is the data folder's "docs".
    const CDataFolder build(QStringLiteral(TAVORIN_BINARY_DIR "/cli"));
    EXPECT_FALSE(build.isInstalled());
    EXPECT_EQ(build.filePath("docs/DESIGN.md"),
              QFileInfo(QStringLiteral(TAVORIN_SOURCE_DIR "/docs/DESIGN.md")).absoluteFilePath());
    EXPECT_FALSE(build.folderPath("docs").isEmpty());

    // A program copied alone somewhere has no data folder, whatever checkout built it.
    QTemporaryDir elsewhere;
    const CDataFolder copy(elsewhere.path());
    EXPECT_FALSE(copy.isInstalled());
    EXPECT_TRUE(copy.roots().isEmpty());
    EXPECT_TRUE(copy.filePath("docs/DESIGN.md").isEmpty());
    // Nor does one in a folder whose name only starts like the build folder's.
    const CDataFolder lookalike(QStringLiteral(TAVORIN_BINARY_DIR "-other/bin"));
    EXPECT_TRUE(lookalike.roots().isEmpty());
}
