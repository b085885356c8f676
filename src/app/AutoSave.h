#pragma once

#include "vare/TimeCode.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <vector>

class CVarE;
class IBookmarkSource;
class CTraceLog;
class QThread;

// Rotating backups of the open script: one folder per script under the auto-save folder, at most
// five files "<name> yyyy-MM-dd HHhmm.vare.bak". A tick copies the script on the GUI thread and
// writes the copy on a low-priority thread; the copy belongs to that thread, which deletes it.
//
// A backup is written once (by rename) and never touched again, so its modification time stands
// for its creation time.
class CAutoSave : public QObject {
    Q_OBJECT
public:
    static constexpr int KEPT = 5;

    explicit CAutoSave(CTraceLog& log, QObject* pParent = nullptr);
    ~CAutoSave() override; // waits for writes under way

    // Title without a trailing ".vare" (exact case).
    static QString baseName(const QString& strTitle);
    // The script name a backup file was made for ("film" for ".../film 2008-03-14 09h05.vare.bak").
    static QString scriptNameOf(const QString& strBackupPath);
    static QString backupFolder(const QString& strAutoSaveFolder, const QString& strTitle);
    static QString backupFile(const QString& strAutoSaveFolder, const QString& strTitle,
                              const QDateTime& when);
    // The backups of a folder, oldest first.
    static QStringList backups(const QString& strFolder);
    // Deletes the oldest backups so that KEPT - 1 remain; returns how many went.
    static int prune(const QString& strFolder);
    // Time of the newest backup of a script, invalid when none.
    static QDateTime newestBackupTime(const QString& strAutoSaveFolder, const QString& strScriptPath,
                                      QString* pstrBackup = nullptr);

    // One tick: snapshot of the script (with its last position set), prune, then the thread writes.
    // Returns the file being written.
    QString save(const CVarE& script, const IBookmarkSource& bookmarks, const CTimeCode& tcLastPosition,
                 const QString& strAutoSaveFolder, const QString& strTitle,
                 const QDateTime& when = QDateTime::currentDateTime());
    // Waits for every write under way (tests, exit).
    void waitForAll();

signals:
    void saved(const QString& strPath, bool bOk);

private:
    struct SSnapshot;
    CTraceLog& m_log;
    std::vector<QThread*> m_threads;
    std::mutex m_doneMutex; // taken by each write at its end and by those who wait for it
};
