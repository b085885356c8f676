#include "base/FileArgument.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QString DESCRIPTOR_PREFIX = QStringLiteral("/proc/self/fd/");
} // namespace

QString fileArgument(const char* pszRaw) {
    const QByteArray raw(pszRaw);
    QString str = QFile::decodeName(raw);
    if (QFile::encodeName(str) == raw) return str;
    const int fd = ::open(pszRaw, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return str;
    // Kept open until the end: the name lives as long as the descriptor.
    return DESCRIPTOR_PREFIX + QString::number(fd);
}

QString fileArgument(const QUrl& url) {
    if (!url.isLocalFile()) return QString();
    const QByteArray raw = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (raw.isEmpty() || raw.contains('\0')) return url.toLocalFile();
    return fileArgument(raw.constData());
}

bool isDescriptorPath(const QString& strPath) {
    static const QRegularExpression s_re(QStringLiteral("^/proc/self/fd/\\d+$"));
    return s_re.match(strPath).hasMatch();
}

QByteArray descriptorTarget(const QString& strPath) {
    if (!isDescriptorPath(strPath)) return QByteArray();
    char sz[4096];
    const ssize_t n = ::readlink(QFile::encodeName(strPath).constData(), sz, sizeof sz);
    return n > 0 ? QByteArray(sz, int(n)) : QByteArray();
}

QString displayPath(const QString& strPath) {
    const QByteArray target = descriptorTarget(strPath);
    return target.isEmpty() ? strPath : QString::fromUtf8(target);
}
