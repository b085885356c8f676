#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// A pseudo-terminal standing in for the synchroniser: the link opens its slave side (through a
// symbolic link that the test can re-point), the test reads and decodes what arrives on the master.
class CPtyMachine {
public:
    struct Message {
        int nPosition;
        bool bHalf;
        bool operator==(const Message&) const = default;
    };

    // Opens a new pseudo-terminal and points strLinkPath at its slave.
    explicit CPtyMachine(const QString& strLinkPath);
    ~CPtyMachine();
    CPtyMachine(const CPtyMachine&) = delete;
    CPtyMachine& operator=(const CPtyMachine&) = delete;

    bool isOpen() const { return m_hMaster >= 0; }
    const QString& slavePath() const { return m_strSlave; }
    // Closes the master: the slave's writes fail from then on and its device node goes away.
    void close();

    // Bytes that arrive: waits up to nTimeoutMs for the first, then until a short silence.
    QByteArray readAll(int nTimeoutMs = 100);
    // Reads and decodes whole messages; ADD_FAILURE on a malformed stream.
    std::vector<Message> readMessages(int nTimeoutMs = 100);
    static std::vector<Message> decode(const QByteArray& bytes);

private:
    int m_hMaster = -1;
    QString m_strSlave;
};
