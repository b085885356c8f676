// DAPT export and import of scripts of 1,000 / 10,000 / 50,000 phrases against the VarE store and load
// of the same script. Median of the runs; processor time of this thread, so that the other work of a
// shared machine does not count (wall-clock times are printed beside).

#include "BenchUtil.h"
#include "ScriptGenerator.h"
#include "vare/Dapt.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace {
template <class F> double medianCpuMs(int nRuns, F&& body) {
    std::vector<double> v;
    for (int i = 0; i < nRuns; ++i) {
        const double t0 = bench::cpuMs();
        body();
        v.push_back(bench::cpuMs() - t0);
    }
    return bench::percentile(v, 0.5);
}
} // namespace

int main() {
    QTemporaryDir dir;
    std::printf("%-9s %8s %8s %10s %10s %7s %10s %10s %7s\n", "phrases", "VarE MB", "DAPT MB", "VarE load",
                "DAPT imp.", "ratio", "VarE store", "DAPT exp.", "ratio");
    for (int n : {1000, 10000, 50000}) {
        CVarE v;
        generateScript(v, n, 1);
        const QString strVarE = dir.filePath(QStringLiteral("s%1.vare").arg(n));
        const QString strDapt = dir.filePath(QStringLiteral("s%1.xml").arg(n));
        v.store(strVarE);
        storeDapt(v, strDapt, {});
        const int nRuns = n >= 50000 ? 5 : 9;

        const double msLoad = medianCpuMs(nRuns, [&] {
            CVarE w;
            w.load(strVarE);
        });
        const double msImport = medianCpuMs(nRuns, [&] {
            CVarE w;
            QString strError;
            if (!loadDaptFile(strDapt, w, QStringLiteral("fr"), &strError)) std::abort();
        });
        const double msStore = medianCpuMs(nRuns, [&] { v.store(dir.filePath(QStringLiteral("out.vare"))); });
        const double msExport = medianCpuMs(nRuns, [&] {
            if (!storeDapt(v, dir.filePath(QStringLiteral("out.xml")), {})) std::abort();
        });
        std::printf("%-9d %8.1f %8.1f %10.1f %10.1f %7.2f %10.1f %10.1f %7.2f\n", n,
                    QFileInfo(strVarE).size() / 1e6, QFileInfo(strDapt).size() / 1e6, msLoad, msImport,
                    msImport / msLoad, msStore, msExport, msExport / msStore);
    }
    std::printf("(processor ms, median; ratio = DAPT / VarE)\n");
    return 0;
}
