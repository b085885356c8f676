// Feeds arbitrary bytes to the VarE reader; whatever it accepts must store and read back. Besides
// libFuzzer's byte mutations, a quarter of the mutations insert a whole element of the format (a phrase
// with its signs, a role, a loop...) where an element starts, so that the reader's deeper paths are
// reached from any seed.

#include "vare/VarE.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {
struct Sink : IBookmarkSink {
    void addBookmark(const CTimeCode& tc, const QString&) override {
        if (!tc.isValid()) std::abort();
    }
};
} // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    std::minstd_rand random(seed);
    if (random() % 4 != 0) return LLVMFuzzerMutate(data, size, maxSize);
    static const char* const PIECES[] = {
        "<line track=\"1\" role=\"a\"><lipsync timecode=\"00:00:01:00\" type=\"in_open\"/><text>x</text>"
        "<lipsync timecode=\"00:00:02:00\" type=\"out_close\"/></line>",
        "<line track=\"1\"><lipsync timecode=\"00:00:01:00\" type=\"mpb\" link=\"off\"/><br/></line>",
        "<lipsync timecode=\"00:00:00:10\" type=\"a\"/>",
        "<text>y</text>",
        "<role name=\"a\" id=\"a\" color=\"#102030\"><image>QUJD</image></role>",
        "<role name=\"a\" id=\"b\"/>",
        "<loop timecode=\"00:00:01:00\" number=\"2147483647\"/>",
        "<shot tc=\"00:00:03:00\"/>",
        "<bookmark><tc>00:00:04:00</tc><label>m</label></bookmark>",
        "<videofile timestamp=\"10:00:00:00\">v.mov</videofile>",
        "<last_position track=\"9\" timecode=\"23:59:59:24\"/>",
        "<episode number=\"1\" season=\"2\"/>",
        "<roles/><body/>",
    };
    const char* pszPiece = PIECES[random() % (sizeof PIECES / sizeof *PIECES)];
    const size_t nPiece = std::strlen(pszPiece);
    if (size + nPiece > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    // Before a random '<' (or at the end).
    size_t nAt = size;
    for (int nTries = 0; nTries < 8 && size > 0; ++nTries) {
        const size_t i = random() % size;
        if (data[i] == '<') {
            nAt = i;
            break;
        }
    }
    std::memmove(data + nAt + nPiece, data + nAt, size - nAt);
    std::memcpy(data + nAt, pszPiece, nPiece);
    return size + nPiece;
}

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
