#include "base/TraceLog.h"

#include <QDateTime>
#include <QDir>
#include <cstdarg>
#include <ctime>
#include <sys/time.h>

CTraceLog::~CTraceLog() {
    if (m_pFile) std::fclose(m_pFile);
}

QString CTraceLog::getLogPath() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_strPath;
}

bool CTraceLog::Open(int nType, int nLevel, const QString& strDirectory, const QString& strName) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_nType = nType;
    m_nLevel = nLevel;
    m_nIndent = 0;
    if (nLevel == 0) {
        if (m_pFile) std::fclose(m_pFile);
        m_pFile = nullptr;
        m_strPath.clear();
        return true;
    }

    std::time_t now = std::time(nullptr);
    std::tm tmNow;
    localtime_r(&now, &tmNow);
    char szDate[32];
    std::strftime(szDate, sizeof szDate, "%Y-%m-%d %Hh%Mm%S ", &tmNow);
    QByteArray path = QDir::cleanPath(strDirectory).toUtf8() + "/" + szDate;

    if (nType & TYPE_FILE) {
        if (m_pFile) std::fclose(m_pFile);
        m_pFile = nullptr;
        m_strPath.clear();
        path += strName.toUtf8() + ".log";
        m_pFile = std::fopen(path.constData(), "w");
        if (m_pFile)
            m_strPath = QString::fromUtf8(path);
        else
            writeLine("Impossible d'écrire le fichier '%s'\n", path.constData());
    }
    writeLine("Fichier log : %s => %lX\n", path.constData(), (unsigned long)(uintptr_t)m_pFile);
    return true;
}

void CTraceLog::write(const char* pszFormat, va_list args) {
    timeval tv;
    gettimeofday(&tv, nullptr);
    std::tm tmNow;
    localtime_r(&tv.tv_sec, &tmNow);
    char szPrefix[64];
    int n = std::snprintf(szPrefix, sizeof szPrefix, "%.2i:%.2i:%.2i:%.3i\t", tmNow.tm_hour, tmNow.tm_min,
                          tmNow.tm_sec, int(tv.tv_usec / 1000));
    const int nIndent = m_nIndent.load(std::memory_order_relaxed);
    for (int i = 0; i < nIndent && n < int(sizeof szPrefix) - 1; ++i)
        szPrefix[n++] = '\t';
    szPrefix[n] = 0;

    const int nType = m_nType.load(std::memory_order_relaxed);
    if ((nType & TYPE_FILE) && m_pFile) {
        va_list copy;
        va_copy(copy, args);
        std::fputs(szPrefix, m_pFile);
        std::vfprintf(m_pFile, pszFormat, copy);
        va_end(copy);
    }
    if (nType & TYPE_CONSOLE) {
        std::fputs(szPrefix, stdout);
        std::vfprintf(stdout, pszFormat, args);
    }
}

void CTraceLog::flush() {
    if (m_pFile) std::fflush(m_pFile);
    if (m_nType.load(std::memory_order_relaxed) & TYPE_CONSOLE) std::fflush(stdout);
}

void CTraceLog::writeLine(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    write(pszFormat, args);
    va_end(args);
    flush();
}

void CTraceLog::Log(const char* pszFormat, ...) {
    if (level() == 0) return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    va_list args;
    va_start(args, pszFormat);
    write(pszFormat, args);
    va_end(args);
    flush();
}

void CTraceLog::LogIf(int nMask, const char* pszFormat, ...) {
    if ((level() & nMask) == 0) return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    va_list args;
    va_start(args, pszFormat);
    write(pszFormat, args);
    va_end(args);
}
