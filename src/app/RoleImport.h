#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class CCommandTable;
class CVarE;
class CVarEDoc;
class IAppServices;
class QTreeWidget;

// "Importer les rôles": the roles of another script, each with a tick box ticked as its import flag
// says; "Tous" and "Aucun" tick or clear them all.
class CImportRolesDlg : public QDialog {
    Q_OBJECT
public:
    CImportRolesDlg(const CVarE& other, QWidget* pParent = nullptr);
    // The names of the roles ticked.
    QStringList tickedRoles() const;
    QTreeWidget* list() const { return m_pList; }
    void setAllTicked(bool bTicked);

private:
    QTreeWidget* m_pList;
};

// "Liste de rôles..." under "Importer": copies roles of another script into the document's, in one
// undoable step. Roles whose name the script already has are left out.
class CRoleImport {
public:
    CRoleImport(IAppServices& app, CVarEDoc& doc, QWidget* pWindow);
    void bindCommands(CCommandTable& commands);

    // The open dialog in the scripts' folder, then importRole().
    void OnFileImportRoles();
    // Reads the script at strPath, lets the user tick the roles and copies them. The number of roles
    // copied; -1 when the file cannot be read or the user cancels.
    int importRole(const QString& strPath);

    // The tick dialog (tests answer it): true to go on.
    std::function<bool(CImportRolesDlg&)> m_runDialog;

private:
    IAppServices& m_app;
    CVarEDoc& m_doc;
    QWidget* m_pWindow;
};
