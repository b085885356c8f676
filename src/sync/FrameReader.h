#pragma once

#include "base/Settings.h"
#include "base/TraceLog.h"
#include "vare/TimeCode.h"

#include <QRect>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A picture in memory: 24-bit RGB, rows of 3 x width bytes, top row first.
struct CFrameImage {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<std::uint8_t> rgb;
    bool isNull() const { return nWidth <= 0 || nHeight <= 0; }
};

// Reads the decoded pictures of a movie file on its own demuxer and decoder (FFmpeg), so that the
// cut search and the photo grab never disturb the player that shows the same file.
//
// Threading: a CFrameReader belongs to one thread at a time; it shares nothing with the player or with
// other readers. The cut search runs on a worker thread that owns its reader (open, findNextShot,
// close all on that thread), while the user-interface thread keeps the player; the only thing the
// user-interface thread touches meanwhile is the stop flag given to findNextShot, which any thread may
// set and which the search looks at before every frame. Inside findNextShot the reader may decode a
// stretch further on with a second decoder on a thread of its own, joined before the call returns. A
// photo is taken with a reader of its own on the user-interface thread.
//
// Positions are 25 fps timecodes: a frame's count is its time from the start of the video stream plus
// the media's start timecode (its "timecode" tag, or the value given to setTimeStamp).
class CFrameReader {
public:
    static constexpr int SHOT_SIZE = 60; // the search compares pictures of 60 x 60 pixels
    static constexpr int DEFAULT_THRESHOLD = Settings::ShotDetectionThreshold.def;

    CFrameReader();
    ~CFrameReader();
    CFrameReader(const CFrameReader&) = delete;
    CFrameReader& operator=(const CFrameReader&) = delete;

    // Opens the file's first video stream; false (and closed) when it has none or cannot be decoded.
    bool open(const QString& strPath);
    void close();
    bool isOpen() const;

    void setTimeStamp(const CTimeCode& tc);
    CTimeCode getStartTimeCode() const;
    // The last frame's position (start + number of frames - 1), estimated from the stream's duration.
    CTimeCode getEndTimeCode() const;
    int getWidth() const;
    int getHeight() const;

    // Searches for the next cut from position on: true with position set one frame after the first frame
    // of the new shot, false at the end of the media, on a read error or when *pbStop became true
    // (position then holds the last frame examined). A cut between the first two frames examined is found
    // at the third.
    bool findNextShot(CTimeCode& position, int nThreshold, const std::atomic<bool>* pbStop = nullptr);

    // Copies the frame at tc. Without an output rectangle, or with an empty crop, the whole frame at its
    // size; otherwise the frame is scaled so that rcCrop takes the output's size and rcCrop's area is
    // returned, at the output's size. A null image when there is no movie or the frame cannot be read.
    CFrameImage grabFrame(const QRect& rcCrop, const QRect* prcOutput, const CTimeCode& tc);

    // Called after each frame the search reads and compares, with that frame's position, on the thread that
    // read it: the search's own or its second decoding thread (both may call at once). A progress display
    // follows the search with it; the stop flag may be set from it.
    using Progress = std::function<void(int nFrame)>;
    void setProgress(Progress progress);

    // Silences the decoding libraries' own messages on stderr (command-line tools).
    static void quietLibraryMessages();

    // Frames decoded since open (for the benchmark).
    std::int64_t getDecodedFrames() const;

    CTraceLog m_log;

private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};
