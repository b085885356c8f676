// Feeds arbitrary bytes to the broadcast-wave timestamp reader (through a file, as it reads one).

#include "base/TraceLog.h"
#include "sync/BroadcastWave.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir s_dir;
    static const QString s_path = s_dir.filePath(QStringLiteral("in.wav"));
    {
        QFile f(s_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    CTraceLog log;
    const CTimeCode tc = readTimeStamp(s_path, log);
    // A timestamp, when there is one, is a time of day.
    if (tc.isValid() && tc.getFrames() >= CTimeCode::FRAMES_PER_DAY) std::abort();
    return 0;
}
