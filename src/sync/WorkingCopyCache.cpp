#include "sync/WorkingCopyCache.h"

#include "sync/MediaProbe.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cmath>

namespace {
// Changes whenever the copies are made differently: older copies are then made again.
constexpr int COPY_FORMAT = 1;
const QString SUFFIX = QStringLiteral(".mov");
const QString PART = QStringLiteral(".part");

QString pathKey(const QString& strSource) {
    const QByteArray path = QFileInfo(strSource).absoluteFilePath().toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(8));
}

// The movie's name made safe for any file system, short enough to leave room for the keys.
QString stem(const QString& strSource) {
    QString str = QFileInfo(strSource).completeBaseName().left(48);
    for (QChar& c : str)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-')) c = QLatin1Char('_');
    return str.isEmpty() ? QStringLiteral("film") : str;
}

// Size, modification time and both ends of the movie: enough to tell a changed file without reading
// all of it.
QString identityKey(const QString& strSource, int nWidth) {
    QFile f(strSource);
    const QFileInfo fi(strSource);
    if (!fi.isFile() || !f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const qint64 nSize = f.size();
    hash.addData(QByteArray::number(nSize) + ' ' + QByteArray::number(fi.lastModified().toMSecsSinceEpoch()) +
                 ' ' + QByteArray::number(nWidth) + ' ' + QByteArray::number(COPY_FORMAT));
    const QByteArray head = f.read(CWorkingCopyCache::HASHED_BYTES);
    if (head.size() != qMin(nSize, CWorkingCopyCache::HASHED_BYTES)) return {};
    hash.addData(head);
    if (nSize > CWorkingCopyCache::HASHED_BYTES) {
        if (!f.seek(nSize - CWorkingCopyCache::HASHED_BYTES)) return {};
        const QByteArray tail = f.read(CWorkingCopyCache::HASHED_BYTES);
        if (tail.size() != CWorkingCopyCache::HASHED_BYTES) return {};
        hash.addData(tail);
    }
    return QString::fromLatin1(hash.result().toHex().left(16));
}
} // namespace

CWorkingCopyCache::CWorkingCopyCache(const QString& strFolder) : m_strFolder(strFolder) {}

QString CWorkingCopyCache::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/proxies");
}

bool CWorkingCopyCache::prepare() const {
    return QDir().mkpath(m_strFolder);
}

bool CWorkingCopyCache::isTemporary(const QString& strFileName) {
    return strFileName.endsWith(PART);
}

QString CWorkingCopyCache::copyPath(const QString& strSource, int nWidth) const {
    const QString strKey = identityKey(strSource, nWidth);
    if (strKey.isEmpty()) return {};
    return QDir(m_strFolder)
        .filePath(QStringLiteral("%1.%2.%3.w%4%5")
                      .arg(stem(strSource), pathKey(strSource), strKey)
                      .arg(nWidth)
                      .arg(SUFFIX));
}

QString CWorkingCopyCache::find(const QString& strSource, int nWidth) const {
    QString strCopy = copyPath(strSource, nWidth);
    if (strCopy.isEmpty() || !QFileInfo(strCopy).isFile()) return {};
    // Only a finished making names a copy; still, a copy that does not match its movie is never played.
    CMediaProbe movie, copy;
    const bool bMovie = movie.open(strSource);
    const bool bCopy = copy.open(strCopy);
    if (!bMovie) return {};
    const double dFrame = movie.frameRate() > 0.0 ? 1.0 / movie.frameRate() : 0.04;
    const bool bMatches = bCopy && copy.m_bHasVideo && copy.m_nFrameRateNum == movie.m_nFrameRateNum &&
                          copy.m_nFrameRateDen == movie.m_nFrameRateDen &&
                          std::fabs(copy.m_dDuration - movie.m_dDuration) < 1.5 * dFrame;
    if (!bMatches) {
        QFile::remove(strCopy);
        return {};
    }
    return strCopy;
}

qint64 CWorkingCopyCache::size() const {
    qint64 nSize = 0;
    const QFileInfoList files = QDir(m_strFolder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& fi : files)
        nSize += fi.size();
    return nSize;
}

bool CWorkingCopyCache::clear(const QString& strKeep) {
    bool bOk = true;
    const QString strKept = strKeep.isEmpty() ? QString() : QFileInfo(strKeep).absoluteFilePath();
    const QDateTime tStale = QDateTime::currentDateTime().addSecs(-STALE_SECONDS);
    const QFileInfoList files = QDir(m_strFolder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& fi : files) {
        if (fi.absoluteFilePath() == strKept) continue;
        // A copy being made is left to its maker.
        if (isTemporary(fi.fileName()) && fi.lastModified() > tStale) continue;
        if (!QFile::remove(fi.absoluteFilePath())) bOk = false;
    }
    return bOk;
}

void CWorkingCopyCache::removeLeftovers(const QString& strSource) const {
    const QDateTime tStale = QDateTime::currentDateTime().addSecs(-STALE_SECONDS);
    const QString strPrefix =
        strSource.isEmpty() ? QString()
                            : stem(strSource) + QLatin1Char('.') + pathKey(strSource) + QLatin1Char('.');
    const QString strCurrent = strSource.isEmpty() ? QString() : QFileInfo(copyPath(strSource)).fileName();
    const QFileInfoList files = QDir(m_strFolder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& fi : files) {
        const QString strName = fi.fileName();
        if (isTemporary(strName)) {
            if (fi.lastModified() < tStale) QFile::remove(fi.absoluteFilePath());
            continue;
        }
        // A copy of the same path and width with another identity was made from an earlier version of
        // the movie.
        const auto part = [](const QString& str, int n) { return str.section(QLatin1Char('.'), n, n); };
        if (!strCurrent.isEmpty() && strName != strCurrent && strName.startsWith(strPrefix) &&
            strName.endsWith(SUFFIX) && part(strName, -2) == part(strCurrent, -2))
            QFile::remove(fi.absoluteFilePath());
    }
}
