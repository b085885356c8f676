#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <unistd.h>

CSingleInstance::CSingleInstance(const QString& strName, QObject* pParent)
    : QObject(pParent), m_strName(strName) {}

CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::defaultName() {
    return nameFor(qEnvironmentVariable("XDG_RUNTIME_DIR"),
                   qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY")));
}

QString CSingleInstance::nameFor(const QString& strRuntimeFolder, const QString& strDisplay) {
    // One copy per graphical session: a copy on another display (or in another login) is another user's
    // view of the world and must not be handed the file.
    QString strSession = strDisplay;
    strSession.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    if (strSession.isEmpty()) strSession = QStringLiteral("none");
    const QString strFolder = strRuntimeFolder.isEmpty() || !QFileInfo(strRuntimeFolder).isDir()
                                  ? QDir::tempPath() + QStringLiteral("/Tavorin-%1").arg(getuid())
                                  : strRuntimeFolder;
    QDir().mkpath(strFolder);
    return strFolder + QStringLiteral("/tavorin-%1.socket").arg(strSession);
}

bool CSingleInstance::start(const QString& strMessage) {
    {
        QLocalSocket socket;
        socket.connectToServer(m_strName);
        if (socket.waitForConnected(500)) {
            const QByteArray data = strMessage.toUtf8() + '\n';
            socket.write(data);
            socket.waitForBytesWritten(1000);
            // Wait for the first copy to read it before going.
            socket.waitForReadyRead(1000);
            socket.disconnectFromServer();
            return false;
        }
    }
    // Nobody answers: a socket left by a copy that crashed is stale.
    QLocalServer::removeServer(m_strName);
    m_pServer = new QLocalServer(this);
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_pServer, &QLocalServer::newConnection, this, &CSingleInstance::onConnection);
    // Without the socket the program still runs, only without the single-copy guard.
    m_pServer->listen(m_strName);
    return true;
}

void CSingleInstance::onConnection() {
    while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        connect(pSocket, &QLocalSocket::readyRead, this, [this, pSocket] {
            if (!pSocket->canReadLine()) return;
            // Bounded: a path, never more.
            const QByteArray line = pSocket->readLine(64 * 1024).trimmed();
            pSocket->write("ok\n");
            pSocket->flush();
            emit messageReceived(QString::fromUtf8(line));
        });
    }
}
