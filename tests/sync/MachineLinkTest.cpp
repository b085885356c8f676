#include "sync/MachineLink.h"
#include "PtyMachine.h"
#include "base/Settings.h"
#include "sync/SyncManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {
using Message = CPtyMachine::Message;

class MachineLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_strPort = m_dir.filePath(QStringLiteral("corvel-port"));
        m_pMachine = std::make_unique<CPtyMachine>(m_strPort);
        ASSERT_TRUE(m_pMachine->isOpen());
        m_link.setClock([this] { return m_nNow; });
    }

    void connectAt(int nPosition, int nLogLevel = 0) {
        ASSERT_TRUE(m_link.configure(m_strPort, nLogLevel, CTraceLog::TYPE_FILE, m_dir.path()));
        m_link.reset(nPosition);
        // Nothing was written yet: the first tick repeats the position as a keep-alive.
        EXPECT_EQ(tick(nPosition, false), (std::vector<Message>{{nPosition, false}}));
    }
    // One timer tick 10 ms after the previous one.
    std::vector<Message> tick(int nPosition, bool bHalf) {
        m_nNow += 10;
        m_link.update(nPosition, bHalf);
        return m_pMachine->readMessages(20);
    }

    QTemporaryDir m_dir;
    QString m_strPort;
    std::unique_ptr<CPtyMachine> m_pMachine;
    CMachineLink m_link;
    std::uint32_t m_nNow = 100000;
};

// Each message must be one half-frame away from the one before it (or repeat it, a keep-alive).
void expectContinuous(const Message& from, const std::vector<Message>& messages, bool bRepeats = false) {
    Message prev = from;
    for (const Message& m : messages) {
        const int nPrev = prev.nPosition * 2 + prev.bHalf, nNext = m.nPosition * 2 + m.bHalf;
        if (bRepeats && nNext == nPrev) continue;
        ASSERT_EQ(std::abs(nNext - nPrev), 1)
            << "jump from " << prev.nPosition << "/" << prev.bHalf << " to " << m.nPosition << "/" << m.bHalf;
        prev = m;
    }
}
} // namespace

TEST_F(MachineLinkTest, StepsHalfFramesTowardTheTarget) {
    connectAt(1000);
    EXPECT_TRUE(m_link.isEnabled());
    EXPECT_TRUE(m_link.isConnected());
    m_link.reset(1000);
    EXPECT_TRUE(m_pMachine->readAll(20).isEmpty()) << "reset must not send";

    EXPECT_EQ(tick(1001, false), (std::vector<Message>{{1000, true}, {1001, false}}));
    EXPECT_EQ(tick(1001, true), (std::vector<Message>{{1001, true}})) << "other half of the same frame";
    EXPECT_TRUE(tick(1001, true).empty()) << "nothing while the target stays";

    // Backward by 11 frames: 20 half-frames in the first tick, the rest in the next.
    m_link.reset(1000);
    const auto first = tick(990, false);
    ASSERT_EQ(first.size(), 20u);
    expectContinuous({1000, false}, first);
    EXPECT_EQ(first.back(), (Message{990, false}));
    EXPECT_TRUE(tick(990, false).empty());
}

TEST_F(MachineLinkTest, CatchesUpWithAJumpAtTwentyHalfFramesATick) {
    connectAt(0);
    std::vector<Message> all;
    int nTicks = 0;
    for (; nTicks < 30; ++nTicks) {
        const auto got = tick(100, true);
        if (got.empty()) break;
        if (nTicks < 10) {
            EXPECT_EQ(got.size(), 20u) << "tick " << nTicks;
        }
        all.insert(all.end(), got.begin(), got.end());
    }
    EXPECT_EQ(nTicks, 11) << "the target is reached in the eleventh tick";
    ASSERT_EQ(all.size(), 201u);
    EXPECT_EQ(all[19], (Message{10, false}));
    EXPECT_EQ(all.back(), (Message{100, true}));
    expectContinuous({0, false}, all);
}

TEST_F(MachineLinkTest, FollowsPlayWithAContinuousStream) {
    connectAt(250);
    // Normal play: the clock's media time advances 6 units (a quarter frame) every 10 ms.
    long long t = 250 * 24;
    std::vector<Message> all;
    for (int i = 0; i < 300; ++i) {
        t += 6;
        m_nNow += 10;
        m_link.updateFromMediaTime(t);
        if (i % 10 == 9) {
            const auto got = m_pMachine->readMessages(20);
            all.insert(all.end(), got.begin(), got.end());
        }
    }
    // 3 s of play: 75 frames, 150 half-frames, never more than one step at a time.
    ASSERT_FALSE(all.empty());
    expectContinuous({250, false}, all);
    EXPECT_EQ(all.back(), (Message{int(t / 24), (t % 24) > 12}));
    EXPECT_GE(all.size(), 149u);
    EXPECT_LE(all.size(), 151u);
}

TEST_F(MachineLinkTest, RepeatsAStillPositionEveryHalfSecond) {
    connectAt(42);
    EXPECT_EQ(tick(42, true), (std::vector<Message>{{42, true}}));
    std::vector<std::uint32_t> sentAt;
    for (int i = 0; i < 110; ++i) // 1.1 s without movement
        if (!tick(42, true).empty()) sentAt.push_back(m_nNow);
    ASSERT_EQ(sentAt.size(), 2u);
    EXPECT_EQ(sentAt[1] - sentAt[0], 510u) << "the first tick more than 500 ms after the last write";
}

TEST_F(MachineLinkTest, WritesTheWireFormat) {
    connectAt(2159999);
    m_nNow += 10;
    m_link.update(2159999, true);
    EXPECT_EQ(m_pMachine->readAll(20).toHex(' '), QByteArray("ff ff ff 20 f5 7f 01"));
}

TEST_F(MachineLinkTest, ReconnectsEveryFiveSecondsAfterThePeerCloses) {
    connectAt(500, 1);
    EXPECT_EQ(tick(500, true).size(), 1u);

    // The machine goes away: the next write fails, the link notices and stays enabled.
    m_pMachine->close();
    m_nNow += 10;
    m_link.update(501, false);
    EXPECT_FALSE(m_link.isConnected());
    EXPECT_TRUE(m_link.isEnabled());
    const std::uint32_t nFailedAt = m_nNow;

    // Still away at the first attempt, 5 s after the last good write.
    for (int i = 0; i < 500; ++i) {
        m_nNow += 10;
        m_link.update(501, false);
    }
    EXPECT_FALSE(m_link.isConnected());

    // Back on a new pseudo-terminal behind the same name.
    m_pMachine = std::make_unique<CPtyMachine>(m_strPort);
    while (m_nNow - nFailedAt < 12000 && !m_link.isConnected()) {
        m_nNow += 10;
        m_link.update(502, false);
    }
    const std::uint32_t nReconnectedAt = m_nNow;
    const auto got = m_pMachine->readMessages(100);
    ASSERT_TRUE(m_link.isConnected());
    EXPECT_GT(nReconnectedAt - nFailedAt, 5000u);
    EXPECT_LE(nReconnectedAt - nFailedAt, 10020u) << "second attempt, 5 s after the first";
    ASSERT_FALSE(got.empty());
    // The first message repeats the last position (the one whose write failed), then the link steps on.
    EXPECT_EQ(got, (std::vector<Message>{{501, false}, {501, true}, {502, false}}));

    QFile log(m_link.m_log.getLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("erreur d'écriture : -1/")) << text.constData();
    EXPECT_EQ(text.count("tentative de reconnexion\n"), 2);
    EXPECT_TRUE(text.contains("Impossible d'ouvrir le port '" + m_strPort.toUtf8() + "'"));
}

TEST_F(MachineLinkTest, TracesOpeningResetAndMessages) {
    m_nNow = 3722994;
    connectAt(1000, 1); // its tick at 1 h 02 min 03 s 4 ms
    m_nNow += 10;
    m_link.update(1000, true);
    QFile log(m_link.m_log.getLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("Ouverture du port '" + m_strPort.toUtf8() + "'\n"));
    EXPECT_TRUE(text.contains("Success\nhh:mm:ss:ms\tframe\thalf\tdata\n"));
    EXPECT_TRUE(text.contains("reset() at frame 1000\n"));
    EXPECT_TRUE(text.contains("\t01:02:03:004\t1000\t0\tFF FF FF 00 03 E8 00\n")) << text.constData();
    EXPECT_TRUE(text.contains("\t01:02:03:014\t1000\t1\tFF FF FF 00 03 E8 01\n")) << text.constData();
}

TEST_F(MachineLinkTest, RefusesAMissingDeviceAndSwitchesOff) {
    EXPECT_FALSE(m_link.configure(m_dir.filePath("absent"), 0, 1, m_dir.path()));
    EXPECT_FALSE(m_link.isEnabled());
    m_link.update(10, false); // off: nothing happens, nothing crashes
    EXPECT_TRUE(m_pMachine->readAll(20).isEmpty());

    connectAt(7);
    m_link.disconnect();
    EXPECT_FALSE(m_link.isEnabled());
    m_nNow += 10000;
    m_link.update(8, false);
    EXPECT_TRUE(m_pMachine->readAll(20).isEmpty());
    EXPECT_FALSE(m_link.isConnected()) << "switched off: no reconnection";
}

TEST(SerialTest, FindsTheAdapterBySerialNumber) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CPtyMachine machine(dir.filePath("usb-FTDI_FT232R_USB_UART_A7XK19Q2-if00-port0"));
    QFile::link(machine.slavePath(), dir.filePath("usb-FTDI_FT232R_USB_UART_A7XK19-if00-port0"));
    QFile::link(machine.slavePath(),
                dir.filePath("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"));

    EXPECT_EQ(CSerial::serialNumberOf("usb-FTDI_FT232R_USB_UART_A7XK19Q2-if00-port0"), "A7XK19Q2");
    EXPECT_EQ(CSerial::serialNumberOf("usb-FTDI_Dual_RS232-HS_FT4ABCD-if01-port0"), "FT4ABCD");
    EXPECT_EQ(CSerial::serialNumberOf("pci-0000:00:14.0-usb-0:2:1.0-port0"), "");

    EXPECT_EQ(CSerial::findDevice("A7XK19Q2", dir.path()),
              dir.filePath("usb-FTDI_FT232R_USB_UART_A7XK19Q2-if00-port0"));
    EXPECT_EQ(CSerial::findDevice("A7XK19", dir.path()),
              dir.filePath("usb-FTDI_FT232R_USB_UART_A7XK19-if00-port0"));
    EXPECT_EQ(CSerial::findDevice("a7xk19q2", dir.path()), "") << "case-sensitive";
    EXPECT_EQ(CSerial::findDevice("XK19Q2", dir.path()), "") << "whole serial numbers only";
    EXPECT_EQ(CSerial::findDevice("", dir.path()), "");
    EXPECT_EQ(CSerial::findDevice("/dev/ttyUSB7", dir.path()), "/dev/ttyUSB7");

    // The port found is opened and configured raw: bytes pass unchanged, '\n' included.
    CSerial serial;
    ASSERT_TRUE(serial.open(dir.filePath("usb-FTDI_FT232R_USB_UART_A7XK19Q2-if00-port0")));
    const char data[] = {'\xFF', '\n', '\r', '\x11', '\x13', '\x00'};
    EXPECT_EQ(serial.write(data, 6), 6);
    EXPECT_EQ(machine.readAll(100), QByteArray(data, 6));
}

TEST(SerialTest, AWriteToAClosedPeerFailsWithoutEndingTheProgram) {
    QTemporaryDir dir;
    CPtyMachine machine(dir.filePath("port"));
    CSerial serial;
    ASSERT_TRUE(serial.open(dir.filePath("port")));
    machine.close();
    EXPECT_EQ(serial.write("abc", 3), -1);
    EXPECT_FALSE(serial.open(dir.filePath("port"))) << "the node went with its master";
    EXPECT_EQ(serial.write("abc", 3), -1);
}

TEST_F(MachineLinkTest, TakesTheClockPositionAndTheSettings) {
    // The reference, log level and type come from the settings; the link writes its own log.
    auto pSettings = CSettingsStore::fromIniFile(m_dir.filePath("Tavorin.ini"));
    pSettings->set(Settings::CorvelReference, m_strPort);
    pSettings->set(Settings::CorvelLogLevel, 1);
    ASSERT_TRUE(m_link.configure(*pSettings, m_dir.path()));
    EXPECT_TRUE(m_link.m_log.getLogPath().endsWith("corvel.log"));
    m_link.reset(100);
    m_nNow += 10;
    m_link.update(100, false);
    EXPECT_EQ(m_pMachine->readMessages(20), (std::vector<Message>{{100, false}}));

    // Media time in 1/600 s, 24 units a frame: the second half starts after 12 units.
    m_nNow += 10;
    m_link.updateFromMediaTime(100 * 24 + 12);
    EXPECT_TRUE(m_pMachine->readAll(20).isEmpty());
    m_nNow += 10;
    m_link.updateFromMediaTime(100 * 24 + 13);
    EXPECT_EQ(m_pMachine->readMessages(20), (std::vector<Message>{{100, true}}));
    m_nNow += 10;
    m_link.updateFromMediaTime(101 * 24);
    EXPECT_EQ(m_pMachine->readMessages(20), (std::vector<Message>{{101, false}}));

    // Switching on again while on reopens the port and keeps only 31 characters of the reference.
    EXPECT_FALSE(m_link.configure(QString(40, QLatin1Char('A')), 0, 1, m_dir.path()));
    EXPECT_EQ(m_link.getSerialNumber(), QString(31, QLatin1Char('A')));
    EXPECT_FALSE(m_link.isEnabled());
    EXPECT_FALSE(m_link.isConnected());
}

TEST_F(MachineLinkTest, FollowsTheTransportClock) {
    // The main frame's 10 ms timer: one clock step, then the link is given the clock's position.
    CSyncManager clock;
    clock.setComputeFrequency(100);
    clock.setMaster(CSyncManager::MASTER_INTERNAL);
    clock.gotoTime(CTimeCode::fromFrames(250));
    connectAt(250);
    std::vector<Message> all;
    const auto run = [&](int nTicks) {
        for (int i = 0; i < nTicks; ++i) {
            m_nNow += 10;
            clock.compute();
            m_link.updateFromMediaTime(clock.getTime(0));
            if (i % 10 == 9) {
                const auto got = m_pMachine->readMessages(20);
                all.insert(all.end(), got.begin(), got.end());
            }
        }
        const auto got = m_pMachine->readMessages(20);
        all.insert(all.end(), got.begin(), got.end());
    };
    clock.setRate(240); // ten times normal speed: 5 half-frames a tick
    run(100);
    clock.setRate(-72); // three times backward
    run(100);
    clock.gotoTime(CTimeCode::fromFrames(40)); // a jump while playing
    run(100);
    clock.setRate(72);
    run(100);
    clock.setRate(0);
    run(60);

    expectContinuous({250, false}, all, true);
    EXPECT_GT(all.size(), 1000u);
    const int t = clock.getTime(0);
    EXPECT_EQ(all.back(), (Message{t / 24, (t % 24) > 12}));
    EXPECT_EQ(m_link.getPosition(), clock.getTimeCode(0).getFrames());
}
