#include "base/TraceLog.h"

#include <QDateTime>
#include <QDir>
#include <cstdarg>
#include <ctime>
#include <sys/time.h>

CTraceLog::~CTraceLog() {
    if (m_pFile) std::fclose(m_pFile);
}

bool CTraceLog::Open(int nType, int nLevel, const QString& strDirectory, const QString& strName) {
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
            Log("Impossible d'écrire le fichier '%s'\n", path.constData());
    }
    Log("Fichier log : %s => %lX\n", path.constData(), (unsigned long)(uintptr_t)m_pFile);
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
    for (int i = 0; i < m_nIndent && n < int(sizeof szPrefix) - 1; ++i)
        szPrefix[n++] = '\t';
    szPrefix[n] = 0;

    const bool bFile = (m_nType & TYPE_FILE) && m_pFile;
    const bool bConsole = (m_nType & TYPE_CONSOLE) != 0;
    if (bFile) {
        va_list copy;
        va_copy(copy, args);
        std::fputs(szPrefix, m_pFile);
        std::vfprintf(m_pFile, pszFormat, copy);
        va_end(copy);
    }
    if (bConsole) {
        std::fputs(szPrefix, stdout);
        std::vfprintf(stdout, pszFormat, args);
    }
}

void CTraceLog::Log(const char* pszFormat, ...) {
    if (m_nLevel == 0) return;
    va_list args;
    va_start(args, pszFormat);
    write(pszFormat, args);
    va_end(args);
    if (m_pFile) std::fflush(m_pFile);
    if (m_nType & TYPE_CONSOLE) std::fflush(stdout);
}

void CTraceLog::LogIf(int nMask, const char* pszFormat, ...) {
    if ((m_nLevel & nMask) == 0) return;
    va_list args;
    va_start(args, pszFormat);
    write(pszFormat, args);
    va_end(args);
}
