#include "sync/Serial.h"

#include <QDir>
#include <QRegularExpression>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#if __has_include(<linux/serial.h>)
#include <linux/serial.h>
#define TAVORIN_HAS_SERIAL_STRUCT 1
#endif

CSerial::~CSerial() {
    close();
}

QString CSerial::serialNumberOf(const QString& strByIdName) {
    // usb-<vendor>_<product>_<serial>-if<nn>[-port<n>]
    static const QRegularExpression re(QStringLiteral("^usb-.*_([^_]+)-if[0-9]+(-port[0-9]+)?$"));
    const QRegularExpressionMatch m = re.match(strByIdName);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString CSerial::findDevice(const QString& strReference, const QString& strByIdFolder) {
    if (strReference.isEmpty()) return {};
    if (strReference.startsWith(QLatin1Char('/'))) return strReference;
    const QDir dir(strByIdFolder);
    const QStringList names = dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        if (serialNumberOf(name) == strReference) return dir.filePath(name);
    return {};
}

bool CSerial::open(const QString& strReference) {
    close();
    const QString strPath = findDevice(strReference);
    if (strPath.isEmpty()) return false;
    m_hDevice = ::open(QFile::encodeName(strPath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_hDevice < 0) return false;
    if (!configure()) {
        close();
        return false;
    }
    return true;
}

bool CSerial::configure() {
    termios tio{};
    if (tcgetattr(m_hDevice, &tio) != 0) return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B57600);
    cfsetospeed(&tio, B57600);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 1; // 100 ms read timeout; nothing is read anyway
    if (tcsetattr(m_hDevice, TCSANOW, &tio) != 0) return false;

    // DTR and RTS off, exclusive use and low latency: the adapter honours them, a pseudo-terminal
    // does not have them, so failures are ignored.
    int nLines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(m_hDevice, TIOCMBIC, &nLines);
    (void)ioctl(m_hDevice, TIOCEXCL);
#ifdef TAVORIN_HAS_SERIAL_STRUCT
    serial_struct ss{};
    if (ioctl(m_hDevice, TIOCGSERIAL, &ss) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(m_hDevice, TIOCSSERIAL, &ss);
    }
#endif
    tcflush(m_hDevice, TCIOFLUSH);
    return true;
}

void CSerial::close() {
    if (m_hDevice >= 0) ::close(m_hDevice);
    m_hDevice = -1;
}

namespace {
// Blocks SIGPIPE on this thread for the lifetime of the object and swallows one raised meanwhile,
// so that a peer gone away shows as an error code rather than ending the program.
class CNoSigPipe {
public:
    CNoSigPipe() {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_bWasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    }
    ~CNoSigPipe() {
        if (m_bRaised && !m_bWasPending) {
            const timespec zero{};
            while (sigtimedwait(&m_set, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    void raised() { m_bRaised = true; }

private:
    sigset_t m_set, m_old;
    bool m_bWasPending = false;
    bool m_bRaised = false;
};
} // namespace

int CSerial::write(const void* pData, int nSize) {
    if (m_hDevice < 0 || nSize < 0) return -1;
    CNoSigPipe guard;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WRITE_TIMEOUT_MS);
    const char* p = static_cast<const char*>(pData);
    int nDone = 0;
    while (nDone < nSize) {
        const ssize_t n = ::write(m_hDevice, p + nDone, size_t(nSize - nDone));
        if (n > 0) {
            nDone += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (errno == EPIPE) guard.raised();
            return nDone > 0 ? nDone : -1;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd pfd{m_hDevice, POLLOUT, 0};
        if (poll(&pfd, 1, int(left.count())) <= 0) break;
        if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) return nDone > 0 ? nDone : -1;
    }
    return nDone;
}
