#pragma once

#include <QObject>
#include <functional>

class CCommandTable;
class CUpdateChecker;
class IAppServices;
class QWidget;

// The "&Aide" menu: the user guide, the page of keyboard shortcuts and the release notes that ship
// with the program (found in its data folder, wherever it is started from), the web page, the update
// check and "À propos".
class CHelpCommands : public QObject {
    Q_OBJECT
public:
    // Files of the data folder.
    static constexpr const char* GUIDE = "docs/Guide de Tavorin.html";
    static constexpr const char* SHORTCUTS = "docs/Raccourcis.html";
    static constexpr const char* RELEASE_NOTES = "docs/Notes de version.rtf";

    // quit asks the main window to close (after an update was started).
    CHelpCommands(IAppServices& app, QWidget* pWindow, std::function<void()> quit,
                  QObject* pParent = nullptr);
    void bindCommands(CCommandTable& commands);

    void OnHelpDocumentation();
    void OnHelpShortcuts();
    void OnHelpWeb();
    void OnHelpReleaseNotes();
    void OnAppAbout();
    CUpdateChecker& updates() { return *m_pUpdates; }

    // The program's name and version, and the versions of the libraries it runs on.
    static QString aboutText();

private:
    // A file of the data folder; a missing one gets "Fichier introuvable.".
    bool openShipped(const char* pszRelative);

    IAppServices& m_app;
    CUpdateChecker* m_pUpdates;
};
