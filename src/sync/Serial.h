#pragma once

#include <QString>

// One serial port of the machine's USB adapter, opened raw at 57600 baud, 8N1, without flow control.
// The port is named by the adapter's serial number (looked up under /dev/serial/by-id, where the
// adapter's names carry it, e.g. "usb-FTDI_FT232R_USB_UART_A12345-if00-port0") or by a device path,
// any reference starting with "/". Writes never block for more than 100 ms and never raise SIGPIPE.
class CSerial {
public:
    static constexpr int BAUD_RATE = 57600;
    static constexpr int WRITE_TIMEOUT_MS = 100;
    static constexpr const char* BY_ID_FOLDER = "/dev/serial/by-id";

    CSerial() = default;
    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;
    virtual ~CSerial();

    // Opens and configures the port; false (and closed) when it is missing or cannot be configured.
    bool open(const QString& strReference);
    void close();
    bool isOpen() const { return m_hDevice >= 0; }
    // Bytes written (all of them unless the port failed or timed out), or -1 when nothing could be.
    int write(const void* pData, int nSize);

    // The device path for a reference: a path as it is, a serial number through the by-id folder
    // (exact, case-sensitive match; the first name in sorted order wins). Empty when none matches.
    static QString findDevice(const QString& strReference, const QString& strByIdFolder = BY_ID_FOLDER);
    // The serial number in a by-id name, empty when the name does not have the adapter's form.
    static QString serialNumberOf(const QString& strByIdName);

private:
    bool configure();

    int m_hDevice = -1;
};
