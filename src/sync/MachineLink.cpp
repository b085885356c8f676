#include "sync/MachineLink.h"

#include "base/Settings.h"

#include <chrono>

CMachineLink::CMachineLink()
    : m_clock([] {
          return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
      }) {}

bool CMachineLink::configure(const QString& strSerialNumber, int nLogLevel, int nLogType,
                             const QString& strLogDirectory) {
    m_log.Open(nLogType, nLogLevel, strLogDirectory, QStringLiteral("corvel"));
    m_strSerialNumber = strSerialNumber.left(MAX_SERIAL_NUMBER);
    if (m_bEnabled) disconnect();
    if (!connect()) return false;
    m_bEnabled = true;
    return true;
}

bool CMachineLink::configure(const CSettingsStore& settings, const QString& strLogDirectory) {
    return configure(settings.get(Settings::CorvelReference), settings.get(Settings::CorvelLogLevel),
                     settings.get(Settings::CorvelLogType), strLogDirectory);
}

bool CMachineLink::connect() {
    const QByteArray name = m_strSerialNumber.toUtf8();
    m_log.Log("Ouverture du port '%s'\n", name.constData());
    if (!m_serial.open(m_strSerialNumber)) {
        m_log.Log("Impossible d'ouvrir le port '%s'\n", name.constData());
        return false;
    }
    m_bEnabled = true;
    m_bConnected = true;
    m_log.Log("Success\nhh:mm:ss:ms\tframe\thalf\tdata\n");
    return true;
}

void CMachineLink::disconnect() {
    m_serial.close();
    m_bEnabled = false;
    m_bConnected = false;
}

void CMachineLink::reset(int nPosition) {
    m_log.Log("reset() at frame %i\n", nPosition);
    m_nPosition = nPosition;
    m_bHalf = false;
    // Traced only: slot 0 is rebuilt by the next update before anything is written.
    buildMessage(m_nPosition, 0, m_clock(), m_bHalf);
}

void CMachineLink::buildMessage(int nPosition, int nSlot, std::uint32_t nTime, bool bHalf) {
    if (!m_bConnected || nSlot < 0 || nSlot >= MAX_MESSAGES) return;
    unsigned char* p = m_messages[nSlot];
    p[0] = p[1] = p[2] = 0xFF;
    p[3] = (unsigned char)((nPosition >> 16) & 0xFF);
    p[4] = (unsigned char)((nPosition >> 8) & 0xFF);
    p[5] = (unsigned char)(nPosition & 0xFF);
    p[6] = bHalf ? 0x01 : 0x00;
    if (m_log.isLogOn()) {
        const std::uint32_t ms = nTime % 1000, s = nTime / 1000;
        m_log.Log("%.2i:%.2i:%.2i:%.3i\t%i\t%i\t%.2X %.2X %.2X %.2X %.2X %.2X %.2X\n", int(s / 3600),
                  int(s / 60 % 60), int(s % 60), int(ms), nPosition, int(bHalf), p[0], p[1], p[2], p[3], p[4],
                  p[5], p[6]);
    }
}

void CMachineLink::update(int nPosition, bool bHalf) {
    if (!m_bEnabled) return;
    const std::uint32_t nNow = m_clock();
    int n = 0;
    if (!m_bConnected) {
        if (nNow - m_nLastWrite > RECONNECT_MS) {
            m_nLastWrite = nNow;
            m_log.Log("tentative de reconnexion\n");
            if (connect() && m_nPosition != -1) buildMessage(m_nPosition, n++, nNow, m_bHalf);
        }
        if (!m_bConnected) return;
    }
    if (m_nPosition == -1) return;

    if (nNow - m_nLastWrite > KEEP_ALIVE_MS) {
        buildMessage(m_nPosition, n++, nNow, m_bHalf);
    } else {
        while (n < MAX_MESSAGES && (m_nPosition != nPosition || m_bHalf != bHalf)) {
            if (m_nPosition < nPosition) {
                if (m_bHalf) ++m_nPosition;
                m_bHalf = !m_bHalf;
            } else if (m_nPosition > nPosition) {
                if (!m_bHalf) --m_nPosition;
                m_bHalf = !m_bHalf;
            } else {
                m_bHalf = !m_bHalf;
            }
            buildMessage(m_nPosition, n++, nNow, m_bHalf);
        }
    }
    send(n, nNow);
}

void CMachineLink::send(int nMessages, std::uint32_t nNow) {
    if (nMessages == 0) return;
    const int nSize = nMessages * MESSAGE_SIZE;
    const int nWritten = m_serial.write(m_messages, nSize);
    if (nWritten == nSize) {
        m_nLastWrite = nNow;
    } else {
        m_bConnected = false;
        m_log.Log("erreur d'écriture : %i/%i\n", nWritten, nSize);
    }
}
