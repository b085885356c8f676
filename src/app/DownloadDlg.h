#pragma once

#include <QDialog>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <condition_variable>
#include <mutex>

class IAppServices;
class QLabel;
class QProgressBar;
class QPushButton;

// Downloads the new installer into a folder, on a thread of its own with its own network access. The
// file is written beside its final name and appears only when complete (and, when a SHA-256 sum was
// announced, only when it matches): a failed or cancelled download leaves nothing behind.
//
// Shared with the dialog: the result, the cancel flag and the hold (the thread waits at its next
// block, and cannot finish, while the dialog asks whether to cancel). Progress reaches the dialog by
// queued signals.
class CDownloadDlgThread : public QThread {
    Q_OBJECT
public:
    enum EResult { RESULT_DONE = 0, RESULT_CANCELLED = 1, RESULT_FAILED = -1 };
    static constexpr int BLOCK_SIZE = 64 * 1024;
    static constexpr int TIMEOUT_MS = 30000; // without a byte received

    CDownloadDlgThread(const QUrl& url, const QString& strFolder, const QString& strSha256,
                       QObject* pParent = nullptr);
    ~CDownloadDlgThread() override;

    // The file the download goes to: the folder and the last part of the address.
    QString filePath() const { return m_strPath; }
    int result() const { return m_nResult; }
    QString errorText() const;

    void requestCancel() { m_bCancel = true; }
    void hold();
    void release();

    // The name of the file an address gives, never a path.
    static QString fileNameOf(const QUrl& url);

signals:
    void progress(qint64 nReceived, qint64 nTotal, qint64 nElapsedMs);
    void done(int nResult);

protected:
    void run() override;

private:
    void waitWhileHeld();
    int download();

    const QUrl m_url;
    const QString m_strPath;
    const QByteArray m_sha256; // lower-case hexadecimal, empty when none was announced
    std::atomic<int> m_nResult{RESULT_FAILED};
    std::atomic<bool> m_bCancel{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    // Written and read under m_mutex (the condition needs it); atomic as well because ThreadSanitizer,
    // for a reason not found, does not see the dialog's side of that lock and reports the hold as a
    // race: the atomic gives it an order it sees, and changes nothing the lock guarantees.
    std::atomic<bool> m_bHeld{false};
    QString m_strError;
};

// "Mise à jour de Tavorin": the progress of the download, with "Annuler"; a failure offers to try
// again.
class CDownloadDlg : public QDialog {
    Q_OBJECT
public:
    CDownloadDlg(IAppServices& app, const QUrl& url, const QString& strFolder, const QString& strSha256,
                 QWidget* pParent = nullptr);
    ~CDownloadDlg() override;

    // Starts the download (the first showing does it).
    void startDownload();
    // The thread's last result; RESULT_DONE means the file is there.
    int downloadResult() const { return m_nResult; }
    QString filePath() const;

    // "12 ko" below 1 Mio, "1.5 Mo" from there on.
    static QString sizeText(qint64 nBytes);
    // The time left, in whole minutes.
    static QString timeText(qint64 nElapsedMs, qint64 nReceived, qint64 nTotal);

    // "Annuler" and closing the window: asks first.
    void reject() override;

    QLabel* statusLabel() const { return m_pStatus; }
    QProgressBar* progressBar() const { return m_pProgress; }
    QPushButton* cancelButton() const { return m_pCancel; }

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void onProgress(qint64 nReceived, qint64 nTotal, qint64 nElapsedMs);
    void onDone(int nResult);
    void setPercent(int nPercent);

    IAppServices& m_app;
    const QUrl m_url;
    const QString m_strFolder;
    const QString m_strSha256;
    CDownloadDlgThread* m_pThread = nullptr;
    QLabel* m_pStatus;
    QProgressBar* m_pProgress;
    QPushButton* m_pCancel;
    int m_nResult = CDownloadDlgThread::RESULT_FAILED;
    bool m_bStarted = false;
    bool m_bAsking = false;
    bool m_bDoneHandled = false; // the running thread's end was taken care of
    int m_nPendingResult = 2;    // a result that arrived while the cancel question was open (2: none)
};
