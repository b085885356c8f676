// Feeds arbitrary bytes to the update check's version file reader: no crash, no fetch, bounded work;
// whatever it reads compares with the program's version either way round.

#include "vare/VersionFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SVersionFile file;
    if (!file.read(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))) return 0;
    const QString strLocal = QStringLiteral("3.7.0");
    if (compareVersions(file.strNumber, strLocal) != -compareVersions(strLocal, file.strNumber)) std::abort();
    if (compareVersions(file.strNumber, file.strNumber) != 0) std::abort();
    return 0;
}
