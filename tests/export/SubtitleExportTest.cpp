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

TEST(SubtitleExport, SubRipCuesAreNumberedAndTimedAtTheScriptsRate) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath("st.srt");
    CVarE v;
    ASSERT_TRUE(exportSubtitles(v, strPath, nullptr, SUBTITLES_SUBRIP));
    EXPECT_EQ(readAll(strPath), "");

    const CRole* pA = addRole(v, "A");
    const int TEN_HOURS = 10 * 3600 * 25;
    addPhrase(v, pA, TEN_HOURS, TEN_HOURS + 62, QString::fromUtf8("  Bonjour   à  tous  "));
    // No closing sign and one sign only: two seconds on screen.
    addPhrase(v, pA, TEN_HOURS + 125, -1, "Salut", 2);
    // Stored line breaks stay lines of the cue; a blank line would end it and goes.
    addPhrase(v, nullptr, TEN_HOURS + 125, TEN_HOURS + 130, "Sans\r\n\r\nrôle", 1);
    // Nothing to show: no cue, and the numbering goes on without a gap.
    addPhrase(v, pA, TEN_HOURS + 150, TEN_HOURS + 160, "   ", 0);
    addPhrase(v, pA, TEN_HOURS + 200, TEN_HOURS + 224, QString::fromUtf8("Rire ő \u4E2D"), 0, true);
    ASSERT_TRUE(exportSubtitles(v, strPath, nullptr, SUBTITLES_SUBRIP));
    EXPECT_EQ(QString::fromUtf8(readAll(strPath)), QString::fromUtf8("1\r\n10:00:00,000 --> 10:00:02,480\r\n"
                                                                     "Bonjour à tous\r\n\r\n"
                                                                     "2\r\n10:00:05,000 --> 10:00:05,200\r\n"
                                                                     "Sans\r\nrôle\r\n\r\n"
                                                                     "3\r\n10:00:05,000 --> 10:00:07,000\r\n"
                                                                     "Salut\r\n\r\n"
                                                                     "4\r\n10:00:08,000 --> 10:00:08,960\r\n"
                                                                     "Rire ő \u4E2D\r\n\r\n"));

    // The frames of a timecode are milliseconds at the script's rate.
    v.setFrameRate(30);
    ASSERT_TRUE(exportSubtitles(v, strPath, nullptr, SUBTITLES_SUBRIP));
    EXPECT_TRUE(readAll(strPath).startsWith("1\r\n10:00:00,000 --> 10:00:02,400\r\n"))
        << readAll(strPath).constData();
}
