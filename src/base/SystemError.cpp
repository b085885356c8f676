#include "base/SystemError.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace {
struct SReason {
    int nErrno;
    const char* pszText;
};
constexpr SReason REASONS[] = {
    {ENOENT, "fichier ou dossier introuvable"},
    {EACCES, "permission refusée"},
    {EPERM, "opération non permise"},
    {ENOSPC, "plus de place sur le disque"},
    {EDQUOT, "quota de disque dépassé"},
    {EROFS, "système de fichiers en lecture seule"},
    {EISDIR, "c'est un dossier"},
    {ENOTDIR, "un élément du chemin n'est pas un dossier"},
    {ENAMETOOLONG, "nom de fichier trop long"},
    {EEXIST, "le fichier existe déjà"},
    {ELOOP, "trop de liens symboliques"},
    {EMFILE, "trop de fichiers ouverts"},
    {ENFILE, "trop de fichiers ouverts dans le système"},
    {EFBIG, "fichier trop volumineux"},
    {EIO, "erreur d'entrée-sortie du disque"},
    {EBUSY, "fichier ou périphérique occupé"},
    {ETXTBSY, "fichier en cours d'utilisation"},
    {EXDEV, "déplacement impossible entre deux systèmes de fichiers"},
    {EINVAL, "nom ou argument invalide"},
    {ENOMEM, "mémoire insuffisante"},
};
} // namespace

QString systemErrorText(int nErrno) {
    for (const SReason& r : REASONS)
        if (r.nErrno == nErrno) return QString::fromUtf8(r.pszText);
    return QStringLiteral("erreur système %1").arg(nErrno);
}

bool openForSaving(QSaveFile& file, QString* pReason) {
    const QFileInfo fi(file.fileName());
    if (fi.exists() && !fi.isFile() && !fi.isDir()) {
        if (pReason) *pReason = QStringLiteral("ce n'est pas un fichier ordinaire");
        return false;
    }
    if (file.open(QIODevice::WriteOnly)) return true;
    if (pReason) *pReason = fileErrorReason(file);
    return false;
}

QString fileErrorReason(const QFileDevice& file) {
    // QSaveFile refuses a folder with words of its own.
    if (file.error() != QFileDevice::NoError && QFileInfo(file.fileName()).isDir())
        return systemErrorText(EISDIR);
    // Qt words a system error with qt_error_string(errno): the same call finds the number back.
    const QString strQt = file.errorString();
    for (const SReason& r : REASONS)
        if (strQt == qt_error_string(r.nErrno)) return QString::fromUtf8(r.pszText);
    switch (file.error()) {
    case QFileDevice::NoError:
        return {};
    case QFileDevice::ReadError:
        return QStringLiteral("erreur de lecture");
    case QFileDevice::WriteError:
        return QStringLiteral("erreur d'écriture");
    case QFileDevice::ResourceError:
        return QStringLiteral("ressources du système insuffisantes (disque plein ?)");
    case QFileDevice::RenameError:
        return QStringLiteral("le fichier n'a pas pu être remplacé");
    case QFileDevice::PermissionsError:
        return QStringLiteral("permission refusée");
    default:
        return QStringLiteral("ouverture impossible");
    }
}
