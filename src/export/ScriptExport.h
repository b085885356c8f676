#pragma once

#include <QDate>
#include <QString>

class CVarE;
class CSettingsStore;
struct CExportShading;

// Script layouts of the export.
enum EScriptLayout { SCRIPT_NONE = 0, SCRIPT_CLASSIC = 1, SCRIPT_DOCUMENTARY = 2 };

// What goes into the studio document ("Formatage du document"). The defaults are those of the
// settings table.
struct CScriptExportOptions {
    int nLayout = SCRIPT_CLASSIC;
    bool bTCOut = false; // end timecodes in the documentary layout
    bool bCroisille = true;
    int nRoleList = 1; // ERoleListMode
    QString strRole;   // only this role's phrases in the script; empty (or unknown) for every role
    bool bFrontPage = true;
    QDate date = QDate::currentDate(); // printed on the front page
};

// The generator text written into every exported document: "Tavorin v" and the program's version.
QString scriptExportGenerator();

// Writes the studio document: front page, croisillé, role list and script under a common page
// header and footer. False when the file cannot be created or written, with the reason in French in
// pError; the target is then left as it was.
bool exportScript(const CVarE& script, const QString& strPath, const QString& strGenerator,
                  const CScriptExportOptions& options, CExportShading& shading, QString* pError = nullptr);

// The options as last used (settings "ScriptFormat", "ScriptTCOut", "ScriptCroisille",
// "ScriptRoleList", "ScriptFrontPage"); a value out of range reads as its default. The role filter
// is never stored.
CScriptExportOptions loadScriptExportOptions(const CSettingsStore& store);
void storeScriptExportOptions(CSettingsStore& store, const CScriptExportOptions& options);

// The file name offered for the export: the script's path without ".vare" and a suffix telling what
// the document holds (" - CROISILLE ET SCRIPT", " - CROISILLE", " - SCRIPT" or " - ROLES"), then the
// filtered role's name when there is a script.
QString defaultScriptExportName(const QString& strScriptPath, const CScriptExportOptions& options);
