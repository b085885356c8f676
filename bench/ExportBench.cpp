// Export of a large script (front page, croisillé, role list, classic script, subtitles) against
// loading the same script from its VarE file. Prints milliseconds (median of the runs) and ratios.
//
//   bench_export [--phrases N] [--runs N] [--keep DIR]
//
// --keep writes the exports of the run into DIR for a look.
#include "BenchUtil.h"
#include "ScriptGenerator.h"
#include "export/ExportShading.h"
#include "export/ScriptExport.h"
#include "export/SubtitleExport.h"
#include "vare/VarE.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    auto option = [&](const QString& strName, const QString& strDefault) {
        const qsizetype i = args.indexOf(strName);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : strDefault;
    };
    const int nPhrases = option("--phrases", "10000").toInt();
    const int nRuns = std::max(1, option("--runs", "7").toInt());
    QTemporaryDir tmp;
    const QString strDir = option("--keep", tmp.path());
    QDir().mkpath(strDir);

    CVarE script;
    generateScript(script, nPhrases);
    const QString strVare = strDir + "/bench.vare";
    if (!script.store(strVare)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(strVare));
        return 1;
    }

    const double dLoad = bench::medianMs(nRuns, [&] {
        CVarE v;
        if (!v.load(strVare)) std::fprintf(stderr, "load failed\n");
    });
    CExportShading shading;
    CScriptExportOptions options; // every section, classic layout
    const double dExport = bench::medianMs(nRuns, [&] {
        if (!exportScript(script, strDir + "/bench.rtf", "Tavorin v" TAVORIN_VERSION, options, shading))
            std::fprintf(stderr, "export failed\n");
    });
    options.nLayout = SCRIPT_DOCUMENTARY;
    options.bTCOut = true;
    options.nRoleList = 2;
    const double dExportDoc = bench::medianMs(nRuns, [&] {
        exportScript(script, strDir + "/bench-doc.rtf", "Tavorin v" TAVORIN_VERSION, options, shading);
    });
    const double dSubtitles = bench::medianMs(nRuns, [&] { exportSubtitles(script, strDir + "/bench.txt"); });

    std::printf("script: %d phrases, %d roles, %d loops; median of %d runs\n", script.getLineCount(),
                int(script.getRoles().size()), int(script.getLoops().size()), nRuns);
    std::printf("load VarE                          %8.1f ms\n", dLoad);
    std::printf("export classic, all sections       %8.1f ms  (%.2f x load)\n", dExport, dExport / dLoad);
    std::printf("export documentary, TC out, 1st TC %8.1f ms  (%.2f x load)\n", dExportDoc,
                dExportDoc / dLoad);
    std::printf("export subtitles                   %8.1f ms  (%.2f x load)\n", dSubtitles,
                dSubtitles / dLoad);
    return 0;
}
