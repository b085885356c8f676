#include "base/TraceLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

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

// The auto-save and cut-search threads write beside the GUI thread: every line arrives whole, in each
// thread's order, and the shared indentation is back to zero once every traced scope has ended.
TEST(TraceLog, LinesFromSeveralThreadsStayWhole) {
    QTemporaryDir dir;
    CTraceLog log;
    log.Open(CTraceLog::TYPE_FILE, 15, dir.path(), "threads");
    constexpr int THREADS = 4, LINES = 3000;
    const std::string strPayload(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < LINES; ++i) {
                CLogIndent indent(log);
                if (i % 2)
                    log.Log("thread %d line %d %s\n", t, i, strPayload.c_str());
                else
                    log.LogIf(CTraceLog::MASK_UPDATES, "thread %d line %d %s\n", t, i, strPayload.c_str());
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(log.m_nIndent.load(), 0);

    const QStringList lines = readAll(log.getLogPath()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + THREADS * LINES);
    const QRegularExpression line(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d{3}\\t+thread (\\d) line (\\d+) x{300}$"));
    int next[THREADS] = {};
    int nBroken = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = line.match(lines[i]);
        if (!m.hasMatch()) {
            if (++nBroken < 3) ADD_FAILURE() << "broken line: " << lines[i].left(120).toStdString();
            continue;
        }
        const int t = m.captured(1).toInt();
        ASSERT_LT(t, THREADS);
        EXPECT_EQ(m.captured(2).toInt(), next[t]++) << "thread " << t;
    }
    EXPECT_EQ(nBroken, 0);
}

// The indentation alone, on a log that writes nothing: raised and lowered from several threads at once.
TEST(TraceLog, IndentationSharedByThreadsKeepsItsCount) {
    CTraceLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200000; ++i) {
                CLogIndent indent(log);
                log.LogIf(CTraceLog::MASK_RENDER, "never written %d\n", i);
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(log.m_nIndent.load(), 0);
}

// A log opened again (a new document) or switched off while another thread writes into it.
TEST(TraceLog, ReopenedWhileAnotherThreadWrites) {
    QTemporaryDir dir;
    CTraceLog log;
    log.Open(CTraceLog::TYPE_FILE, 1, dir.path(), "reopen");
    std::atomic<bool> bDone{false};
    std::thread writer([&] {
        for (int i = 0; !bDone; ++i)
            log.Log("writer line %d\n", i);
    });
    for (int i = 0; i < 40; ++i) {
        log.Open(CTraceLog::TYPE_FILE, i % 4 == 3 ? 0 : 1, dir.path(), "reopen");
        std::this_thread::yield();
    }
    log.Open(CTraceLog::TYPE_FILE, 1, dir.path(), "reopen");
    log.Log("last\n");
    bDone = true;
    writer.join();
    const QStringList lines = readAll(log.getLogPath()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    const QRegularExpression line(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d{3}\\t(writer line \\d+|last|Fichier log : .*)$"));
    for (const QString& s : lines)
        EXPECT_TRUE(line.match(s).hasMatch()) << s.toStdString();
}
