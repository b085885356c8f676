#include "app/AutoSave.h"

#include "base/FileArgument.h"
#include "base/FileSaver.h"
#include "base/TraceLog.h"
#include "vare/VarE.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>

CAutoSave::CAutoSave(CTraceLog& log, QObject* pParent) : QObject(pParent), m_log(log) {}

CAutoSave::~CAutoSave() {
    waitForAll();
    // Their finished handlers will not run once this object is gone.
    for (QThread* p : m_threads)
        delete p;
}

QString CAutoSave::baseName(const QString& strTitle) {
    return strTitle.endsWith(QLatin1String(".vare")) ? strTitle.left(strTitle.size() - 5) : strTitle;
}

// What one tick writes: a copy of the script and of its bookmarks, owned by the writing thread.
struct CAutoSave::SSnapshot {
    CVarE script;
    CBookmarkArray bookmarks;
};

namespace {
// " yyyy-MM-dd HHhmm" then the extensions, as backupFile() writes them.
const char* const TIME_FORMAT = " yyyy-MM-dd HH'h'mm";
const char* const BACKUP_SUFFIX = ".vare.bak";
} // namespace

QString CAutoSave::scriptNameOf(const QString& strBackupPath) {
    QString str = QFileInfo(strBackupPath).fileName();
    if (str.endsWith(QLatin1String(BACKUP_SUFFIX)))
        str.chop(int(qstrlen(BACKUP_SUFFIX)));
    else if (str.endsWith(QLatin1String(".bak")))
        str.chop(4);
    static const QRegularExpression stamp(QStringLiteral(" \\d{4}-\\d{2}-\\d{2} \\d{2}h\\d{2}$"));
    return str.remove(stamp);
}

QString CAutoSave::backupFolder(const QString& strAutoSaveFolder, const QString& strScriptPath) {
    return strAutoSaveFolder + QLatin1Char('/') + baseName(QFileInfo(displayPath(strScriptPath)).fileName()) +
           QLatin1Char(' ') + CFileSaver::pathKey(strScriptPath);
}

QString CAutoSave::untitledFolder(const QString& strAutoSaveFolder, const QString& strTitle) {
    for (;;) {
        const QString strKey = QString::number(QRandomGenerator::global()->generate64(), 16).left(10);
        QString strFolder =
            strAutoSaveFolder + QLatin1Char('/') + baseName(strTitle) + QLatin1Char(' ') + strKey;
        if (!QFileInfo::exists(strFolder)) return strFolder;
    }
}

QString CAutoSave::backupFile(const QString& strFolder, const QString& strTitle, const QDateTime& when) {
    return strFolder + QLatin1Char('/') + baseName(strTitle) + when.toString(QLatin1String(TIME_FORMAT)) +
           QLatin1String(BACKUP_SUFFIX);
}

std::vector<CAutoSave::SUntitled> CAutoSave::untitledBackups(const QString& strAutoSaveFolder) {
    std::vector<SUntitled> found;
    const QDir dir(strAutoSaveFolder);
    for (const QString& strName : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString strFolder = dir.filePath(strName);
        QFile marker(strFolder + QLatin1Char('/') + QLatin1String(UNTITLED_MARKER));
        if (!marker.open(QIODevice::ReadOnly)) continue;
        const QStringList list = backups(strFolder);
        if (list.isEmpty()) continue;
        const QString strTitle = QString::fromUtf8(marker.read(1024)).trimmed();
        found.push_back({strFolder, strTitle.isEmpty() ? baseName(strName) : strTitle, list.last(),
                         QFileInfo(list.last()).lastModified()});
    }
    std::sort(found.begin(), found.end(),
              [](const SUntitled& a, const SUntitled& b) { return a.when > b.when; });
    return found;
}

void CAutoSave::forgetUntitled(const QString& strFolder) {
    if (!strFolder.isEmpty()) QFile::remove(strFolder + QLatin1Char('/') + QLatin1String(UNTITLED_MARKER));
}

QStringList CAutoSave::backups(const QString& strFolder) {
    QFileInfoList list = QDir(strFolder).entryInfoList({QStringLiteral("*.bak")}, QDir::Files, QDir::NoSort);
    std::stable_sort(list.begin(), list.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() < b.lastModified();
    });
    QStringList paths;
    for (const QFileInfo& fi : list)
        paths << fi.absoluteFilePath();
    return paths;
}

int CAutoSave::prune(const QString& strFolder) {
    const QStringList list = backups(strFolder);
    int nDeleted = 0;
    for (int i = 0; i + (KEPT - 1) < list.size(); ++i)
        if (QFile::remove(list[i])) ++nDeleted;
    return nDeleted;
}

QDateTime CAutoSave::newestBackupTime(const QString& strAutoSaveFolder, const QString& strScriptPath,
                                      QString* pstrBackup) {
    const QStringList list = backups(backupFolder(strAutoSaveFolder, strScriptPath));
    if (list.isEmpty()) return {};
    if (pstrBackup) *pstrBackup = list.last();
    return QFileInfo(list.last()).lastModified();
}

QString CAutoSave::save(const CVarE& script, const IBookmarkSource& bookmarks,
                        const CTimeCode& tcLastPosition, const QString& strFolder, const QString& strTitle,
                        bool bUntitled, const QDateTime& when) {
    auto pSnapshot = std::make_unique<SSnapshot>();
    pSnapshot->script.copyFrom(script);
    pSnapshot->script.setLastPosition(tcLastPosition);
    for (int i = 0; i < bookmarks.getBookmarkCount(); ++i) {
        CTimeCode tc;
        QString strLabel;
        bookmarks.getBookmark(i, tc, strLabel);
        pSnapshot->bookmarks.addBookmark(tc, strLabel);
    }
    QString strFile = backupFile(strFolder, strTitle, when);
    QDir().mkpath(strFolder);
    if (bUntitled) {
        // The title the script had, for the question at the next start.
        QFile marker(strFolder + QLatin1Char('/') + QLatin1String(UNTITLED_MARKER));
        if (!marker.exists() && marker.open(QIODevice::WriteOnly)) marker.write(strTitle.toUtf8());
    }
    if (backups(strFolder).size() >= KEPT) prune(strFolder);

    SSnapshot* pRaw = pSnapshot.release();
    CTraceLog* pLog = &m_log;
    QThread* pThread = QThread::create([this, pRaw, pLog, strFile] {
        std::unique_ptr<SSnapshot> pOwned(pRaw);
        pLog->Log("AutoSaveThread(%p)\n", static_cast<void*>(pRaw));
        QString strReason;
        const bool bOk =
            pOwned->script.store(strFile, &pOwned->bookmarks, QStringLiteral(TAVORIN_VERSION), &strReason);
        // A failure is never reported as complete: the next tick tries again.
        if (bOk)
            pLog->Log("AutoSaveThread() => %s complete \n", qUtf8Printable(strFile));
        else
            pLog->Log("AutoSaveThread() => Echec lors de l'enregistrement automatique!!! %s : %s\n",
                      qUtf8Printable(strFile), qUtf8Printable(strReason));
        emit saved(strFile, bOk, strReason);
        // The end of the thread's work, as a lock that the waiting side takes too: Qt's own waits are
        // invisible to the race detector, so it would take the snapshot's and the log's last use here
        // for a race with their owner's end.
        const std::lock_guard<std::mutex> done(m_doneMutex);
    });
    m_threads.push_back(pThread);
    connect(pThread, &QThread::finished, this, [this, pThread] {
        { const std::lock_guard<std::mutex> done(m_doneMutex); }
        m_threads.erase(std::remove(m_threads.begin(), m_threads.end(), pThread), m_threads.end());
        pThread->deleteLater();
    });
    pThread->start(QThread::LowestPriority);
    return strFile;
}

void CAutoSave::waitForAll() {
    const std::vector<QThread*> threads = m_threads;
    for (QThread* p : threads)
        p->wait();
    const std::lock_guard<std::mutex> done(m_doneMutex);
}
