// Feeds arbitrary bytes to the VarE reader; whatever it accepts must store and read back.

#include "vare/VarE.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {
struct Sink : IBookmarkSink {
    void addBookmark(const CTimeCode& tc, const QString&) override {
        if (!tc.isValid()) std::abort();
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // In memory when the system offers it: saving syncs the file to its disk.
    static QTemporaryDir s_dir(QDir(QStringLiteral("/dev/shm")).exists()
                                   ? QStringLiteral("/dev/shm/tavorin-fuzz-XXXXXX")
                                   : QDir::tempPath() + QStringLiteral("/tavorin-fuzz-XXXXXX"));
    CVarE script;
    Sink sink;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!script.loadFromData(bytes, QStringLiteral("fuzz.vare"), &sink)) return 0;
    // Every accepted script keeps its invariants through a store and a reload.
    const QString path = s_dir.filePath(QStringLiteral("out.vare"));
    if (!script.store(path)) std::abort();
    CVarE back;
    if (!back.load(path)) std::abort();
    if (back.getLineCount() != script.getLineCount() || back.getRoles().size() != script.getRoles().size())
        std::abort();
    for (const CLine& line : script.getLines()) {
        int nLast = -1;
        for (const CLipSync& s : line.getSigns()) {
            if (!s.isLinked()) continue;
            if (s.getLink() <= nLast || s.getLink() >= line.getLength()) std::abort();
            nLast = s.getLink();
        }
    }
    return 0;
}
