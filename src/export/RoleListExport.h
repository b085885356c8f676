#pragma once

class CVarE;
class CRtfFile;
struct CExportShading;
class CLoopRoleTable;

// Role list modes of the script export.
enum ERoleListMode { ROLE_LIST_NONE = 0, ROLE_LIST_LOOPS = 1, ROLE_LIST_FIRST_TC = 2 };

// The role list section: every role with its line count, gender, loops (or first timecode) and
// description, then the total line count.
void writeRoleList(const CVarE& script, CRtfFile& rtf, int nMode, CExportShading& shading);
void writeRoleList(const CVarE& script, const CLoopRoleTable& table, CRtfFile& rtf, int nMode,
                   CExportShading& shading);
