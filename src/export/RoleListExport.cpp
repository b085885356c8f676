#include "export/RoleListExport.h"

#include "export/ExportShading.h"
#include "export/Lignage.h"
#include "export/LoopRoleTable.h"
#include "export/PhraseText.h"
#include "export/RtfFile.h"
#include "export/RtfTables.h"
#include "vare/VarE.h"

#include <QStringList>

namespace {
const int s_anRight[5] = {2500, 3300, 3800, 5200, 9180};

void writeRowDefinition(CRtfFile& rtf, bool bShaded) {
    for (int nRight : s_anRight) {
        if (bShaded) rtf.write("\\clshdng2000");
        rtftables::writeCellBorders(rtf);
        rtf.write("\\cltxlrtb");
        rtf.writeInt("\\cellx", nRight);
        rtf.write("\n");
    }
}

QString genderText(int nGender) {
    switch (nGender) {
    case CRole::GENDER_MALE:
        return QStringLiteral("M");
    case CRole::GENDER_FEMALE:
        return QStringLiteral("F");
    default:
        return {};
    }
}
} // namespace

void writeRoleList(const CVarE& script, CRtfFile& rtf, int nMode, CExportShading& shading) {
    writeRoleList(script, CLoopRoleTable(script), rtf, nMode, shading);
}

void writeRoleList(const CVarE& script, const CLoopRoleTable& table, CRtfFile& rtf, int nMode,
                   CExportShading& shading) {
    rtftables::beginPortraitSection(rtf);
    rtf.writeTitle(QStringLiteral("Liste des rôles"), 2, false, false, CRtfFile::ALIGN_LEFT);
    rtf.writeField(QStringLiteral("Nombre de rôles"), table.roleCount());
    rtf.writeParagraph(QString());

    rtf.write("\\trowd\\trhdr\n\n");
    writeRowDefinition(rtf, false);
    const int B = CRtfFile::STYLE_BOLD, P = CRtfFile::STYLE_PLAIN;
    const int L = CRtfFile::ALIGN_LEFT, C = CRtfFile::ALIGN_CENTER;
    rtf.writeCell(QStringLiteral("Nom"), B, C);
    rtf.writeCell(QStringLiteral("Lignage"), B, C);
    rtf.writeCell(QStringLiteral("Sexe"), B, C);
    rtf.writeCell(nMode == ROLE_LIST_FIRST_TC ? QStringLiteral("Premier TC") : QStringLiteral("Boucles"), B,
                  C);
    rtf.writeCell(QStringLiteral("Description"), B, C);
    rtf.write("\\row\\pard\n");

    // First phrase of each role in script order, for the first-timecode mode.
    std::vector<const CLine*> firstLine(size_t(table.roleCount()), nullptr);
    if (nMode == ROLE_LIST_FIRST_TC) {
        for (const CLine& line : script.getLines()) {
            const int r = table.roleIndex(line);
            if (r >= 0 && !firstLine[size_t(r)]) firstLine[size_t(r)] = &line;
        }
    }

    int nTotal = 0;
    for (int r = 0; r < table.roleCount(); ++r) {
        const CRole& role = table.role(r);
        const int nLignage = getLignage(script, role);
        nTotal += nLignage;
        rtf.write("\\trowd\n");
        writeRowDefinition(rtf, CExportShading::next(shading.m_bRoleList));
        rtf.writeCell(role.getName(), P, L);
        rtf.writeCell(QString::number(nLignage), P, C);
        rtf.writeCell(genderText(role.getGender()), P, C);
        QString strWhere;
        if (nMode == ROLE_LIST_FIRST_TC) {
            if (firstLine[size_t(r)]) strWhere = startText(*firstLine[size_t(r)]);
        } else {
            QStringList loops;
            for (int l = 0; l < table.loopCount(); ++l)
                if (table.speaks(l, r)) loops << QString::number(table.loop(l).getNumber());
            strWhere = loops.join(QStringLiteral(", "));
        }
        rtf.writeCell(strWhere, P, L);
        rtf.writeCell(role.getDescription(), P, L);
        rtf.write("\\row\\pard\n");
    }

    rtf.writeParagraph(QString());
    rtf.writeField(QStringLiteral("Lignage total"), nTotal);
}
