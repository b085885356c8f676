#include "ExportScripts.h"
#include "RtfChecker.h"
#include "export/CroisillePages.h"
#include "export/ExportShading.h"
#include "export/ScriptExport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <numeric>

using namespace exporttest;

namespace {
std::vector<int> range(int nFrom, int nCount) {
    std::vector<int> v(static_cast<size_t>(nCount));
    std::iota(v.begin(), v.end(), nFrom);
    return v;
}

// Croisillé alone, no shading carried from elsewhere unless given.
CRtfCheck exportCroisille(const CVarE& v, const QString& strPath, CExportShading& shading) {
    CScriptExportOptions o;
    o.nLayout = SCRIPT_NONE;
    o.nRoleList = 0;
    o.bFrontPage = false;
    EXPECT_TRUE(exportScript(v, strPath, "Tavorin v3.7.0", o, shading));
    return checkRtf(readAll(strPath));
}
} // namespace

TEST(CroisillePages, RoleAndLoopLimits) {
    // Three loops bringing 12 new roles each: the third would make 36 columns and opens page 2.
    auto pages = paginateCroisille({range(0, 12), range(12, 12), range(24, 12)});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].loops, (std::vector<int>{0, 1}));
    EXPECT_EQ(pages[0].roles, range(0, 24));
    EXPECT_EQ(pages[1].loops, (std::vector<int>{2}));
    EXPECT_EQ(pages[1].roles, range(24, 12));

    // 25 loops with few roles: 20 then 5.
    pages = paginateCroisille(std::vector<std::vector<int>>(25, {0, 1}));
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].loops, range(0, 20));
    EXPECT_EQ(pages[1].loops, range(20, 5));

    // Exactly 30 roles closes the page with this loop; roles already on the page add no column.
    pages = paginateCroisille({range(0, 20), range(10, 20), {0}});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].loops, (std::vector<int>{0, 1}));
    EXPECT_EQ(pages[0].roles.size(), 30u);
    EXPECT_EQ(pages[1].roles, (std::vector<int>{0}));

    // Columns follow the order in which roles first speak on the page.
    pages = paginateCroisille({{5}, {2, 5}, {1}});
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].roles, (std::vector<int>{5, 2, 1}));
}

TEST(CroisillePages, SilentLoopsAndCrowdedLoops) {
    // Silent loops stay in the grid, except a silent last loop; a page without roles is not made.
    auto pages = paginateCroisille({{}, {1}, {}, {2}, {}});
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].loops, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(paginateCroisille({{}, {}, {}}).empty());
    EXPECT_TRUE(paginateCroisille({}).empty());

    // A loop where 70 roles speak gets pages of 30, 30 and 10 columns; the loops around it keep theirs.
    pages = paginateCroisille({{0}, range(0, 70), {3}});
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_EQ(pages[0].loops, (std::vector<int>{0}));
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(pages[size_t(i)].loops, (std::vector<int>{1}));
    EXPECT_EQ(pages[1].roles, range(0, 30));
    EXPECT_EQ(pages[3].roles, range(60, 10));
    EXPECT_EQ(pages[4].loops, (std::vector<int>{2}));
}

TEST(CroisilleExport, GridMarginsAndShadingAcrossPagesAndExports) {
    CVarE v;
    std::vector<const CRole*> roles;
    for (int i = 0; i < 40; ++i)
        roles.push_back(addRole(v, QStringLiteral("R%1").arg(i, 2, 10, QLatin1Char('0'))));
    // Loops 1 and 2: 20 roles each (page of 20 + page of 20 since 40 > 30), loop 3: one role.
    for (int l = 0; l < 3; ++l)
        v.addLoop(CLoop(tc(1000 * (l + 1)), 0));
    for (int i = 0; i < 20; ++i)
        addPhrase(v, roles[size_t(i)], 1000 + 10 * i, 1005 + 10 * i, "a");
    for (int i = 20; i < 40; ++i)
        addPhrase(v, roles[size_t(i)], 2000 + 10 * i, 2005 + 10 * i, "b");
    addPhrase(v, roles[0], 3000, 3010, "c");
    addPhrase(v, roles[1], 500, 510, "avant la premiere boucle"); // belongs to no loop

    QTemporaryDir dir;
    CExportShading shading;
    const CRtfCheck r = exportCroisille(v, dir.filePath("c.rtf"), shading);
    ASSERT_TRUE(r.bOk) << r.errors.join("\n").toStdString();
    // Pages: loop 1 (20 roles), loops 2 and 3 (21 roles).
    ASSERT_EQ(r.sectionParams.size(), 2);
    EXPECT_EQ(r.sectionParams[0], "\\sbkodd\\lndscpsxn\\pgwsxn15840\\pghsxn12240\\marglsxn2720\\margrsxn2720"
                                  "\\margtsxn1440\\margbsxn1440");
    EXPECT_TRUE(r.sectionParams[1].contains("\\marglsxn2520\\margrsxn2520"));
    EXPECT_EQ(r.wordCounts["trhdr"], 2);
    EXPECT_EQ(r.wordCounts["row"], 2 + 3);
    // Three body rows: shaded, plain, shaded (the switch runs on to the second page).
    EXPECT_EQ(r.wordCounts["clshdng"], 22 + 0 + 23);

    // Each page: a tiny paragraph that keeps the page break in LibreOffice, the grid, an empty paragraph.
    const QStringList lines = r.strText.split('\n');
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(
        lines[1],
        "Boucle|Timecode|R00|R01|R02|R03|R04|R05|R06|R07|R08|R09|R10|R11|R12|R13|R14|R15|R16|R17|R18|R19|");
    EXPECT_EQ(lines[2], "1|00:00:40:00|X|X|X|X|X|X|X|X|X|X|X|X|X|X|X|X|X|X|X|X|");
    EXPECT_EQ(lines[3], ""); // the paragraph after the table
    EXPECT_EQ(lines[4], ""); // the next page's tiny paragraph
    EXPECT_TRUE(lines[5].startsWith("Boucle|Timecode|R20|"));
    EXPECT_TRUE(lines[5].endsWith("|R39|R00|"));
    EXPECT_EQ(lines[6], "2|00:01:20:00" + QString("|X").repeated(20) + "| |");
    EXPECT_EQ(lines[7], "3|00:02:00:00" + QString("| ").repeated(20) + "|X|");

    // The same switch in a second export: its first row is plain (the fourth row of the run).
    const CRtfCheck r2 = exportCroisille(v, dir.filePath("c2.rtf"), shading);
    EXPECT_EQ(r2.wordCounts["clshdng"], 0 + 23 + 0);
    // A fresh switch starts shaded again.
    CExportShading fresh;
    EXPECT_EQ(exportCroisille(v, dir.filePath("c3.rtf"), fresh).wordCounts["clshdng"], 22 + 23);
}

// The grid's geometry: the loop column ends at 600 twips, the timecode column at 2400, then one column
// of 400 per role; the side margins centre it on the landscape page.
TEST(CroisilleExport, ColumnWidthsAndTableGeometry) {
    CVarE v;
    const CRole* a = addRole(v, QStringLiteral("A"));
    const CRole* b = addRole(v, QStringLiteral("B"));
    const CRole* c = addRole(v, QStringLiteral("C"));
    v.addLoop(CLoop(tc(0), 0));
    v.addLoop(CLoop(tc(1000), 0));
    addPhrase(v, a, 10, 20, "a");
    addPhrase(v, b, 30, 40, "b");
    addPhrase(v, c, 1010, 1020, "c");
    QTemporaryDir dir;
    CExportShading shading;
    const CRtfCheck r = exportCroisille(v, dir.filePath("g.rtf"), shading);
    ASSERT_TRUE(r.bOk) << r.errors.join("\n").toStdString();
    ASSERT_EQ(r.sectionParams.size(), 1);
    EXPECT_TRUE(r.sectionParams[0].contains("\\marglsxn6120\\margrsxn6120"))
        << r.sectionParams[0].toStdString();

    const QString rtf = QString::fromLatin1(readAll(dir.filePath("g.rtf")));
    const QRegularExpression cellx(QStringLiteral("\\\\cellx(\\d+)"));
    int nRows = 0;
    // The rows of the croisillé's section (the page footer before it has a row of its own).
    for (qsizetype at = rtf.indexOf("\\trowd", rtf.indexOf("\\sectd")); at >= 0;
         at = rtf.indexOf("\\trowd", at + 1)) {
        const QString row = rtf.mid(at, rtf.indexOf("\\row", at + 6) - at);
        const QString definition = row.left(row.indexOf("\\pard"));
        std::vector<int> edges;
        for (auto m = cellx.globalMatch(definition); m.hasNext();)
            edges.push_back(m.next().captured(1).toInt());
        EXPECT_EQ(edges, (std::vector<int>{600, 2400, 2800, 3200, 3600})) << definition.toStdString();
        // Centred: both margins and the table fill the page's 15840 twips.
        EXPECT_EQ(6120 + edges.back() + 6120, 15840);
        const bool bHeader = nRows++ == 0;
        EXPECT_EQ(definition.contains("\\trhdr"), bHeader);
        EXPECT_EQ(definition.contains("\\trrh2000"), bHeader);
        EXPECT_EQ(definition.count("\\clvertalc"), bHeader ? 5 : 0);
        EXPECT_EQ(definition.count("\\cltxbtlr"), bHeader ? 5 : 0);
        EXPECT_EQ(definition.count("\\cltxlrtb"), bHeader ? 0 : 5);
        EXPECT_EQ(
            definition.count("\\clbrdrt\\brdrs\\brdrw10 \\clbrdrl\\brdrs\\brdrw10 \\clbrdrb\\brdrs\\brdrw10 "
                             "\\clbrdrr\\brdrs\\brdrw10"),
            5);
    }
    EXPECT_EQ(nRows, 3);
}

TEST(CroisilleExport, CrowdedLoopStillExports) {
    CVarE v;
    v.addLoop(CLoop(tc(0), 0));
    for (int i = 0; i < 45; ++i)
        addPhrase(v, addRole(v, QStringLiteral("Role %1").arg(i, 2, 10, QLatin1Char('0'))), 10 + 3 * i,
                  11 + 3 * i, "x", i % 4);
    QTemporaryDir dir;
    CExportShading shading;
    const CRtfCheck r = exportCroisille(v, dir.filePath("c.rtf"), shading);
    ASSERT_TRUE(r.bOk) << r.errors.join("\n").toStdString();
    ASSERT_EQ(r.sectionParams.size(), 2);
    EXPECT_TRUE(r.sectionParams[0].contains("\\marglsxn720\\margrsxn720"));   // 30 columns
    EXPECT_TRUE(r.sectionParams[1].contains("\\marglsxn3720\\margrsxn3720")); // 15 columns
    EXPECT_EQ(r.strText.count('X'), 45);
}
