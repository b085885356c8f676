#pragma once

#include <QDate>
#include <QString>

class CVarE;
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

// Writes the studio document: front page, croisillé, role list and script under a common page
// header and footer. False when the file cannot be created or written; the target is then left
// as it was.
bool exportScript(const CVarE& script, const QString& strPath, const QString& strGenerator,
                  const CScriptExportOptions& options, CExportShading& shading);
