#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class IPrompts;

// Opens a file or a web address with the desktop's program for it (the way a double click in the
// file manager would), and tells the user in French when that cannot be done.
class CShellOpen {
public:
    // How a file or address is handed to the desktop; QDesktopServices::openUrl by default.
    using Opener = std::function<bool(const QUrl&)>;

    CShellOpen(IPrompts& prompts, Opener opener = {});

    // A local file; a missing file, a missing folder, an unreadable file or no program for it gets its
    // message (error icon). True when it was handed to a program.
    bool openFile(const QString& strPath);
    // A web address (https); a failure gets "Erreur lors de l'ouverture du fichier.".
    bool openUrl(const QUrl& url);

    // Why a local file cannot be opened, empty when it can be handed over.
    static QString fileProblem(const QString& strPath);

private:
    bool fail(const QString& strText);

    IPrompts& m_prompts;
    Opener m_opener;
};
