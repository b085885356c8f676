#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

class CDownloadDlg;
class IAppServices;
class QWidget;
struct SVersionFile;

// "Rechercher des mises à jour", and the silent check at start-up: reads the version file on the
// maker's site (the "UpdateURL" setting, HTTPS only) without blocking the window, compares its
// version with the program's, offers the download and then the installation. Silent, it speaks only of
// a new version.
class CUpdateChecker : public QObject {
    Q_OBJECT
public:
    static constexpr int TIMEOUT_MS = 10000;

    CUpdateChecker(IAppServices& app, QWidget* pWindow, QObject* pParent = nullptr);
    ~CUpdateChecker() override;

    // Starts a check; a check already under way is left to finish.
    void check(bool bSilent);
    bool isChecking() const { return m_pReply != nullptr; }
    // The address of the version file of a site ("/bin/version.xml" under it).
    static QUrl versionFileUrl(const QString& strSite);

    // How long the site may stay silent (tests shorten it).
    int m_nTimeoutMs = TIMEOUT_MS;
    // The program's version, compared with the file's.
    QString m_strLocalVersion;
    // Where the installer goes (the desktop by default).
    QString m_strDownloadFolder;
    // Runs the download dialog (tests drive their own).
    std::function<void(CDownloadDlg&)> m_runDownloadDialog;
    // Asks the main window to close, after the installer was started.
    std::function<void()> m_quit;

signals:
    // Every check ends with it, whatever its outcome (once the questions it asked are answered).
    void checked();

private:
    void onFinished();
    void failed(const QString& strError);
    void newVersion(const SVersionFile& file, const QUrl& download);

    IAppServices& m_app;
    QWidget* m_pWindow;
    QNetworkAccessManager m_net;
    QPointer<QNetworkReply> m_pReply;
    QUrl m_versionUrl;
    bool m_bSilent = false;
};
