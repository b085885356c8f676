// Feeds arbitrary bytes to the broadcast-wave timestamp reader, through a stream over the bytes
// themselves: a file written for each input cost a disk write-back per execution (most of the time).

#include "base/TraceLog.h"
#include "sync/BroadcastWave.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen() wants a writable buffer of at least one byte.
    std::vector<char> bytes(data, data + size);
    bytes.push_back(0);
    std::FILE* pFile = fmemopen(bytes.data(), size ? size : 1, "rb");
    if (!pFile) std::abort();
    if (size == 0) std::fgetc(pFile); // an empty input: the stream starts at its end
    CTraceLog log;
    const CTimeCode tc = readTimeStamp(pFile, "fuzz.wav", log);
    std::fclose(pFile);
    // A timestamp, when there is one, is a time of day.
    if (tc.isValid() && tc.getFrames() >= CTimeCode::FRAMES_PER_DAY) std::abort();
    return 0;
}
