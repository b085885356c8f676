#include "export/ScriptExport.h"

#include "base/Settings.h"

#include "export/CroisillePages.h"
#include "export/ExportShading.h"
#include "export/LoopRoleTable.h"
#include "export/PhraseText.h"
#include "export/RoleListExport.h"
#include "export/RtfFile.h"
#include "export/RtfTables.h"
#include "vare/VarE.h"

#include <algorithm>

namespace {
const int B = CRtfFile::STYLE_BOLD, I = CRtfFile::STYLE_ITALIC, P = CRtfFile::STYLE_PLAIN;
const int L = CRtfFile::ALIGN_LEFT, C = CRtfFile::ALIGN_CENTER, R = CRtfFile::ALIGN_RIGHT;
const QString UNASSIGNED = QStringLiteral("PROBLEME D'AFFECTATION!!!");

QString personText(const QString& strFirstName, const QString& strName) {
    return strFirstName + QLatin1Char(' ') + strName;
}

QString authorText(const CVarE& s) {
    QString str = personText(s.get(CVarE::H_FIRST_AUTHOR_FIRST_NAME), s.get(CVarE::H_FIRST_AUTHOR_NAME));
    if (!s.get(CVarE::H_SECOND_AUTHOR_NAME).isEmpty() || !s.get(CVarE::H_SECOND_AUTHOR_FIRST_NAME).isEmpty())
        str += QStringLiteral(" & ") +
               personText(s.get(CVarE::H_SECOND_AUTHOR_FIRST_NAME), s.get(CVarE::H_SECOND_AUTHOR_NAME));
    return str;
}

void writePageHeaderAndFooter(const CVarE& s, CRtfFile& rtf) {
    rtf.write("{\\header");
    rtf.writeParagraph(s.get(CVarE::H_TITLE) + QLatin1Char(' ') + s.getEpisodeLabel(), P, C, 18);
    rtf.write("}");
    rtf.write("{\\footer\\trowd\n\\pard\n");
    rtf.writeText(18, QStringLiteral("Page "), P, R);
    rtf.write("{\\field{\\*\\fldinst PAGE}{\\fldrslt}}");
    rtf.writeText(18, QStringLiteral("/"), P, L);
    rtf.write("{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt}}");
    rtf.write("\\par\n}");
}

void writeFrontPage(const CVarE& s, CRtfFile& rtf, const QDate& date) {
    rtftables::beginPortraitSection(rtf, true);

    rtf.write("\\trowd\\trrh600\n\\cltxlrtb\\cellx4590\n\\cltxlrtb\\cellx9180\n");
    rtf.write("\\pard\\intbl ");
    rtf.writeText(18, QStringLiteral("Auteur(s) :"), B, L);
    rtf.writeText(18, authorText(s), I, L);
    if (!s.get(CVarE::H_DETECTOR_NAME).isEmpty() || !s.get(CVarE::H_DETECTOR_FIRST_NAME).isEmpty()) {
        rtf.write("\\line");
        rtf.writeText(18, QStringLiteral("Détecteur :"), B, L);
        rtf.writeText(18, personText(s.get(CVarE::H_DETECTOR_FIRST_NAME), s.get(CVarE::H_DETECTOR_NAME)), I,
                      L);
    }
    rtf.write("\\cell\n");
    rtf.writeCell(QString::asprintf("%.2i/%.2i/%.4i", date.day(), date.month(), date.year()), P, R, 18);
    rtf.write("\\row\\pard\n");

    rtf.write("\\trowd\\trrh5000\n\\clvertalc\\cltxlrtb\\cellx9180\n\\pard\\intbl ");
    rtf.writeText(48, s.get(CVarE::H_TITLE), B, C);
    if (!s.get(CVarE::H_TITLE2).isEmpty()) {
        rtf.write("\\line");
        rtf.writeText(36, s.get(CVarE::H_TITLE2), I, C);
    }
    if (!s.get(CVarE::H_EPISODE_NUMBER).isEmpty()) {
        rtf.write("\\line\\line");
        rtf.writeText(24, QStringLiteral("Épisode ") + s.getEpisodeLabel(), B, C);
    }
    if (!s.get(CVarE::H_EPISODE_TITLE).isEmpty()) {
        rtf.write("\\line\\line");
        rtf.writeText(24, s.get(CVarE::H_EPISODE_TITLE), I, C);
    }
    if (!s.get(CVarE::H_EPISODE_TITLE2).isEmpty()) {
        rtf.write("\\line");
        rtf.writeText(24, s.get(CVarE::H_EPISODE_TITLE2), I, C);
    }
    rtf.write("\\cell\n\\row\\pard\n");

    if (!s.get(CVarE::H_NOTES).isEmpty()) {
        rtf.writeTitle(QStringLiteral("Notes :"), 1, false, false, L);
        rtf.writeParagraph(s.get(CVarE::H_NOTES), P, L, 18);
    }
    if (!s.get(CVarE::H_SUMMARY).isEmpty()) {
        rtf.writeTitle(QStringLiteral("Résumé :"), 1, false, false, L);
        rtf.writeParagraph(s.get(CVarE::H_SUMMARY), P, L, 18);
    }
}

// One croisillé row definition: loop number, timecode, then one narrow column per role.
void writeCroisilleRowDefinition(CRtfFile& rtf, int nRoles, bool bHeader, bool bShaded) {
    int nRight = 600;
    for (int i = 0; i < nRoles + 2; ++i) {
        if (bShaded) rtf.write("\\clshdng2000");
        if (bHeader) rtf.write("\\clvertalc");
        rtftables::writeCellBorders(rtf);
        rtf.write(bHeader ? "\\cltxbtlr" : "\\cltxlrtb");
        rtf.writeInt("\\cellx", nRight);
        rtf.write("\n");
        nRight += i == 0 ? 1800 : 400;
    }
}

void writeCroisille(const CLoopRoleTable& table, CRtfFile& rtf, CExportShading& shading) {
    std::vector<std::vector<int>> speakers(size_t(table.loopCount()));
    for (int l = 0; l < table.loopCount(); ++l)
        speakers[size_t(l)] = table.speakers(l);

    for (const SCroisillePage& page : paginateCroisille(speakers)) {
        const int nRoles = int(page.roles.size());
        const int nMargin = std::max(300, (13440 - 400 * nRoles) / 2);
        rtf.beginSection();
        rtf.write("\\lndscpsxn\\pgwsxn15840\\pghsxn12240");
        rtftables::writeMargins(rtf, nMargin, nMargin);
        rtf.write("\n");
        // LibreOffice drops the break and the landscape page of a section that opens with a table:
        // a tiny empty paragraph ahead of it keeps them.
        rtf.write("\\pard\\plain\\fs2\\par\n");

        rtf.write("\\trowd\\trhdr\n\\trrh2000\n");
        writeCroisilleRowDefinition(rtf, nRoles, true, false);
        rtf.writeCell(QStringLiteral("Boucle"), B, C, 24);
        rtf.writeCell(QStringLiteral("Timecode"), B, C, 24);
        for (int r : page.roles)
            rtf.writeCell(table.role(r).getName(), P, C, 18);
        rtf.write("\\row\\pard\n");

        for (int l : page.loops) {
            rtf.write("\\trowd\n");
            writeCroisilleRowDefinition(rtf, nRoles, false, CExportShading::next(shading.m_bCroisille));
            const CLoop& loop = table.loop(l);
            rtf.writeCell(QString::number(loop.getNumber()), B, C, 24);
            rtf.writeCell(QString::fromLatin1(loop.getTimeCode().getText()), B, C, 24);
            for (int r : page.roles)
                rtf.writeCell(table.speaks(l, r) ? QStringLiteral("X") : QStringLiteral(" "), P, C, 18);
            rtf.write("\\row\\pard\n");
        }
        rtf.writeParagraph(QString());
    }
}

QString loopHeading(const CVarE::LoopSet& loops, CVarE::LoopIterator it, int nLayout) {
    const CTimeCode tc = it->getTimeCode();
    auto next = std::next(it);
    if (next == loops.end()) return QStringLiteral("Boucle %1\tde %2").arg(it->getNumber()).arg(tc.getText());
    const CTimeCode tcNext = next->getTimeCode();
    const QString strFormat = nLayout == SCRIPT_CLASSIC ? QStringLiteral("Boucle %1\t de %2 à %3\tDurée : %4")
                                                        : QStringLiteral("Boucle %1\tde %2 à %3\tDurée : %4");
    return strFormat.arg(it->getNumber()).arg(tc.getText(), tcNext.getText(), (tcNext - tc).getText());
}

void writeScript(const CVarE& s, CRtfFile& rtf, const CScriptExportOptions& options) {
    rtftables::beginPortraitSection(rtf);
    rtf.writeTitle(QStringLiteral("Script"), 2, false, false, C);

    auto itRole = options.strRole.isEmpty() ? s.getRoles().end() : s.findRoleByName(options.strRole);
    const CRole* pFilter = itRole == s.getRoles().end() ? nullptr : &*itRole;

    const CVarE::LoopSet& loops = s.getLoops();
    auto itLoop = loops.begin();
    QString strPreviousName;
    for (const CLine& line : s.getLines()) {
        for (; itLoop != loops.end() && itLoop->getFrames() < line.getStartFrame(); ++itLoop)
            rtf.writeTitle(loopHeading(loops, itLoop, options.nLayout), 1, true, true, L);
        if (pFilter && line.getRolePtr() != pFilter) continue;

        const QString strName = line.hasRole() ? line.getRole().getName() : QString();
        if (options.nLayout == SCRIPT_CLASSIC) {
            QString strLabel = UNASSIGNED;
            if (line.hasRole()) strLabel = strName == strPreviousName ? QString() : strName;
            rtf.writeFieldSpaced(strLabel, tidyPhraseText(line.getText()));
        } else {
            QString strTime = startText(line);
            if (options.bTCOut) strTime += QStringLiteral(" - ") + endText(line);
            rtf.writeParagraph(strTime, I, L, 18);
            rtf.writeParagraph(line.hasRole() ? strName : UNASSIGNED, B, L, 18);
            rtf.writeParagraph(line.getText(), P, L, 18);
            rtf.writeParagraph(QString());
        }
        strPreviousName = strName;
    }
}
} // namespace

QString scriptExportGenerator() {
    return QStringLiteral("Tavorin v" TAVORIN_VERSION);
}

bool exportScript(const CVarE& script, const QString& strPath, const QString& strGenerator,
                  const CScriptExportOptions& options, CExportShading& shading, QString* pError) {
    CRtfFile rtf;
    auto failed = [&] {
        if (pError) *pError = rtf.errorReason();
        return false;
    };
    if (!rtf.open(strPath, strGenerator, authorText(script))) return failed();
    writePageHeaderAndFooter(script, rtf);
    if (options.bFrontPage) writeFrontPage(script, rtf, options.date);
    const CLoopRoleTable table(script);
    if (options.bCroisille) writeCroisille(table, rtf, shading);
    if (options.nRoleList == ROLE_LIST_LOOPS || options.nRoleList == ROLE_LIST_FIRST_TC)
        writeRoleList(script, table, rtf, options.nRoleList, shading);
    if (options.nLayout == SCRIPT_CLASSIC || options.nLayout == SCRIPT_DOCUMENTARY)
        writeScript(script, rtf, options);
    return rtf.close() || failed();
}

CScriptExportOptions loadScriptExportOptions(const CSettingsStore& store) {
    auto read = [&](const CIntSetting& setting, int nMax) {
        const int n = store.get(setting);
        return n >= 0 && n <= nMax ? n : setting.def;
    };
    CScriptExportOptions o;
    o.nLayout = read(Settings::ScriptFormat, SCRIPT_DOCUMENTARY);
    o.bTCOut = read(Settings::ScriptTCOut, 1) != 0;
    o.bCroisille = read(Settings::ScriptCroisille, 1) != 0;
    o.nRoleList = read(Settings::ScriptRoleList, ROLE_LIST_FIRST_TC);
    o.bFrontPage = read(Settings::ScriptFrontPage, 1) != 0;
    return o;
}

void storeScriptExportOptions(CSettingsStore& store, const CScriptExportOptions& o) {
    store.set(Settings::ScriptFormat, o.nLayout);
    store.set(Settings::ScriptTCOut, o.bTCOut ? 1 : 0);
    store.set(Settings::ScriptCroisille, o.bCroisille ? 1 : 0);
    store.set(Settings::ScriptRoleList, o.nRoleList);
    store.set(Settings::ScriptFrontPage, o.bFrontPage ? 1 : 0);
}

QString defaultScriptExportName(const QString& strScriptPath, const CScriptExportOptions& o) {
    QString str = strScriptPath;
    if (str.endsWith(QStringLiteral(".vare"))) str.chop(5);
    const bool bScript = o.nLayout == SCRIPT_CLASSIC || o.nLayout == SCRIPT_DOCUMENTARY;
    if (o.bCroisille && bScript)
        str += QStringLiteral(" - CROISILLE ET SCRIPT");
    else if (o.bCroisille)
        str += QStringLiteral(" - CROISILLE");
    else if (bScript)
        str += QStringLiteral(" - SCRIPT");
    else if (o.nRoleList == ROLE_LIST_LOOPS || o.nRoleList == ROLE_LIST_FIRST_TC)
        str += QStringLiteral(" - ROLES");
    if (bScript && !o.strRole.isEmpty()) str += QLatin1Char(' ') + o.strRole;
    return str;
}
