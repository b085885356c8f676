#include "app/HelpCommands.h"

#include "app/AboutDlg.h"
#include "app/Commands.h"
#include "app/SyncApp.h"
#include "app/UpdateChecker.h"
#include "base/DataFolder.h"

#include <QUrl>

CHelpCommands::CHelpCommands(IAppServices& app, QWidget* pWindow, std::function<void()> quit,
                             QObject* pParent)
    : QObject(pParent), m_app(app), m_pUpdates(new CUpdateChecker(app, pWindow, this)) {
    m_pUpdates->m_quit = std::move(quit);
}

void CHelpCommands::bindCommands(CCommandTable& c) {
    c.bind(Cmd::HELP_DOCUMENTATION, [this] { OnHelpDocumentation(); });
    c.bind(Cmd::HELP_SHORTCUTS, [this] { OnHelpShortcuts(); });
    c.bind(Cmd::HELP_WEB, [this] { OnHelpWeb(); });
    // One check at a time; the entry comes back when it is over.
    c.bind(Cmd::HELP_UPDATES,
           {[this] { m_pUpdates->check(false); }, [this] { return !m_pUpdates->isChecking(); }, {}, {}});
    c.bind(Cmd::HELP_RELEASE_NOTES, [this] { OnHelpReleaseNotes(); });
    c.bind(Cmd::APP_ABOUT, [this] { OnAppAbout(); });
}

bool CHelpCommands::openShipped(const char* pszRelative) {
    const QString strPath = CDataFolder(m_app.programFolder()).filePath(QString::fromLatin1(pszRelative));
    if (strPath.isEmpty()) {
        // Not shipped with this copy of the program (or its data folder is gone).
        m_app.prompts().message(QStringLiteral("Fichier introuvable."), IPrompts::ICON_ERROR);
        return false;
    }
    return m_app.shell().openFile(strPath);
}

void CHelpCommands::OnHelpDocumentation() {
    openShipped(GUIDE);
}

void CHelpCommands::OnHelpShortcuts() {
    openShipped(SHORTCUTS);
}

void CHelpCommands::OnHelpReleaseNotes() {
    openShipped(RELEASE_NOTES);
}

void CHelpCommands::OnHelpWeb() {
    m_app.shell().openUrl(QUrl(m_app.settings().get(Settings::HomePageURL).trimmed()));
}

QString CHelpCommands::aboutText() {
    return CAboutDlg::text();
}

void CHelpCommands::OnAppAbout() {
    m_app.prompts().about(aboutText());
}
