#include "export/SubtitleExport.h"
#include "ExportScripts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exporttest;

TEST(SubtitleExport, BytesOfEveryPhraseInScriptOrder) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath("st.txt");
    CVarE v;
    ASSERT_TRUE(exportSubtitles(v, strPath));
    EXPECT_EQ(readAll(strPath), "\r\n");

    const CRole* pA = addRole(v, "A");
    const int TEN_HOURS = 10 * 3600 * 25;
    addPhrase(v, pA, TEN_HOURS, TEN_HOURS + 62, QString::fromUtf8("  Bonjour   à  tous  "));
    addPhrase(v, pA, TEN_HOURS + 125, -1, "Salut", 2);
    addPhrase(v, nullptr, TEN_HOURS + 125, TEN_HOURS + 130, "Sans\r\nrôle",
              1); // same frame, lower track first
    addPhrase(v, pA, TEN_HOURS + 200, TEN_HOURS + 210, QString::fromUtf8("Rire ő \u4E2D"), 0, true);
    ASSERT_TRUE(exportSubtitles(v, strPath));
    EXPECT_EQ(readAll(strPath), "\r\n"
                                " 10:00:00:00  10:00:02:12\r\nBonjour \xE0 tous\r\n"
                                " 10:00:05:00  10:00:05:05\r\nSans\r\nr\xF4le\r\n"
                                " 10:00:05:00\r\nSalut\r\n"
                                " 10:00:08:00  10:00:08:10\r\nRire o ?\r\n");
}

TEST(SubtitleExport, FailureKeepsThePreviousFile) {
    QTemporaryDir dir;
    CVarE v;
    EXPECT_FALSE(exportSubtitles(v, dir.filePath("absent/st.txt")));
    EXPECT_FALSE(exportSubtitles(v, dir.path()));
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}
