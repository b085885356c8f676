#pragma once

#include <QString>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

// Diagnostic trace writer. Long-lived objects derive from it (or hold one) and write their own log,
// switched on by a level and routed by a type read from the "Logs" settings. With level 0 nothing is
// written and a disabled line costs one test.
//
// Type bits: 1 the log file, 2 reserved, 4 standard output.
// Level: 0 off; any other value writes Log() lines; LogIf(mask) writes when level & mask
// (2 model and view updates, 4 transport and idle traffic, 8 rendering).
//
// Threading: any thread may write (the auto-save and cut-search threads write beside the GUI thread).
// A line (time, indentation, message) is written whole under the log's lock, so lines of two threads
// never mix; Open takes the same lock. The level is tested before the lock: a disabled line still
// costs one test. The indentation is one counter shared by all threads.
class CTraceLog {
public:
    enum { TYPE_FILE = 1, TYPE_RESERVED = 2, TYPE_CONSOLE = 4 };
    enum { MASK_UPDATES = 2, MASK_TRANSPORT = 4, MASK_RENDER = 8 };

    CTraceLog() = default;
    CTraceLog(const CTraceLog&) = delete;
    CTraceLog& operator=(const CTraceLog&) = delete;
    virtual ~CTraceLog();

    bool Open(int nType, int nLevel, const QString& strDirectory, const QString& strName);

    void Log(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void LogIf(int nMask, const char* pszFormat, ...) __attribute__((format(printf, 3, 4)));

    bool isLogOn() const { return level() != 0; }
    bool isLogOn(int nMask) const { return (level() & nMask) != 0; }
    int getLogLevel() const { return level(); }
    int getLogType() const { return m_nType.load(std::memory_order_relaxed); }
    // Path of the current file, empty when none is open.
    QString getLogPath() const;

    std::atomic<int> m_nIndent{0};

private:
    int level() const { return m_nLevel.load(std::memory_order_relaxed); }
    // Both with m_mutex held.
    void write(const char* pszFormat, va_list args);
    void writeLine(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void flush();

    mutable std::mutex m_mutex;
    std::FILE* m_pFile = nullptr;
    std::atomic<int> m_nLevel{0};
    std::atomic<int> m_nType{0};
    QString m_strPath;
};

// Keeps a traced operation's indentation paired on every path: raises m_nIndent on entry and lowers
// it when the scope ends, before the caller writes its exit line.
class CLogIndent {
public:
    explicit CLogIndent(CTraceLog& log) : m_log(log) { ++m_log.m_nIndent; }
    ~CLogIndent() { release(); }
    void release() {
        if (m_bActive) --m_log.m_nIndent;
        m_bActive = false;
    }
    CLogIndent(const CLogIndent&) = delete;
    CLogIndent& operator=(const CLogIndent&) = delete;

private:
    CTraceLog& m_log;
    bool m_bActive = true;
};
