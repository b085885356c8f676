#include "sync/BroadcastWave.h"

#include "base/TraceLog.h"

#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
constexpr int MAX_CHUNKS_PER_LIST = 12;
constexpr int MAX_LIST_DEPTH = 8;  // deeper lists are skipped like ordinary chunks
constexpr int MAX_FMT_SEARCH = 64; // chunks examined when looking for the sample rate
// Nested lists could make a hostile file re-read its chunks over and over.
constexpr int MAX_CHUNKS_IN_ALL = 1024;
constexpr unsigned DEFAULT_SAMPLE_RATE = 48000;

// Offsets inside the "bext" data.
constexpr int BEXT_TIME_REFERENCE = 338;
constexpr int BEXT_VERSION = 346;
constexpr int BEXT_UMID = 348;
constexpr int BEXT_READ_SIZE = BEXT_UMID + 64; // what is read; the coding history is skipped

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class CRiffWalker {
public:
    CRiffWalker(std::FILE* pFile, CTraceLog& log) : m_pFile(pFile), m_log(log) {}

    // Walks the list whose identifier was just read; leaves the file at the end of the list when
    // it returns without a timestamp. Returns the list's size S.
    long long walkList(int nDepth);

    CTimeCode m_tc = TC_INVALID;

private:
    bool readId(char (&id)[5]) {
        if (std::fread(id, 1, 4, m_pFile) != 4) return false;
        id[4] = 0;
        return true;
    }
    bool readSize(uint32_t& n) {
        unsigned char b[4];
        if (std::fread(b, 1, 4, m_pFile) != 4) return false;
        n = le32(b);
        return true;
    }
    // Moves forward; a short file simply makes the next read fail.
    void skip(long long n) {
        if (n > 0) seek(long(n), SEEK_CUR);
    }
    // A stream over memory refuses to go past its end where a file goes: both then have nothing more
    // to read.
    void seek(long n, int nWhence) {
        if (std::fseek(m_pFile, n, nWhence) != 0) std::fseek(m_pFile, 0, SEEK_END);
    }
    void readIsmp();
    void readBext();
    unsigned findSampleRate();

    // The identifier trace waits for the rest of its line, so that one log line carries both.
    const char* pending() {
        m_szShown[0] = 0;
        std::memcpy(m_szShown, m_szPending, sizeof m_szPending);
        m_szPending[0] = 0;
        return m_szShown;
    }

    std::FILE* m_pFile;
    CTraceLog& m_log;
    int m_nBudget = MAX_CHUNKS_IN_ALL;
    char m_szPending[MAX_LIST_DEPTH + 8] = {};
    char m_szShown[MAX_LIST_DEPTH + 8] = {};
};

long long CRiffWalker::walkList(int nDepth) {
    const long nStart = std::ftell(m_pFile);
    uint32_t nSize = 0;
    char type[5] = {};
    if (!readSize(nSize) || !readId(type)) return 0;
    const long long S = nSize;
    m_log.Log("%s %s : 0x%X\n", pending(), type, nSize);
    long long nCount = 8;
    if (nCount >= S + 4) return S;

    for (int nExamined = 0;;) {
        char id[5];
        if (--m_nBudget < 0 || !readId(id)) return S;
        std::snprintf(m_szPending, sizeof m_szPending, "%.*s%s", nDepth, "\t\t\t\t\t\t\t\t", id);

        if (std::strcmp(id, "LIST") == 0 && nDepth < MAX_LIST_DEPTH) {
            const long nListStart = std::ftell(m_pFile);
            const long long nSub = walkList(nDepth + 1);
            if (m_tc.isValid()) return S;
            // Continue after the nested list whatever happened inside it.
            const long long nPadded = nSub + (nSub & 1);
            seek(long(nListStart + 4 + nPadded), SEEK_SET);
            nCount += 8 + nPadded;
        } else if (std::strcmp(id, "ISMP") == 0) {
            readIsmp();
            return S;
        } else if (std::strcmp(id, "bext") == 0) {
            readBext();
            return S;
        } else {
            uint32_t n = 0;
            if (!readSize(n)) return S;
            m_log.Log("%s : 0x%X\n", pending(), n);
            const long long nPadded = (long long)n + (n & 1);
            skip(nPadded);
            nCount += 8 + nPadded;
        }

        if (nExamined >= MAX_CHUNKS_PER_LIST - 1) {
            m_log.Log("...\n");
            seek(long(nStart + 4 + S), SEEK_SET);
            return S;
        }
        ++nExamined;
        if (nCount >= S + 4) return S;
    }
}

void CRiffWalker::readIsmp() {
    uint32_t n = 0;
    if (!readSize(n)) return;
    // Room for a 5-character prefix, an 11-character timecode and its terminator.
    char sz[20] = {};
    const size_t nWanted = n < sizeof sz - 1 ? n : sizeof sz - 1;
    const size_t nRead = std::fread(sz, 1, nWanted, m_pFile);
    sz[nRead] = 0;
    skip((long long)n - (long long)nWanted + (n & 1));
    const char* pText = sz[0] == '+' ? (std::strlen(sz) >= 5 ? sz + 5 : sz + std::strlen(sz)) : sz;
    CTimeCode tc = TC_INVALID;
    tc.parse(pText);
    m_tc = tc;
    m_log.Log("%s %s\n", pending(), m_tc.getText());
}

void CRiffWalker::readBext() {
    uint32_t n = 0;
    if (!readSize(n)) return;
    const long nData = std::ftell(m_pFile);
    unsigned char data[BEXT_READ_SIZE] = {};
    const size_t nWanted = n < sizeof data ? n : sizeof data;
    const size_t nRead = std::fread(data, 1, nWanted, m_pFile);

    auto text = [&](int nOffset, int nLength) {
        return QByteArray(reinterpret_cast<const char*>(data) + nOffset,
                          int(strnlen(reinterpret_cast<const char*>(data) + nOffset, size_t(nLength))));
    };
    m_log.Log("%sDescription : %s\n", pending(), text(0, 256).constData());
    m_log.Log("Originator : %s\n", text(256, 32).constData());
    m_log.Log("OriginatorReference : %s\n", text(288, 32).constData());
    m_log.Log("OriginatorDate : %s\n", text(320, 10).constData());
    m_log.Log("OriginatorTime : %s\n", text(330, 8).constData());

    // Without the whole time reference the chunk carries no timestamp.
    if (nRead < size_t(BEXT_TIME_REFERENCE + 8)) return;
    const uint32_t nLow = le32(data + BEXT_TIME_REFERENCE);
    const uint32_t nHigh = le32(data + BEXT_TIME_REFERENCE + 4);
    const uint64_t nSamples = uint64_t(nHigh) << 32 | nLow;

    const unsigned nRate = findSampleRate();
    seek(nData, SEEK_SET);
    // Whole frames at 25 fps since midnight, without overflowing for any 64-bit count.
    const uint64_t nFrames = nSamples / nRate * 25 + nSamples % nRate * 25 / nRate;
    m_tc.setFrames(int(nFrames % uint64_t(CTimeCode::FRAMES_PER_DAY)));
    m_log.Log("TimeReference : %.4X %.4X => %s\n", nHigh, nLow, m_tc.getText());

    if (nRead >= size_t(BEXT_VERSION + 2))
        m_log.Log("Version : %.2X\n", unsigned(data[BEXT_VERSION]) | unsigned(data[BEXT_VERSION + 1]) << 8);
    if (nRead >= size_t(BEXT_UMID + 64) && m_log.isLogOn()) {
        char sz[64 * 3 + 1];
        for (int i = 0; i < 64; ++i)
            std::snprintf(sz + 3 * i, 4, "%.2X ", unsigned(data[BEXT_UMID + i]));
        m_log.Log("SMPTE UMID : %s \n", sz);
    }
}

// The sample rate of the "fmt " chunk among the top-level chunks; 48 kHz when there is none.
unsigned CRiffWalker::findSampleRate() {
    seek(12, SEEK_SET);
    for (int i = 0; i < MAX_FMT_SEARCH; ++i) {
        char id[5];
        uint32_t n = 0;
        if (!readId(id) || !readSize(n)) break;
        if (std::strcmp(id, "fmt ") == 0) {
            unsigned char fmt[8];
            if (n < 8 || std::fread(fmt, 1, 8, m_pFile) != 8) break;
            const uint32_t nRate = le32(fmt + 4);
            return nRate != 0 ? nRate : DEFAULT_SAMPLE_RATE;
        }
        skip((long long)n + (n & 1));
    }
    return DEFAULT_SAMPLE_RATE;
}
} // namespace

CTimeCode readTimeStamp(const QString& strPath, CTraceLog& log) {
    const QByteArray path = QFile::encodeName(strPath);
    std::FILE* pFile = std::fopen(path.constData(), "rb");
    if (!pFile) {
        log.Log("Impossible d'ouvrir le fichier '%s'\n", path.constData());
        return TC_INVALID;
    }
    const CTimeCode tc = readTimeStamp(pFile, path.constData(), log);
    std::fclose(pFile);
    return tc;
}

CTimeCode readTimeStamp(std::FILE* pFile, const char* pszName, CTraceLog& log) {
    CRiffWalker walker(pFile, log);
    char id[4];
    if (std::fread(id, 1, 4, pFile) != 4 || std::memcmp(id, "RIFF", 4) != 0) {
        log.Log("'%s' is not a RIFF file\n", pszName);
    } else {
        walker.walkList(1);
        log.Log("Timestamp extrait : %s\n", walker.m_tc.getText());
    }
    return walker.m_tc;
}
