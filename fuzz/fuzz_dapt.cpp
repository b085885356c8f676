// Feeds arbitrary bytes to the DAPT reader; whatever it accepts must write as DAPT and read back as the
// same script.

#include "vare/Dapt.h"
#include "vare/VarE.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CVarE script;
    QString strError;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!loadDapt(bytes, script, QStringLiteral("fr"), &strError)) {
        if (strError.isEmpty() || script.getLineCount() != 0) std::abort();
        return 0;
    }
    for (const CLine& line : script.getLines()) {
        if (line.getSigns().empty() || line.getTrack() < 0 || line.getTrack() > 3) std::abort();
        int nLast = -1;
        for (const CLipSync& s : line.getSigns()) {
            if (!s.getTimeCode().isValid()) std::abort();
            if (!s.isLinked()) continue;
            if (s.getLink() <= nLast || s.getLink() >= line.getLength()) std::abort();
            nLast = s.getLink();
        }
    }
    CVarE back;
    SDaptReadInfo info;
    if (!loadDapt(daptDocument(script, {}), back, QStringLiteral("fr"), &strError, &info)) std::abort();
    if (back.getLineCount() != script.getLineCount() || back.getRoles().size() != script.getRoles().size() ||
        back.getLoops().size() != script.getLoops().size() || back.getShots() != script.getShots())
        std::abort();
    for (auto a = script.getLines().begin(), b = back.getLines().begin(); a != script.getLines().end();
         ++a, ++b)
        if (!a->isIdentical(*b)) std::abort();
    return 0;
}
