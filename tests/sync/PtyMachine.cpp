#include "PtyMachine.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

CPtyMachine::CPtyMachine(const QString& strLinkPath) {
    m_hMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_hMaster < 0 || grantpt(m_hMaster) != 0 || unlockpt(m_hMaster) != 0) {
        ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
        close();
        return;
    }
    m_strSlave = QString::fromLocal8Bit(ptsname(m_hMaster));
    fcntl(m_hMaster, F_SETFL, fcntl(m_hMaster, F_GETFL) | O_NONBLOCK);
    QFile::remove(strLinkPath);
    if (!QFile::link(m_strSlave, strLinkPath)) ADD_FAILURE() << "cannot link " << strLinkPath.toStdString();
}

CPtyMachine::~CPtyMachine() {
    close();
}

void CPtyMachine::close() {
    if (m_hMaster >= 0) ::close(m_hMaster);
    m_hMaster = -1;
}

QByteArray CPtyMachine::readAll(int nTimeoutMs) {
    QByteArray data;
    char buf[4096];
    while (m_hMaster >= 0) {
        pollfd pfd{m_hMaster, POLLIN, 0};
        // After the first bytes, a short silence ends the read.
        if (poll(&pfd, 1, data.isEmpty() ? nTimeoutMs : 10) <= 0 || !(pfd.revents & POLLIN)) break;
        const ssize_t n = ::read(m_hMaster, buf, sizeof buf);
        if (n <= 0) break;
        data.append(buf, n);
    }
    return data;
}

std::vector<CPtyMachine::Message> CPtyMachine::decode(const QByteArray& bytes) {
    std::vector<Message> messages;
    if (bytes.size() % 7 != 0)
        ADD_FAILURE() << "stream of " << bytes.size() << " bytes is not whole messages";
    for (qsizetype i = 0; i + 7 <= bytes.size(); i += 7) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + i);
        if (p[0] != 0xFF || p[1] != 0xFF || p[2] != 0xFF || p[6] > 1) {
            ADD_FAILURE() << "malformed message at byte " << i;
            break;
        }
        messages.push_back({(p[3] << 16) | (p[4] << 8) | p[5], p[6] == 1});
    }
    return messages;
}

std::vector<CPtyMachine::Message> CPtyMachine::readMessages(int nTimeoutMs) {
    return decode(readAll(nTimeoutMs));
}
