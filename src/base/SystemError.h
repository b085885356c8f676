#pragma once

#include <QString>

class QFileDevice;
class QSaveFile;

// The reasons the system gives for a failed file operation, in French: the C library's texts follow
// the user's locale, which is seldom French on a studio's machines and never in its scripts.
// "fichier ou dossier introuvable" for ENOENT; a general phrase for the rare others.
QString systemErrorText(int nErrno);
// The reason a QFile or QSaveFile gave for its last failure.
QString fileErrorReason(const QFileDevice& file);
// Opens a file that is written beside its target and renamed over it on commit. Only a new name or a
// regular file (or a link to one) may be replaced so: the rename would put a file in the place of a
// device, a pipe or a socket. On failure *pReason (when given) gets the reason in French.
bool openForSaving(QSaveFile& file, QString* pReason = nullptr);
