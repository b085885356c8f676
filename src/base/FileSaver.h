#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QFile;
class QSaveFile;

// Writes a file so that nothing of its old text is lost, whatever fails, and so that it stays the same
// file for those who share it. Every script, export and copy the program writes goes through it.
//
// Usually the text goes to a temporary file beside the target, which then takes the target's owner,
// group and mode (the owner only where the system allows it) and is renamed over it: a failure at any
// point leaves the old file whole. Two cases cannot be renamed over and are written in place instead:
// a file with other hard links (a rename would leave the other names on the old text), and a writable
// file in a folder that takes no new file. Before an in-place write the old text is copied into the
// copy folder ("<name> <key>.bak", the key made from the file's full path, one copy per file, replaced
// at each such save); a write that fails half-way puts the old text back, and the reason says so and
// where the copy lies.
//
// Only a new name or a regular file (or a link to one) is written: a device, a pipe or a socket is
// refused.
class CFileSaver {
public:
    explicit CFileSaver(const QString& strPath);
    ~CFileSaver(); // gives up what was not committed
    CFileSaver(const CFileSaver&) = delete;
    CFileSaver& operator=(const CFileSaver&) = delete;

    bool open();
    bool write(const char* p, qint64 n);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    // Makes the written text the file's; false when it is not (the old text is then still there).
    bool commit();
    // Gives up: the file keeps its old text.
    void cancel();

    bool isOpen() const { return m_eMode != M_CLOSED; }
    // Whether the file is (or was) written in place.
    bool isInPlace() const { return m_bInPlace; }
    // Why it failed, in French.
    const QString& reason() const { return m_strReason; }
    // The copy of the old text taken before an in-place write; empty when none was needed.
    const QString& copyPath() const { return m_strCopy; }

    // The whole content in one call. On failure *pstrReason (when given) gets the reason in French.
    static bool save(const QString& strPath, const QByteArray& data, QString* pstrReason = nullptr);

    // Where the copies taken before an in-place write go; the program puts them beside its backups.
    // Without it, a folder under the system's temporary folder.
    static void setCopyFolder(const QString& strFolder);
    static QString copyFolder();
    // The copy of the file at strPath (the key makes two files of the same name in two folders apart).
    static QString copyPathFor(const QString& strPath);
    // A short key for a file's full path (its real path when it exists, so that two names of one file
    // share it).
    static QString pathKey(const QString& strPath);
    // Tests: the temporary file beside the target is refused as by a folder that takes no new file
    // (a test run as root cannot make a folder refuse it).
    static void setTemporaryRefused(bool bRefused);

private:
    enum EMode { M_CLOSED, M_ATOMIC, M_IN_PLACE };
    bool openInPlace();
    bool commitInPlace();
    bool fail(const QString& strReason);

    QString m_strPath;
    EMode m_eMode = M_CLOSED;
    std::unique_ptr<QSaveFile> m_pSave;
    std::unique_ptr<QFile> m_pFile;
    QByteArray m_old;
    QByteArray m_new;
    QString m_strReason;
    QString m_strCopy;
    bool m_bOk = true;
    bool m_bInPlace = false;
    // The old file's owner, group and mode, when there was one.
    bool m_bExisted = false;
    unsigned m_nUid = 0, m_nGid = 0, m_nMode = 0;
};
