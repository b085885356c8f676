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
// A script with a file has the folder "<name> <key>", the key made from the file's full path, so that
// two scripts of the same name in two folders never share (nor prune) each other's backups. A script
// without a file (new, or imported from a detection) gets a folder with a random key and a marker file
// holding its title: the next start finds those and offers them.
//
// A backup is written once (by rename) and never touched again, so its modification time stands
// for its creation time.
class CAutoSave : public QObject {
    Q_OBJECT
public:
    static constexpr int KEPT = 5;
    // The marker of a folder whose backups belong to a script without a file.
    static constexpr const char* UNTITLED_MARKER = ".sans-fichier";

    explicit CAutoSave(CTraceLog& log, QObject* pParent = nullptr);
    ~CAutoSave() override; // waits for writes under way

    // Title without a trailing ".vare" (exact case).
    static QString baseName(const QString& strTitle);
    // The script name a backup file was made for ("film" for ".../film 2008-03-14 09h05.vare.bak").
    static QString scriptNameOf(const QString& strBackupPath);
    // The backup folder of the script saved at strScriptPath.
    static QString backupFolder(const QString& strAutoSaveFolder, const QString& strScriptPath);
    // A new backup folder for a script without a file (made, with its marker, at the first backup).
    static QString untitledFolder(const QString& strAutoSaveFolder, const QString& strTitle);
    static QString backupFile(const QString& strFolder, const QString& strTitle, const QDateTime& when);
    // The backups of a folder, oldest first.
    static QStringList backups(const QString& strFolder);
    // Deletes the oldest backups so that KEPT - 1 remain; returns how many went.
    static int prune(const QString& strFolder);
    // Time of the newest backup of a script, invalid when none.
    static QDateTime newestBackupTime(const QString& strAutoSaveFolder, const QString& strScriptPath,
                                      QString* pstrBackup = nullptr);

    // A script without a file left by an earlier session: its folder, its title, its newest backup.
    struct SUntitled {
        QString strFolder;
        QString strTitle;
        QString strBackup;
        QDateTime when;
    };
    // Those of every marked folder, newest first.
    static std::vector<SUntitled> untitledBackups(const QString& strAutoSaveFolder);
    // The folder's backups are no longer offered at start-up (the script was saved or given up).
    static void forgetUntitled(const QString& strFolder);

    // One tick: snapshot of the script (with its last position set), prune, then the thread writes into
    // strFolder (made when missing; marked when bUntitled). Returns the file being written.
    QString save(const CVarE& script, const IBookmarkSource& bookmarks, const CTimeCode& tcLastPosition,
                 const QString& strFolder, const QString& strTitle, bool bUntitled = false,
                 const QDateTime& when = QDateTime::currentDateTime());
    // Waits for every write under way (tests, exit).
    void waitForAll();

signals:
    // strReason: why it failed, in French (empty on success).
    void saved(const QString& strPath, bool bOk, const QString& strReason);

private:
    struct SSnapshot;
    CTraceLog& m_log;
    std::vector<QThread*> m_threads;
    std::mutex m_doneMutex; // taken by each write at its end and by those who wait for it
};
