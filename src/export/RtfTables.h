#pragma once

class CRtfFile;

// Pieces of the export tables and sections that several exports share.
namespace rtftables {
// A portrait section with the studio's margins (1800 left and right, 1440 top and bottom).
void beginPortraitSection(CRtfFile& rtf, bool bTitlePage = false);
// Section margins: left and right as given, 1440 top and bottom.
void writeMargins(CRtfFile& rtf, int nLeft, int nRight);
// A thin border on the four sides of the next cell.
void writeCellBorders(CRtfFile& rtf);
} // namespace rtftables
