// Load and store of scripts of 1,000 / 10,000 / 50,000 phrases against a bare Xerces parse and
// serialisation of the same file, and the cost per call of the band's look-ups.

#include "../tests/vare/DetWriter.h"
#include "BenchUtil.h"
#include "ScriptGenerator.h"
#include "vare/ScriptJournal.h"
#include "vare/XmlPlatform.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <random>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/LocalFileFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/util/XMLUni.hpp>

using namespace xercesc;

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The least a program must do to read the file: a DOM parse of its bytes.
DOMDocument* bareParse(DOMLSParser* parser, const QByteArray& data) {
    MemBufInputSource src(reinterpret_cast<const XMLByte*>(data.constData()), XMLSize_t(data.size()), "b",
                          false);
    Wrapper4InputSource input(&src, false);
    return parser->parse(&input);
}

// Positions asked: anywhere in the script at random (cold caches), or sweeping forward frame by frame
// as the band does while the picture plays, with a jump elsewhere now and then.
double lookUpNs(const CVarE& v, int nCalls, int which, bool bSweep) {
    const int nFirst = v.getLines().begin()->getStartFrame();
    const int nLast = v.getLines().rbegin()->getEndFrame();
    std::mt19937 rng(7);
    std::vector<CTimeCode> at;
    int f = nFirst;
    for (int i = 0; i < 4096; ++i) {
        if (!bSweep || i % 1024 == 0) f = nFirst + int(rng() % unsigned(nLast - nFirst));
        at.push_back(CTimeCode::fromFrames(bSweep ? f++ : f));
    }
    long long sink = 0;
    const auto t0 = bench::Clock::now();
    for (int i = 0; i < nCalls; ++i) {
        const CTimeCode& tc = at[size_t(i) & 4095];
        if (which == 0) {
            auto it = v.getLineAt(i & 3, tc);
            sink += it == v.getLines().end() ? 0 : 1;
        } else if (which == 1) {
            sink += v.getNextSign(tc).second;
        } else {
            sink += v.getPreviousSign(tc).second;
        }
    }
    const double ms = bench::msSince(t0);
    if (sink == 42) std::printf(" ");
    return ms * 1e6 / nCalls;
}
// One "type a character" step of the edit view: a character inserted into the phrase being edited
// through the script (the journal records the change: a step of its own, or one step for the whole
// editing session), then the band's next look-up. The author types 20 characters in a phrase and goes
// on to another one elsewhere in the script; with bCold every character goes to another phrase, so
// that every step walks the script's tree with cold caches. Median of 5 runs, processor time.
double typingStepNs(int nPhrases, bool bMerge, bool bCold) {
    CVarE v;
    generateScript(v, nPhrases, 1);
    CScriptJournal journal;
    v.addObserver(&journal);
    std::vector<SLineKey> keys;
    const int nStride = std::max(1, nPhrases / 512);
    int i = 0;
    for (const CLine& l : v.getLines())
        if (i++ % nStride == 0) keys.push_back(l.getKey());
    long long sink = v.getLineAt(0, v.getLines().begin()->getTimeCode()) == v.getLines().end();
    const int nSteps = 20000;
    size_t nKey = 0;
    std::vector<double> runs;
    for (int r = 0; r < 5; ++r) {
        const double t0 = bench::cpuMs();
        for (int k = 0; k < nSteps; ++k) {
            if (bCold || k % 20 == 0) nKey = (nKey + 97) % keys.size();
            const SLineKey& key = keys[nKey];
            journal.beginStep(QStringLiteral("Saisie"), bMerge ? int(nKey) + 1 : 0);
            const auto it = v.insertText(v.findLine(key), QStringLiteral("a"), 1);
            journal.endStep();
            sink += it->getLength();
            sink += v.getLineAt(key.nTrack, CTimeCode::fromFrames(key.nFrame)) == it;
        }
        runs.push_back(bench::cpuMs() - t0);
    }
    if (sink == 42) std::printf(" ");
    return bench::percentile(runs, 0.5) * 1e6 / nSteps;
}

// One phrase of n signs read from a .vare and from a .det (whose texts hold at most 65,535
// characters: two signs a character there), median processor time of 3 reads: the readers must stay
// near n log n (the ratio to ten times fewer signs near 10, far below 100).
double cpuMedianMs(const std::function<void()>& body) {
    std::vector<double> runs;
    for (int i = 0; i < 3; ++i) {
        const double t0 = bench::cpuMs();
        body();
        runs.push_back(bench::cpuMs() - t0);
    }
    return bench::percentile(runs, 0.5);
}

void longPhrase(const QTemporaryDir& dir) {
    std::printf("\n%-26s %10s %10s   (cpu)\n", "one phrase of n signs", ".vare ms", ".det ms");
    double prev[2] = {};
    for (int nSigns : {10000, 100000}) {
        SDetFile det;
        det.lines.push_back({0, QString(nSigns / 2, QLatin1Char('a')), 0, -1, {}});
        det.signs.push_back({3, 10, -1, 0}); // opening
        for (int i = 1; i < nSigns - 1; ++i)
            det.signs.push_back({7 + i % 3, 10 + i, i / 2, 0});
        det.signs.push_back({4, 10 + nSigns, -1, 0}); // closing
        det.bLongLengths = true;
        const QString strDet = dir.filePath(QStringLiteral("long%1.det").arg(nSigns));
        {
            QFile f(strDet);
            f.open(QIODevice::WriteOnly);
            f.write(det.build());
        }
        CVarE v;
        if (!v.importDet(strDet) || v.getLineCount() != 1 || v.getLines().begin()->getSignCount() != nSigns)
            std::printf("the .det was not read whole\n");
        const QString strVarE = dir.filePath(QStringLiteral("long%1.vare").arg(nSigns));
        v.store(strVarE);
        const double msVarE = cpuMedianMs([&] {
            CVarE w;
            if (!w.load(strVarE) || w.getLines().begin()->getSignCount() != nSigns)
                std::printf("the .vare was not read whole\n");
        });
        const double msDet = cpuMedianMs([&] {
            CVarE w;
            w.importDet(strDet);
        });
        std::printf("%-26d %10.1f %10.1f", nSigns, msVarE, msDet);
        if (prev[0] > 0) std::printf("   ratio to 10x fewer: %.1f %.1f", msVarE / prev[0], msDet / prev[1]);
        std::printf("   .vare %.1f MB\n", double(QFileInfo(strVarE).size()) / 1e6);
        prev[0] = msVarE;
        prev[1] = msDet;
    }
}
} // namespace

int main() {
    ensureXmlPlatform();
    QTemporaryDir dir;
    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(u"LS");
    auto* ls = static_cast<DOMImplementationLS*>(impl);
    DOMLSParser* parser = ls->createLSParser(DOMImplementationLS::MODE_SYNCHRONOUS, nullptr);

    if (qEnvironmentVariableIsSet("BENCH_LONG_PHRASE_ONLY")) {
        longPhrase(dir);
        return 0;
    }
    std::printf("%-9s %8s %10s %10s %7s %10s %10s %7s\n", "phrases", "MB", "load ms", "parse ms", "ratio",
                "store ms", "serial ms", "ratio");
    double nsAt[2][3][2] = {};
    const int sizes[] = {1000, 10000, 50000};
    for (int n : sizes) {
        CVarE v;
        generateScript(v, n, 1);
        const QString path = dir.filePath(QStringLiteral("s%1.vare").arg(n));
        v.store(path);
        const QByteArray data = readAll(path);
        const int nRuns = n >= 50000 ? 5 : 9;

        const double msLoad = bench::medianMs(nRuns, [&] {
            CVarE w;
            w.load(path);
        });
        const double msParse = bench::medianMs(nRuns, [&] {
            // The same work as the reader's first step: read the file, parse it.
            QByteArray bytes = readAll(path);
            bareParse(parser, bytes);
        });
        const double msStore = bench::medianMs(nRuns, [&] { v.store(dir.filePath("out.vare")); });
        DOMDocument* doc = bareParse(parser, data);
        DOMLSSerializer* ser = ls->createLSSerializer();
        ser->getDomConfig()->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, true);
        const double msSerial = bench::medianMs(nRuns, [&] {
            LocalFileFormatTarget target(dir.filePath("bare.vare").toUtf8().constData());
            DOMLSOutput* out = ls->createLSOutput();
            out->setByteStream(&target);
            ser->write(doc, out);
            out->release();
        });
        ser->release();
        std::printf("%-9d %8.1f %10.1f %10.1f %7.2f %10.1f %10.1f %7.2f\n", n, data.size() / 1e6, msLoad,
                    msParse, msLoad / msParse, msStore, msSerial, msStore / msSerial);

        if (n == 1000 || n == 50000) {
            const int k = n == 1000 ? 0 : 1;
            for (int sweep = 0; sweep < 2; ++sweep)
                for (int which = 0; which < 3; ++which)
                    nsAt[sweep][which][k] = lookUpNs(v, 2000000, which, sweep);
        }
    }
    parser->release();

    const char* names[] = {"getLineAt", "getNextSign", "getPreviousSign"};
    for (int sweep = 0; sweep < 2; ++sweep) {
        std::printf("\n%-26s ns/call 1,000   ns/call 50,000   ratio\n",
                    sweep ? "look-up (playback sweep)" : "look-up (random positions)");
        for (int i = 0; i < 3; ++i)
            std::printf("%-26s %13.1f %16.1f %7.2f\n", names[i], nsAt[sweep][i][0], nsAt[sweep][i][1],
                        nsAt[sweep][i][1] / nsAt[sweep][i][0]);
    }

    std::printf("\n%-26s ns/step 1,000   ns/step 50,000   ratio\n", "typing a character (cpu)");
    const struct {
        const char* name;
        bool bMerge, bCold;
    } typing[] = {{"  a step per character", false, false},
                  {"  one step per phrase", true, false},
                  {"  each in another phrase", false, true}};
    for (const auto& t : typing) {
        const double a = typingStepNs(1000, t.bMerge, t.bCold), b = typingStepNs(50000, t.bMerge, t.bCold);
        std::printf("%-26s %13.1f %16.1f %7.2f\n", t.name, a, b, b / a);
    }
    longPhrase(dir);
    return 0;
}
