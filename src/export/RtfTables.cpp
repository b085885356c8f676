#include "export/RtfTables.h"

#include "export/RtfFile.h"

namespace rtftables {
void writeMargins(CRtfFile& rtf, int nLeft, int nRight) {
    rtf.writeInt("\\marglsxn", nLeft);
    rtf.writeInt("\\margrsxn", nRight);
    rtf.write("\\margtsxn1440\\margbsxn1440");
}

void beginPortraitSection(CRtfFile& rtf, bool bTitlePage) {
    rtf.beginSection();
    writeMargins(rtf, 1800, 1800);
    if (bTitlePage) rtf.write("\\titlepg");
    rtf.write("\n");
}

void writeCellBorders(CRtfFile& rtf) {
    rtf.write("\\clbrdrt\\brdrs\\brdrw10 \\clbrdrl\\brdrs\\brdrw10 \\clbrdrb\\brdrs\\brdrw10 "
              "\\clbrdrr\\brdrs\\brdrw10");
}
} // namespace rtftables
