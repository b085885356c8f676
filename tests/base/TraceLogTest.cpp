#include "base/TraceLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QStringList logFiles(const QString& dir) {
    return QDir(dir).entryList({"*.log"}, QDir::Files);
}

QString readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QString::fromUtf8(f.readAll());
}
} // namespace

TEST(TraceLog, OffWritesNothingAndClosesFile) {
    QTemporaryDir dir;
    CTraceLog log;
    log.Open(1, 0, dir.path(), "app");
    log.Log("hello %d\n", 1);
    EXPECT_TRUE(logFiles(dir.path()).isEmpty());

    log.Open(1, 1, dir.path(), "app");
    ASSERT_EQ(logFiles(dir.path()).size(), 1);
    EXPECT_FALSE(log.getLogPath().isEmpty());
    log.Open(1, 0, dir.path(), "app");
    EXPECT_TRUE(log.getLogPath().isEmpty());
    log.Log("not written\n");
    EXPECT_FALSE(readAll(dir.path() + "/" + logFiles(dir.path()).first()).contains("not written"));
}

TEST(TraceLog, FileNameLevelsMasksAndIndent) {
    QTemporaryDir dir;
    CTraceLog log;
    log.Open(1, 6, dir.path(), "vare");
    const QStringList files = logFiles(dir.path());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\dh\\d\\dm\\d\\d vare\\.log$")
                    .match(files[0])
                    .hasMatch())
        << files[0].toStdString();

    log.Log("plain\n");
    log.LogIf(2, "mask2\n");
    log.LogIf(4, "mask4\n");
    log.LogIf(8, "mask8\n");
    log.m_nIndent = 2;
    log.Log("indented\n");
    log.m_nIndent = -3;
    log.Log("negative\n");

    const QStringList lines = readAll(log.getLogPath()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << readAll(log.getLogPath()).toStdString();
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d{3}\\tFichier log : .*vare\\.log => [0-9A-F]+$")
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith("\tplain"));
    EXPECT_TRUE(lines[2].endsWith("\tmask2"));
    EXPECT_TRUE(lines[3].endsWith("\tmask4"));
    EXPECT_TRUE(
        QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d{3}\\t\\t\\tindented$").match(lines[4]).hasMatch());
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d{3}\\tnegative$").match(lines[5]).hasMatch());
}

TEST(TraceLog, LevelOneSkipsMaskedLines) {
    QTemporaryDir dir;
    CTraceLog log;
    log.Open(1, 1, dir.path(), "app");
    log.LogIf(2, "a\n");
    log.LogIf(4, "b\n");
    log.LogIf(8, "c\n");
    log.Log("d\n");
    const QString text = readAll(log.getLogPath());
    EXPECT_EQ(text.count('\n'), 2);
    EXPECT_TRUE(text.endsWith("\td\n"));
}

TEST(TraceLog, ConsoleOnlyCreatesNoFile) {
    QTemporaryDir dir;
    CTraceLog log;
    testing::internal::CaptureStdout();
    log.Open(4, 1, dir.path(), "app");
    log.m_nIndent = 1;
    log.Log("to console %s\n", "x");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(logFiles(dir.path()).isEmpty());
    const QStringList lines = QString::fromStdString(out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    // The path shown stops after the date, and no file handle.
    EXPECT_TRUE(QRegularExpression("Fichier log : .*/\\d{4}-\\d\\d-\\d\\d \\d\\dh\\d\\dm\\d\\d  => 0$")
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith("\t\tto console x"));
}

TEST(TraceLog, UnwritableFolderKeepsLogOnWithoutFile) {
    CTraceLog log;
    testing::internal::CaptureStdout();
    log.Open(1 | 4, 1, "/nonexistent/folder/for/logs", "app");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(log.isLogOn());
    EXPECT_TRUE(log.getLogPath().isEmpty());
    EXPECT_NE(out.find("Impossible d'écrire le fichier '/nonexistent/folder/for/logs/"), std::string::npos)
        << out;
    EXPECT_NE(out.find("app.log => 0"), std::string::npos) << out;
}
