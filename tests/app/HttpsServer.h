#pragma once

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <map>

// A small HTTPS server on 127.0.0.1 for the update tests, with a self-signed certificate made for the
// run (openssl) and trusted by this process only. Each path answers as its route says.
class CHttpsTestServer : public QObject {
public:
    struct SRoute {
        int nStatus = 200;
        QByteArray body;
        int nChunk = 0;         // > 0: the body goes out in chunks of this size...
        int nDelayMs = 0;       // ...every this many milliseconds
        bool bCutShort = false; // the connection is closed halfway through the body
        bool bSilent = false;   // no answer at all
    };
    // Called for every request of the path (the number of the request, from 1).
    std::map<QString, std::function<SRoute(int)>> routes;
    std::map<QString, int> hits;
    QString strError;

    bool start() {
        const QString strKey = m_dir.filePath("key.pem"), strCert = m_dir.filePath("cert.pem");
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", strKey, "-out",
                                  strCert, "-days", "2", "-subj", "/CN=localhost", "-addext",
                                  "subjectAltName=DNS:localhost,IP:127.0.0.1"});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
            strError = "openssl: " + QString::fromUtf8(openssl.readAllStandardError());
            return false;
        }
        QFile key(strKey), cert(strCert);
        if (!key.open(QIODevice::ReadOnly) || !cert.open(QIODevice::ReadOnly)) return false;
        const QSslCertificate certificate(&cert, QSsl::Pem);
        QSslConfiguration server = QSslConfiguration::defaultConfiguration();
        server.setLocalCertificate(certificate);
        server.setPrivateKey(QSslKey(&key, QSsl::Rsa, QSsl::Pem));
        server.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_server.setSslConfiguration(server);
        // The client side of this process trusts it.
        QSslConfiguration client = QSslConfiguration::defaultConfiguration();
        client.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(client);
        connect(&m_server, &QSslServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* p = m_server.nextPendingConnection())
                serve(p);
        });
        if (!m_server.listen(QHostAddress::LocalHost)) {
            strError = m_server.errorString();
            return false;
        }
        return true;
    }

    QUrl url(const QString& strPath) const {
        return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(strPath));
    }

private:
    void serve(QTcpSocket* pSocket) {
        auto* pRequest = new QByteArray;
        connect(pSocket, &QObject::destroyed, this, [pRequest] { delete pRequest; });
        connect(pSocket, &QTcpSocket::disconnected, pSocket, &QObject::deleteLater);
        connect(pSocket, &QTcpSocket::readyRead, this, [this, pSocket, pRequest] {
            *pRequest += pSocket->readAll();
            if (!pRequest->contains("\r\n\r\n")) return;
            const QString strPath = QString::fromLatin1(pRequest->split(' ').value(1));
            pRequest->clear();
            const int nHit = ++hits[strPath];
            const auto it = routes.find(strPath);
            SRoute route = it == routes.end() ? SRoute{404, "absent"} : it->second(nHit);
            if (route.bSilent) return;
            pSocket->write(QStringLiteral("HTTP/1.1 %1 %2\r\nContent-Length: %3\r\nContent-Type: "
                                          "application/octet-stream\r\nConnection: close\r\n\r\n")
                               .arg(route.nStatus)
                               .arg(route.nStatus == 200 ? "OK" : "Error")
                               .arg(route.body.size())
                               .toLatin1());
            if (route.bCutShort) route.body.truncate(route.body.size() / 2);
            if (route.nChunk <= 0) {
                pSocket->write(route.body);
                finish(pSocket, route.bCutShort);
                return;
            }
            sendChunks(pSocket, route.body, route.nChunk, route.nDelayMs, route.bCutShort);
        });
    }
    void sendChunks(QTcpSocket* pSocket, QByteArray rest, int nChunk, int nDelayMs, bool bCut) {
        QPointer<QTcpSocket> p(pSocket);
        if (!p) return;
        p->write(rest.left(nChunk));
        rest.remove(0, nChunk);
        if (rest.isEmpty()) {
            finish(p, bCut);
            return;
        }
        QTimer::singleShot(nDelayMs, this, [this, p, rest, nChunk, nDelayMs, bCut] {
            if (p) sendChunks(p, rest, nChunk, nDelayMs, bCut);
        });
    }
    static void finish(QTcpSocket* pSocket, bool bAbort) {
        if (bAbort) {
            pSocket->flush();
            pSocket->abort();
        } else {
            pSocket->disconnectFromHost();
        }
    }

    QTemporaryDir m_dir;
    QSslServer m_server;
};
