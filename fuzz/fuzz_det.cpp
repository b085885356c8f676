// libFuzzer target: the legacy detection import on arbitrary bytes. Besides the sanitizers' checks,
// every script it accepts must keep the model's invariants.
#include "vare/DetImport.h"
#include "vare/VarE.h"

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool b) {
    if (!b) std::abort();
}

void checkScript(const CVarE& v) {
    check(v.getTrackCount() >= 0 && v.getTrackCount() <= 4);
    for (const CLine& line : v.getLines()) {
        check(!line.getSigns().empty());
        check(line.getTrack() >= 0 && line.getTrack() <= 3);
        int nLastLink = -1;
        for (const CLipSync& s : line.getSigns()) {
            check(s.getTimeCode().isValid());
            check(s.getType() >= 0 && s.getType() < CLipSync::TYPE_COUNT);
            if (!s.isLinked()) continue;
            check(s.getLink() > nLastLink && s.getLink() < line.getLength());
            nLastLink = s.getLink();
        }
        if (line.hasRole()) check(v.findRoleByName(line.getRole().getName()) != v.getRoles().end());
    }
    int nNumber = 0;
    for (const CLoop& loop : v.getLoops()) {
        check(loop.getTimeCode().isValid());
        check(nNumber == 0 || loop.getNumber() == nNumber + 1);
        nNumber = loop.getNumber();
    }
    for (const CBalise& shot : v.getShots())
        check(shot.getTimeCode().isValid());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    if (qint64(nSize) > DetImport::MAX_FILE_SIZE) return 0;
    CVarE v;
    v.clear();
    DetImport::parse(v, reinterpret_cast<const char*>(pData), qsizetype(nSize));
    checkScript(v);
    return 0;
}
