#include "app/DownloadDlg.h"

#include "app/SyncApp.h"
#include "base/SystemError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr qint64 MEBIBYTE = 1048576;
constexpr int CANCEL_POLL_MS = 50;
} // namespace

// --------------------------------------------------------------------------------------- thread

CDownloadDlgThread::CDownloadDlgThread(const QUrl& url, const QString& strFolder, const QString& strSha256,
                                       QObject* pParent)
    : QThread(pParent), m_url(url), m_strPath(QDir(strFolder).filePath(fileNameOf(url))),
      m_sha256(strSha256.trimmed().toLower().toLatin1()) {}

CDownloadDlgThread::~CDownloadDlgThread() {
    requestCancel();
    release();
    wait();
}

QString CDownloadDlgThread::fileNameOf(const QUrl& url) {
    const QString strName = QFileInfo(url.path()).fileName();
    return strName.isEmpty() || strName.startsWith(QLatin1Char('.')) ? QStringLiteral("Tavorin-mise-a-jour")
                                                                     : strName;
}

QString CDownloadDlgThread::errorText() const {
    std::lock_guard lock(m_mutex);
    return m_strError;
}

void CDownloadDlgThread::hold() {
    std::lock_guard lock(m_mutex);
    m_bHeld = true;
}

void CDownloadDlgThread::release() {
    {
        std::lock_guard lock(m_mutex);
        m_bHeld = false;
    }
    m_released.notify_all();
}

void CDownloadDlgThread::waitWhileHeld() {
    std::unique_lock lock(m_mutex);
    m_released.wait(lock, [this] { return !m_bHeld; });
}

void CDownloadDlgThread::run() {
    m_nResult = download();
    emit done(m_nResult);
}

int CDownloadDlgThread::download() {
    auto fail = [this](const QString& strError) {
        std::lock_guard lock(m_mutex);
        m_strError = strError;
        return RESULT_FAILED;
    };
    if (m_url.scheme() != QLatin1String("https"))
        return fail(QString::fromUtf8("l'adresse « %1 » n'est pas une adresse HTTPS").arg(m_url.toString()));
    QSaveFile file(m_strPath);
    if (!openForSaving(file))
        return fail(QString::fromUtf8("Impossible de créer le fichier « %1 »").arg(m_strPath));

    QNetworkAccessManager net;
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(TIMEOUT_MS);
    QNetworkReply* pReply = net.get(request);
    pReply->setReadBufferSize(BLOCK_SIZE);

    QCryptographicHash hash(QCryptographicHash::Sha256);
    QElapsedTimer elapsed;
    elapsed.start();
    qint64 nReceived = 0, nTotal = 0;
    bool bWriteFailed = false;
    QEventLoop loop;
    auto consume = [&] {
        // The size is known with the headers, before the first block: every block shows it.
        if (nTotal <= 0) nTotal = pReply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        while (pReply->bytesAvailable() > 0 && !bWriteFailed) {
            waitWhileHeld();
            if (m_bCancel) return;
            const QByteArray block = pReply->read(BLOCK_SIZE);
            if (file.write(block) != block.size()) {
                bWriteFailed = true;
                pReply->abort();
                return;
            }
            hash.addData(block);
            nReceived += block.size();
            emit progress(nReceived, nTotal, elapsed.elapsed());
        }
    };
    connect(pReply, &QNetworkReply::downloadProgress, pReply, [&](qint64, qint64 nBytesTotal) {
        if (nBytesTotal > 0) nTotal = nBytesTotal;
    });
    connect(pReply, &QNetworkReply::readyRead, pReply, consume);
    connect(pReply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // A cancel is seen within a moment even while no byte arrives.
    QTimer poll;
    connect(&poll, &QTimer::timeout, pReply, [&] {
        if (m_bCancel) pReply->abort();
    });
    poll.start(CANCEL_POLL_MS);
    if (!pReply->isFinished()) loop.exec();
    poll.stop();
    consume();
    // The dialog may be asking whether to cancel: the download does not end under the question.
    waitWhileHeld();

    const auto finish = [&](int nResult) {
        if (nResult != RESULT_DONE) file.cancelWriting();
        return nResult;
    };
    if (m_bCancel) return finish(RESULT_CANCELLED);
    if (bWriteFailed) return finish(fail(fileErrorReason(file)));
    if (pReply->error() != QNetworkReply::NoError) return finish(fail(pReply->errorString()));
    if (!m_sha256.isEmpty() && hash.result().toHex() != m_sha256)
        return finish(
            fail(QString::fromUtf8("le fichier reçu n'a pas la somme de contrôle SHA-256 annoncée ; il a "
                                   "été supprimé")));
    if (!file.commit()) return finish(fail(fileErrorReason(file)));
    return finish(RESULT_DONE);
}

// --------------------------------------------------------------------------------------- dialog

CDownloadDlg::CDownloadDlg(IAppServices& app, const QUrl& url, const QString& strFolder,
                           const QString& strSha256, QWidget* pParent)
    : QDialog(pParent), m_app(app), m_url(url), m_strFolder(strFolder), m_strSha256(strSha256),
      m_pStatus(new QLabel(this)), m_pProgress(new QProgressBar(this)),
      m_pCancel(new QPushButton(QStringLiteral("Annuler"), this)) {
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Téléchargement de Tavorin en cours"), this));
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    pLayout->addWidget(m_pProgress);
    m_pStatus->setText(QString::fromUtf8("0 ko téléchargés sur 0 ko — temps inconnu"));
    m_pStatus->setMinimumWidth(m_pStatus->fontMetrics().horizontalAdvance(
        QString::fromUtf8("000.0 Mo sur 000.0 Mo — environ 00 minutes")));
    pLayout->addWidget(m_pStatus);
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(m_pCancel);
    pLayout->addLayout(pButtons);
    connect(m_pCancel, &QPushButton::clicked, this, &CDownloadDlg::reject);
    setPercent(0);
}

CDownloadDlg::~CDownloadDlg() {
    delete m_pThread;
}

QString CDownloadDlg::filePath() const {
    return QDir(m_strFolder).filePath(CDownloadDlgThread::fileNameOf(m_url));
}

void CDownloadDlg::setPercent(int nPercent) {
    setWindowTitle(QString::asprintf("%d %% - Mise à jour de Tavorin", nPercent));
    m_pProgress->setValue(nPercent);
}

QString CDownloadDlg::sizeText(qint64 nBytes) {
    if (nBytes < MEBIBYTE) return QString::asprintf("%d ko", int(nBytes / 1024));
    return QString::asprintf("%.1f Mo", double(nBytes) / double(MEBIBYTE));
}

QString CDownloadDlg::timeText(qint64 nElapsedMs, qint64 nReceived, qint64 nTotal) {
    if (nReceived <= 0 || nTotal < nReceived) return QStringLiteral("temps inconnu");
    const qint64 nMinutes = nElapsedMs * (nTotal - nReceived) / nReceived / 60000;
    if (nMinutes == 0) return QString::fromUtf8("moins d'une minute");
    if (nMinutes == 1) return QStringLiteral("environ 1 minute");
    return QString::asprintf("environ %d minutes", int(nMinutes));
}

void CDownloadDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!m_bStarted) startDownload();
}

void CDownloadDlg::startDownload() {
    m_bStarted = true;
    m_bDoneHandled = false;
    delete m_pThread;
    setPercent(0);
    m_pThread = new CDownloadDlgThread(m_url, m_strFolder, m_strSha256);
    connect(m_pThread, &CDownloadDlgThread::progress, this, &CDownloadDlg::onProgress, Qt::QueuedConnection);
    connect(m_pThread, &CDownloadDlgThread::done, this, &CDownloadDlg::onDone, Qt::QueuedConnection);
    m_pThread->start();
}

void CDownloadDlg::onProgress(qint64 nReceived, qint64 nTotal, qint64 nElapsedMs) {
    if (nTotal > 0) {
        m_pStatus->setText(QString::asprintf("%s sur %.1f Mo — ", qUtf8Printable(sizeText(nReceived)),
                                             double(nTotal) / double(MEBIBYTE)) +
                           timeText(nElapsedMs, nReceived, nTotal));
        setPercent(int(std::min<qint64>(100, nReceived * 100 / nTotal)));
    } else {
        m_pStatus->setText(sizeText(nReceived) + QString::fromUtf8(" téléchargés — temps inconnu"));
    }
}

void CDownloadDlg::onDone(int nResult) {
    if (m_bAsking) {
        m_nPendingResult = nResult;
        return;
    }
    if (m_bDoneHandled) return;
    m_bDoneHandled = true;
    m_nResult = nResult;
    if (nResult == CDownloadDlgThread::RESULT_FAILED) {
        const QString strError = m_pThread ? m_pThread->errorText() : QString();
        if (m_app.prompts().message(QString::fromUtf8("Le téléchargement de la mise à jour a échoué.\n") +
                                        strError + QLatin1Char('.'),
                                    IPrompts::ICON_ERROR,
                                    QMessageBox::Retry | QMessageBox::Cancel) == QMessageBox::Retry) {
            startDownload();
            return;
        }
        QDialog::reject();
        return;
    }
    if (nResult == CDownloadDlgThread::RESULT_CANCELLED)
        QDialog::reject();
    else
        QDialog::accept();
}

void CDownloadDlg::reject() {
    if (m_bAsking) return;
    if (!m_pThread) {
        QDialog::reject();
        return;
    }
    // Finished while its end is still on its way: that end decides.
    if (m_pThread->isFinished()) {
        onDone(m_pThread->result());
        return;
    }
    m_pThread->hold();
    m_bAsking = true;
    const bool bCancel = m_app.prompts().yesNo(
        QString::fromUtf8("Êtes-vous sûr(e) de vouloir annuler le téléchargement de la mise à jour ?"));
    m_bAsking = false;
    if (bCancel) m_pThread->requestCancel();
    m_pThread->release();
    if (m_nPendingResult != 2) {
        const int nResult = m_nPendingResult;
        m_nPendingResult = 2;
        onDone(nResult);
    }
}
