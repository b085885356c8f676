#pragma once

#include "sync/MediaUnits.h"

#include "base/TraceLog.h"
#include "sync/Serial.h"

#include <QString>
#include <cstdint>
#include <functional>

class CSettingsStore;

// The one-way link to the Corvel synchroniser: the program's position is sent as a continuous stream
// of half-frame positions, 7-byte messages, up to 20 per write. The owner calls update() every 10 ms
// with the clock's position (updateFromMediaTime with the clock's media time); everything runs on the
// user-interface thread.
class CMachineLink {
public:
    static constexpr int MESSAGE_SIZE = 7;
    static constexpr int MAX_MESSAGES = 20;
    static constexpr std::uint32_t KEEP_ALIVE_MS = 500;
    static constexpr std::uint32_t RECONNECT_MS = 5000;
    static constexpr int MAX_SERIAL_NUMBER = 31;

    // Milliseconds of a monotonic clock; wraps like a 32-bit counter.
    using Clock = std::function<std::uint32_t()>;

    CMachineLink();
    CMachineLink(const CMachineLink&) = delete;
    CMachineLink& operator=(const CMachineLink&) = delete;
    virtual ~CMachineLink() = default;

    // Opens the log, stores the adapter's serial number (or device path) and opens the port.
    bool configure(const QString& strSerialNumber, int nLogLevel, int nLogType,
                   const QString& strLogDirectory);
    // configure() with "CorvelReference", "CorvelLogLevel" and "CorvelLogType" from the settings.
    bool configure(const CSettingsStore& settings, const QString& strLogDirectory);
    bool connect();
    // The next transmission starts from this frame, without stepping through the frames in between.
    void reset(int nPosition);
    // Moves the machine toward (nPosition, bHalf) by at most 20 half-frames; keep-alive and reconnection.
    void update(int nPosition, bool bHalf);
    // update() from a media time: a frame of 25 fps, its second half after half of it.
    void updateFromMediaTime(long long t) {
        update(int(t / MediaUnits::FRAME_25), (t % MediaUnits::FRAME_25) > MediaUnits::FRAME_25 / 2);
    }
    void buildMessage(int nPosition, int nSlot, std::uint32_t nTime, bool bHalf);
    void disconnect();

    bool isEnabled() const { return m_bEnabled; }
    bool isConnected() const { return m_bConnected; }
    int getPosition() const { return m_nPosition; }
    bool getHalf() const { return m_bHalf; }
    const QString& getSerialNumber() const { return m_strSerialNumber; }

    // Replaces the steady clock (tests drive time by hand).
    void setClock(Clock clock) { m_clock = std::move(clock); }

    CTraceLog m_log; // "corvel"

private:
    void send(int nMessages, std::uint32_t nNow);

    CSerial m_serial;
    QString m_strSerialNumber;
    bool m_bEnabled = false;
    bool m_bConnected = false;
    int m_nPosition = -1;
    bool m_bHalf = false;
    std::uint32_t m_nLastWrite = 0;
    unsigned char m_messages[MAX_MESSAGES][MESSAGE_SIZE] = {};
    Clock m_clock;
};
