#include "app/UpdateChecker.h"

#include "app/DownloadDlg.h"
#include "app/SyncApp.h"
#include "vare/VersionFile.h"

#include <QNetworkReply>
#include <QStandardPaths>

namespace {
const char* const VERSION_FILE = "/bin/version.xml";

bool isHttps(const QUrl& url) {
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}
} // namespace

CUpdateChecker::CUpdateChecker(IAppServices& app, QWidget* pWindow, QObject* pParent)
    : QObject(pParent), m_strLocalVersion(QStringLiteral(TAVORIN_VERSION)),
      m_strDownloadFolder(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)),
      m_runDownloadDialog([](CDownloadDlg& dlg) { dlg.exec(); }), m_app(app), m_pWindow(pWindow) {}

CUpdateChecker::~CUpdateChecker() {
    if (m_pReply) m_pReply->abort();
}

QUrl CUpdateChecker::versionFileUrl(const QString& strSite) {
    QUrl url(strSite.trimmed());
    QString strPath = url.path();
    while (strPath.endsWith(QLatin1Char('/')))
        strPath.chop(1);
    url.setPath(strPath + QLatin1String(VERSION_FILE));
    return url;
}

void CUpdateChecker::check(bool bSilent) {
    if (m_pReply) return;
    m_bSilent = bSilent;
    const QString strSite = m_app.settings().get(Settings::UpdateURL).trimmed();
    if (strSite.isEmpty()) {
        if (!bSilent)
            m_app.prompts().information(QString::fromUtf8("Aucune adresse de mise à jour n'est configurée."));
        emit checked();
        return;
    }
    m_versionUrl = versionFileUrl(strSite);
    if (!isHttps(m_versionUrl)) {
        failed(QString::fromUtf8("L'adresse « %1 » n'est pas une adresse HTTPS").arg(strSite));
        return;
    }
    QNetworkRequest request(m_versionUrl);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(m_nTimeoutMs);
    m_pReply = m_net.get(request);
    // A version file is a few lines: anything much larger is not one.
    connect(m_pReply, &QNetworkReply::downloadProgress, this, [this](qint64 nReceived, qint64) {
        if (nReceived > SVersionFile::MAX_SIZE && m_pReply) m_pReply->abort();
    });
    connect(m_pReply, &QNetworkReply::finished, this, &CUpdateChecker::onFinished);
}

void CUpdateChecker::onFinished() {
    QNetworkReply* pReply = m_pReply;
    m_pReply = nullptr;
    if (!pReply) return;
    pReply->deleteLater();
    SVersionFile file;
    if (pReply->error() != QNetworkReply::NoError || !file.read(pReply->readAll())) {
        failed(QStringLiteral("Connexion au serveur impossible"));
        return;
    }
    if (compareVersions(file.strNumber, m_strLocalVersion) <= 0) {
        if (!m_bSilent) m_app.prompts().information(QString::fromUtf8("Tavorin est à jour."));
        emit checked();
        return;
    }
    const QUrl download = m_versionUrl.resolved(QUrl(file.strPath));
    if (file.strPath.isEmpty() || !isHttps(download)) {
        failed(QString::fromUtf8("L'adresse de téléchargement « %1 » n'est pas une adresse HTTPS")
                   .arg(file.strPath));
        return;
    }
    newVersion(file, download);
}

void CUpdateChecker::failed(const QString& strError) {
    if (!m_bSilent)
        m_app.prompts().error(QString::fromUtf8("La recherche des mises à jour à échoué.\n") + strError +
                              QLatin1Char('.'));
    emit checked();
}

void CUpdateChecker::newVersion(const SVersionFile& file, const QUrl& download) {
    IPrompts& prompts = m_app.prompts();
    if (prompts.yesNo(QString::fromUtf8(
            "Une nouvelle version de Tavorin est disponible. Voulez-vous la télécharger ?"))) {
        CDownloadDlg dlg(m_app, download, m_strDownloadFolder, file.strSha256, m_pWindow);
        m_runDownloadDialog(dlg);
        if (dlg.downloadResult() == CDownloadDlgThread::RESULT_DONE &&
            prompts.yesNo(QString::fromUtf8(
                "La mise à jour a été téléchargée sur le Bureau. Voulez-vous l'installer maintenant ?"))) {
            if (m_app.shell().openFile(dlg.filePath()) && m_quit) m_quit();
        }
    }
    emit checked();
}
