#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running copy per user and graphical session: the first copy listens on a local socket in the
// session's runtime folder, named after the display; a later copy of the same session sends it its
// command line (a file to open, or nothing) and ends. The first copy comes to the front and opens the
// file.
class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(const QString& strName, QObject* pParent = nullptr);
    ~CSingleInstance() override;

    // The socket used by this user's copies in this graphical session.
    static QString defaultName();
    static QString nameFor(const QString& strRuntimeFolder, const QString& strDisplay);

    // True when this is the first copy (it now listens). False when another copy answered: the
    // message (the file path, possibly empty) has been delivered to it.
    bool start(const QString& strMessage);

signals:
    // Another copy started with this message.
    void messageReceived(const QString& strMessage);

private:
    void onConnection();

    QString m_strName;
    QLocalServer* m_pServer = nullptr;
};
