#include "sync/BroadcastWave.h"
#include "base/TraceLog.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray le32(uint32_t n) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = char((n >> (8 * i)) & 0xFF);
    return b;
}

QByteArray chunk(const char* pszId, const QByteArray& data) {
    QByteArray b = QByteArray(pszId, 4) + le32(uint32_t(data.size())) + data;
    if (data.size() & 1) b += '\0';
    return b;
}

QByteArray list(const char* pszType, const QByteArray& chunks) {
    return chunk("LIST", QByteArray(pszType, 4) + chunks);
}

QByteArray riff(const QByteArray& chunks) {
    return chunk("RIFF", "WAVE" + chunks);
}

QByteArray fmt(uint32_t nRate) {
    QByteArray d;
    d += char(1), d += char(0); // PCM
    d += char(2), d += char(0); // channels
    d += le32(nRate) + le32(nRate * 4);
    d += char(4), d += char(0), d += char(16), d += char(0);
    return chunk("fmt ", d);
}

QByteArray bext(uint64_t nReference) {
    QByteArray d(602, 0);
    const QByteArray desc("Essai de description");
    d.replace(0, desc.size(), desc);
    d.replace(256, 7, "Tavorin");
    d.replace(338, 4, le32(uint32_t(nReference)));
    d.replace(342, 4, le32(uint32_t(nReference >> 32)));
    d[346] = 1;
    for (int i = 0; i < 64; ++i)
        d[348 + i] = char(0x80 + i); // high bit set on purpose
    return chunk("bext", d);
}

QByteArray data(int n) {
    return chunk("data", QByteArray(n, '\x11'));
}

class BroadcastWaveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    CTimeCode read(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QString("f%1.wav").arg(m_nFile++));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        return readTimeStamp(path, m_log);
    }

    // Reads with a log written to a file and returns that log's text.
    QString readTraced(const QByteArray& bytes, CTimeCode& tc) {
        CTraceLog log;
        log.Open(CTraceLog::TYPE_FILE, 1, m_dir.path(), QString("trace%1").arg(m_nFile));
        const QString path = m_dir.filePath(QString("t%1.wav").arg(m_nFile++));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        tc = readTimeStamp(path, log);
        QFile logFile(log.getLogPath());
        EXPECT_TRUE(logFile.open(QIODevice::ReadOnly));
        return QString::fromUtf8(logFile.readAll());
    }

    QTemporaryDir m_dir;
    CTraceLog m_log;
    int m_nFile = 0;
};
} // namespace

TEST_F(BroadcastWaveTest, TimeReferenceAt48kHz) {
    EXPECT_STREQ(read(riff(bext(1728000000ULL) + fmt(48000) + data(10))).getText(), "10:00:00:00");
    EXPECT_STREQ(read(riff(fmt(48000) + bext(48000) + data(10))).getText(), "00:00:01:00");
    const CTimeCode tc = read(riff(fmt(48000) + bext(1919) + data(10)));
    EXPECT_TRUE(tc.isValid());
    EXPECT_STREQ(tc.getText(), "00:00:00:00");
    // No format chunk at all: the count is read as 48 kHz.
    EXPECT_STREQ(read(riff(bext(1728000000ULL))).getText(), "10:00:00:00");
}

TEST_F(BroadcastWaveTest, OtherSampleRatesAndLongReferences) {
    // 10 h at 44.1 kHz, with the format chunk after and before the extension.
    EXPECT_STREQ(read(riff(bext(1587600000ULL) + fmt(44100) + data(4))).getText(), "10:00:00:00");
    EXPECT_STREQ(read(riff(fmt(44100) + bext(1587600000ULL + 44100ULL * 3 + 1764) + data(4))).getText(),
                 "10:00:03:01");
    // 13 h at 48 kHz is past 2^31 samples; 20 h at 96 kHz is past 2^32.
    EXPECT_STREQ(read(riff(fmt(48000) + bext(2246400000ULL))).getText(), "13:00:00:00");
    EXPECT_STREQ(read(riff(fmt(96000) + bext(6912000000ULL))).getText(), "20:00:00:00");
    // A format chunk claiming 0 Hz falls back to 48 kHz instead of dividing by zero.
    EXPECT_STREQ(read(riff(fmt(0) + bext(1728000000ULL))).getText(), "10:00:00:00");
}

TEST_F(BroadcastWaveTest, OddChunksAreSkippedWithTheirPadByte) {
    QByteArray odd = chunk("junk", QByteArray(17, 'x'));
    ASSERT_EQ(odd.size(), 8 + 18);
    EXPECT_STREQ(read(riff(odd + bext(1728000000ULL))).getText(), "10:00:00:00");
    // Without honouring the pad byte the walk would read "\0bex" as an identifier.
    EXPECT_STREQ(read(riff(odd + chunk("abcd", QByteArray(3, 'y')) + fmt(48000) + bext(48000))).getText(),
                 "00:00:01:00");
}

TEST_F(BroadcastWaveTest, SmpteTextInInfoList) {
    EXPECT_STREQ(read(riff(fmt(48000) + list("INFO", chunk("ISMP", "10:00:00:00")) + data(2))).getText(),
                 "10:00:00:00");
    EXPECT_STREQ(read(riff(list("INFO", chunk("INAM", "titre") + chunk("ISMP", "+0000"
                                                                               "01:02:03:04"))))
                     .getText(),
                 "01:02:03:04");
    EXPECT_FALSE(read(riff(list("INFO", chunk("ISMP", "10-00-00-00")))).isValid());
    // A refused text inside a list ends that list only: the extension after it still counts.
    EXPECT_STREQ(read(riff(list("INFO", chunk("ISMP", "25:00:00:00")) + bext(48000))).getText(),
                 "00:00:01:00");
    // A text longer than the reader's buffer is cut, never overflowed.
    EXPECT_STREQ(read(riff(list("INFO", chunk("ISMP", "10:11:12:13" + QByteArray(300, '9'))))).getText(),
                 "10:11:12:13");
    // A nested list without timestamp is passed; the extension after it is found.
    EXPECT_STREQ(read(riff(list("INFO", chunk("INAM", "abc")) + fmt(48000) + bext(96000))).getText(),
                 "00:00:02:00");
}

TEST_F(BroadcastWaveTest, GivesUpAfterTwelveChunks) {
    QByteArray chunks;
    for (int i = 0; i < 12; ++i)
        chunks += chunk("pad ", QByteArray(2, 'p'));
    EXPECT_FALSE(read(riff(chunks + bext(48000))).isValid());
    chunks.chop(10); // eleven chunks
    EXPECT_STREQ(read(riff(chunks + bext(48000))).getText(), "00:00:01:00");
}

TEST_F(BroadcastWaveTest, TracesTheWalk) {
    CTimeCode tc;
    const QString strLog = readTraced(riff(fmt(48000) + bext(1728000000ULL) + data(2)), tc);
    EXPECT_STREQ(tc.getText(), "10:00:00:00");
    EXPECT_TRUE(strLog.contains(" WAVE : 0x")) << strLog.toStdString();
    EXPECT_TRUE(strLog.contains("\tfmt  : 0x10\n"));
    EXPECT_TRUE(strLog.contains("\tbextDescription : Essai de description\n"));
    EXPECT_TRUE(strLog.contains("Originator : Tavorin\n"));
    EXPECT_TRUE(strLog.contains("TimeReference : 0000 66FF3000 => 10:00:00:00\n"));
    EXPECT_TRUE(strLog.contains("Version : 01\n"));
    EXPECT_TRUE(strLog.contains("SMPTE UMID : 80 81 82 "));
    EXPECT_TRUE(strLog.contains("Timestamp extrait : 10:00:00:00\n"));

    const QString strNotRiff = readTraced("ftypqt  not a wave file", tc);
    EXPECT_FALSE(tc.isValid());
    EXPECT_TRUE(strNotRiff.contains("' is not a RIFF file\n"));
}

TEST_F(BroadcastWaveTest, MissingOrForeignFilesGiveTheInvalidTimecode) {
    const CTimeCode tc = readTimeStamp(m_dir.filePath("absent.wav"), m_log);
    EXPECT_FALSE(tc.isValid());
    EXPECT_EQ(tc.getFrames(), -1);
    EXPECT_STREQ(tc.getText(), "88:88:88:88");
    EXPECT_FALSE(read("").isValid());
    EXPECT_FALSE(read("RIF").isValid());
    EXPECT_FALSE(read(riff(fmt(48000) + data(100))).isValid());
}

TEST_F(BroadcastWaveTest, TruncatedAndCorruptFilesNeverCrash) {
    const QByteArray good = riff(chunk("junk", QByteArray(17, 'x')) + list("INFO", chunk("INAM", "x")) +
                                 fmt(44100) + bext(1587600000ULL) + data(64));
    // Every prefix: the time reference is only trusted when all of it was read.
    const int nReference = good.indexOf("bext") + 8 + 338 + 8;
    for (int n = 0; n < good.size(); n += (n < 700 ? 1 : 13)) {
        const CTimeCode tc = read(good.left(n));
        if (n < nReference)
            EXPECT_FALSE(tc.isValid()) << n;
        else
            EXPECT_STREQ(tc.getText(), "10:00:00:00") << n;
    }
    // Hostile sizes and random damage.
    QByteArray huge = good;
    huge.replace(4, 4, le32(0xFFFFFFFFu));
    EXPECT_STREQ(read(huge).getText(), "10:00:00:00");
    QByteArray nested = "RIFF" + le32(0xFFFFFFFFu) + "WAVE";
    for (int i = 0; i < 5000; ++i)
        nested += "LIST" + le32(0xFFFFFFF0u) + "INFO";
    EXPECT_FALSE(read(nested).isValid());
    QRandomGenerator rng(1234);
    for (int i = 0; i < 300; ++i) {
        QByteArray damaged = good;
        for (int k = 0; k < 4; ++k)
            damaged[int(rng.bounded(damaged.size()))] = char(rng.bounded(256));
        read(damaged); // must simply return
    }
    SUCCEED();
}
