#include "base/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Settings, IniBesideProgramWhenWritable) {
    QTemporaryDir dir;
    {
        CSettingsStore store(dir.path());
        EXPECT_FALSE(store.isIniMode()); // no file: the user's settings
    }
    QFile f(dir.filePath("Tavorin.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    {
        CSettingsStore store(dir.path());
        ASSERT_TRUE(store.isIniMode());
        EXPECT_EQ(store.get(Settings::AutoSaveTimer), 300000);
        EXPECT_EQ(store.get(Settings::Theme), 1);
        EXPECT_EQ(store.get(Settings::DefaultImage), "mire.jpg");
        store.set(Settings::ZoomLevel, 5);
        store.set(Settings::VarEPath, QStringLiteral("/home/auteur/Détections"));
        store.sync();
    }
    {
        CSettingsStore store(dir.path());
        EXPECT_EQ(store.get(Settings::ZoomLevel), 5);
        EXPECT_EQ(store.get(Settings::VarEPath), QStringLiteral("/home/auteur/Détections"));
        store.WriteProfileString("Paths", "VarEPath", QString());
        EXPECT_EQ(store.get(Settings::VarEPath), "");
        // A value that is not a number reads as the default.
        store.WriteProfileString("Settings", "ZoomLevel", "beaucoup");
        EXPECT_EQ(store.get(Settings::ZoomLevel), 2);
    }
    if (geteuid() != 0) { // root can write a read-only file
        f.setPermissions(QFile::ReadOwner);
        CSettingsStore store(dir.path());
        EXPECT_FALSE(store.isIniMode());
    }
}
