#pragma once

#include <QString>

class QFileDevice;

// The reasons the system gives for a failed file operation, in French: the C library's texts follow
// the user's locale, which is seldom French on a studio's machines and never in its scripts.
// "fichier ou dossier introuvable" for ENOENT; a general phrase for the rare others.
QString systemErrorText(int nErrno);
// The reason a QFile or QSaveFile gave for its last failure.
QString fileErrorReason(const QFileDevice& file);
