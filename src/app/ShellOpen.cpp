#include "app/ShellOpen.h"

#include "app/Prompts.h"

#include <QDesktopServices>
#include <QFileInfo>

CShellOpen::CShellOpen(IPrompts& prompts, Opener opener)
    : m_prompts(prompts),
      m_opener(opener ? std::move(opener)
                      : Opener([](const QUrl& url) { return QDesktopServices::openUrl(url); })) {}

QString CShellOpen::fileProblem(const QString& strPath) {
    const QFileInfo info(strPath);
    if (strPath.isEmpty() || !info.exists()) {
        const QFileInfo folder(info.absolutePath());
        return !strPath.isEmpty() && !folder.isDir() ? QStringLiteral("Chemin d'accès introuvable.")
                                                     : QStringLiteral("Fichier introuvable.");
    }
    if (!info.isReadable()) return QString::fromUtf8("Accès refusé.");
    return {};
}

bool CShellOpen::openFile(const QString& strPath) {
    if (const QString strProblem = fileProblem(strPath); !strProblem.isEmpty()) return fail(strProblem);
    if (!m_opener(QUrl::fromLocalFile(QFileInfo(strPath).absoluteFilePath())))
        return fail(QString::fromUtf8("Aucun programme trouvé pour lire le fichier."));
    return true;
}

bool CShellOpen::openUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty() || !m_opener(url))
        return fail(QStringLiteral("Erreur lors de l'ouverture du fichier."));
    return true;
}

bool CShellOpen::fail(const QString& strText) {
    m_prompts.message(strText, IPrompts::ICON_ERROR);
    return false;
}
