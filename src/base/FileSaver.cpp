#include "base/FileSaver.h"

#include "base/FileArgument.h"
#include "base/SystemError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString g_strCopyFolder;
bool g_bTemporaryRefused = false;

// The reasons a folder gives when it takes no new file (a file in it may still be writable).
bool isRefusal(const QString& strReason) {
    return strReason == systemErrorText(EACCES) || strReason == systemErrorText(EPERM);
}

// Qt words a failed write or flush without its cause, or reports a short write as no error at all;
// the system's number, taken right after the failure, has the cause (a full disk, a quota, a size
// limit).
QString writeFailure(const QFileDevice& file, int nErrno) {
    const QFileDevice::FileError e = file.error();
    if (nErrno != 0 &&
        (e == QFileDevice::NoError || e == QFileDevice::WriteError || e == QFileDevice::ResourceError))
        return systemErrorText(nErrno);
    return fileErrorReason(file);
}
} // namespace

CFileSaver::CFileSaver(const QString& strPath) : m_strPath(strPath) {}

CFileSaver::~CFileSaver() {
    cancel();
}

void CFileSaver::setCopyFolder(const QString& strFolder) {
    g_strCopyFolder = strFolder;
}

QString CFileSaver::copyFolder() {
    return g_strCopyFolder.isEmpty() ? QDir::temp().filePath(QStringLiteral("tavorin-copies"))
                                     : g_strCopyFolder;
}

QString CFileSaver::pathKey(const QString& strPath) {
    // A file known by its descriptor has a name no QString holds: its own bytes tell it from its
    // neighbours whose names differ only where they cannot be decoded.
    QByteArray bytes = descriptorTarget(strPath);
    if (bytes.isEmpty()) {
        const QFileInfo fi(strPath);
        const QString strCanonical = fi.canonicalFilePath();
        bytes = (strCanonical.isEmpty() ? fi.absoluteFilePath() : strCanonical).toUtf8();
    }
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(10));
}

QString CFileSaver::copyPathFor(const QString& strPath) {
    return copyFolder() + QLatin1Char('/') + QFileInfo(displayPath(strPath)).fileName() + QLatin1Char(' ') +
           pathKey(strPath) + QStringLiteral(".bak");
}

void CFileSaver::setTemporaryRefused(bool bRefused) {
    g_bTemporaryRefused = bRefused;
}

bool CFileSaver::fail(const QString& strReason) {
    m_strReason = strReason;
    cancel();
    return false;
}

bool CFileSaver::open() {
    cancel();
    m_strReason.clear();
    m_strCopy.clear();
    m_bOk = true;
    m_bInPlace = false;
    const QFileInfo fi(m_strPath);
    if (fi.exists() && !fi.isFile() && !fi.isDir())
        return fail(QStringLiteral("ce n'est pas un fichier ordinaire"));
    // A file known by its descriptor only has no folder (nor name) to write a new file into.
    const bool bByDescriptor = isDescriptorPath(m_strPath);
    // A link is written through: the file it names is the one replaced.
    if (fi.exists() && !bByDescriptor) m_strPath = fi.canonicalFilePath();

    struct stat st {};
    m_bExisted = ::stat(QFile::encodeName(m_strPath).constData(), &st) == 0 && S_ISREG(st.st_mode);
    if (m_bExisted) {
        m_nUid = st.st_uid;
        m_nGid = st.st_gid;
        m_nMode = st.st_mode & 07777;
    }
    if (m_bExisted && (st.st_nlink > 1 || bByDescriptor)) return openInPlace();

    m_pSave = std::make_unique<QSaveFile>(m_strPath);
    if (!g_bTemporaryRefused && m_pSave->open(QIODevice::WriteOnly)) {
        m_eMode = M_ATOMIC;
        return true;
    }
    const QString strReason = g_bTemporaryRefused ? systemErrorText(EACCES) : fileErrorReason(*m_pSave);
    m_pSave.reset();
    if (m_bExisted && isRefusal(strReason) && ::access(QFile::encodeName(m_strPath).constData(), W_OK) == 0)
        return openInPlace();
    return fail(strReason);
}

bool CFileSaver::openInPlace() {
    m_pFile = std::make_unique<QFile>(m_strPath);
    if (!m_pFile->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) return fail(fileErrorReason(*m_pFile));
    m_old = m_pFile->readAll();
    if (m_pFile->error() != QFileDevice::NoError) return fail(fileErrorReason(*m_pFile));

    // No in-place write without a copy of what it overwrites.
    const QString strCopy = copyPathFor(m_strPath);
    QDir().mkpath(copyFolder());
    QSaveFile copy(strCopy);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(m_old) != m_old.size() || !copy.commit()) {
        const QString strWhy = fileErrorReason(copy);
        copy.cancelWriting();
        return fail(QStringLiteral("la copie de l'ancien texte n'a pas pu être écrite dans %1 (%2)")
                        .arg(QDir::toNativeSeparators(strCopy), strWhy));
    }
    m_strCopy = strCopy;
    m_eMode = M_IN_PLACE;
    m_bInPlace = true;
    return true;
}

bool CFileSaver::write(const char* p, qint64 n) {
    if (!m_bOk) return false;
    if (m_eMode == M_ATOMIC) {
        errno = 0;
        m_bOk = m_pSave->write(p, n) == n;
        if (!m_bOk) m_strReason = writeFailure(*m_pSave, errno);
    } else if (m_eMode == M_IN_PLACE)
        m_new.append(p, n);
    else
        m_bOk = false;
    return m_bOk;
}

bool CFileSaver::commit() {
    if (m_eMode == M_IN_PLACE) return commitInPlace();
    if (m_eMode != M_ATOMIC) return false;
    // The last of the text may still wait in the buffer: a failure to write it must fail the save (the
    // rename would otherwise put a cut file in place of a whole one).
    errno = 0;
    if (m_bOk && !m_pSave->flush()) {
        m_bOk = false;
        m_strReason = writeFailure(*m_pSave, errno);
    }
    if (m_bOk && m_bExisted) {
        // The file stays its owner's, in its group, with its mode: an ordinary user may not give a file
        // away (the group is still kept when the user belongs to it), the mode is always kept.
        const int fd = m_pSave->handle();
        if (::fchown(fd, m_nUid, m_nGid) != 0 && ::fchown(fd, uid_t(-1), m_nGid) != 0) {
        }
        if (::fchmod(fd, m_nMode) != 0) {
        }
    }
    const bool bOk = m_bOk && m_pSave->commit();
    if (!bOk && m_strReason.isEmpty()) m_strReason = fileErrorReason(*m_pSave);
    if (!bOk && m_strReason.isEmpty()) m_strReason = QStringLiteral("erreur d'écriture");
    cancel();
    return bOk;
}

bool CFileSaver::commitInPlace() {
    QFile& f = *m_pFile;
    const auto put = [&f](const QByteArray& text) {
        return f.seek(0) && f.write(text) == text.size() && f.flush() && f.resize(text.size()) &&
               ::fsync(f.handle()) == 0;
    };
    errno = 0;
    if (m_bOk && put(m_new)) {
        cancel();
        return true;
    }
    const QString strWhy = writeFailure(f, errno);
    f.unsetError();
    const QString strCopy = QDir::toNativeSeparators(m_strCopy);
    if (put(m_old))
        m_strReason = QStringLiteral("%1 ; l'ancien texte a été remis en place (une copie est dans %2)")
                          .arg(strWhy, strCopy);
    else
        m_strReason =
            QStringLiteral("%1 ; l'ancien texte n'a pas pu être remis en place : il est gardé dans %2")
                .arg(strWhy, strCopy);
    cancel();
    return false;
}

void CFileSaver::cancel() {
    if (m_pSave) m_pSave->cancelWriting();
    m_pSave.reset();
    m_pFile.reset();
    m_old.clear();
    m_new.clear();
    m_eMode = M_CLOSED;
}

bool CFileSaver::save(const QString& strPath, const QByteArray& data, QString* pstrReason) {
    CFileSaver file(strPath);
    const bool bOk = file.open() && file.write(data) && file.commit();
    if (!bOk && pstrReason) *pstrReason = file.reason();
    return bOk;
}
