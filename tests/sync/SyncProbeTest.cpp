#include "sync/SyncProbe.h"
#include "ManualClock.h"
#include "base/TraceLog.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
using namespace std::chrono;

struct CProbedLog {
    QTemporaryDir dir;
    CTraceLog log;
    CManualClock clock;
    explicit CProbedLog(int nLevel) {
        log.Open(CTraceLog::TYPE_FILE, nLevel, dir.path(), QStringLiteral("app"));
    }
    // The probe's lines, without the log's time prefix.
    QStringList probeLines() const {
        QFile f(log.getLogPath());
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList lines;
        for (const QString& line : QString::fromUtf8(f.readAll()).split('\n'))
            if (const int n = line.indexOf(QStringLiteral("probe\t")); n >= 0) lines << line.mid(n);
        return lines;
    }
};
} // namespace

// Each band frame gives one line with what the three displays showed then; a stop writes them at once.
TEST(SyncProbeTest, OneLinePerBandFrameWrittenAtTheStop) {
    CProbedLog p(1 | CSyncProbe::MASK);
    CSyncProbe probe(p.log, p.clock.source());
    probe.playerReported(250026);
    probe.pictureShown(250025);
    probe.timecodeShown(250025);
    p.clock.advance(microseconds(1500));
    probe.bandShown(250025 * 24 + 23, 24); // the last unit of the frame is still that frame
    p.clock.advance(milliseconds(40));
    probe.pictureShown(250026);
    probe.bandShown(250026 * 24, 24);
    EXPECT_TRUE(p.probeLines().isEmpty()) << "nothing formatted while playing";

    probe.timecodeShown(250026);
    probe.bandShown(250026 * 24, 0);
    EXPECT_EQ(p.probeLines(),
              QStringList({QStringLiteral("probe\t1500\t24\t250025\t250025\t250025\t250026"),
                           QStringLiteral("probe\t41500\t24\t250026\t250026\t250025\t250026"),
                           QStringLiteral("probe\t41500\t0\t250026\t250026\t250026\t250026")}));
}

TEST(SyncProbeTest, AFullBufferIsWrittenAndAnOffProbeKeepsNothing) {
    CProbedLog p(1 | CSyncProbe::MASK);
    {
        CSyncProbe probe(p.log, p.clock.source());
        for (int i = 0; i < CSyncProbe::CAPACITY; ++i)
            probe.bandShown(i * 24, 24);
        EXPECT_EQ(p.probeLines().size(), CSyncProbe::CAPACITY) << "written when full";
        probe.bandShown(0, 24);
        EXPECT_EQ(p.probeLines().size(), CSyncProbe::CAPACITY);
    }
    EXPECT_EQ(p.probeLines().size(), CSyncProbe::CAPACITY + 1) << "the rest written when the probe goes";

    // Every other detail on, the probe's bit off.
    CProbedLog off(15);
    CSyncProbe probe(off.log, off.clock.source());
    EXPECT_FALSE(probe.isOn());
    probe.bandShown(24, 24);
    probe.bandShown(48, 0);
    probe.flush();
    EXPECT_TRUE(off.probeLines().isEmpty());
}
