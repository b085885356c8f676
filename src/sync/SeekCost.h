#pragma once

#include <QString>

// What it costs to show any frame of a movie: an exact seek decodes from the key frame before the
// target, so the cost grows with the picture's area times the longest run of frames between two key
// frames. Read without decoding, from the container's index when it lists every frame, otherwise from
// the first packets of the video stream (a bounded read).
class CSeekCost {
public:
    // A seek that may decode more pixels than this misses one frame period at 25 fps on a two-core
    // machine (1080p H.264 decodes at some 400 Mpixels/s there): 1080p with key frames 8 apart,
    // 720p 18 apart, PAL 39 apart.
    static constexpr long long MAX_SEEK_PIXELS = 16'000'000;
    // Beyond 1080p, even a picture made of key frames only is slow to decode and to play backwards.
    static constexpr long long MAX_FRAME_PIXELS = 1920LL * 1080LL;
    // Packets read at most when the container has no full index.
    static constexpr int MAX_SCANNED_PACKETS = 600;

    // False when the file cannot be read or has no picture.
    bool read(const QString& strPath);

    // True when frame steps, random seeks and reverse play are slow enough to be worth a working copy.
    bool isSlow() const;

    int m_nWidth = 0;
    int m_nHeight = 0;
    // The longest distance in frames from one key frame to the next (1: every frame is a key frame).
    // When the scan saw a single key frame, the number of frames scanned (a lower bound).
    int m_nKeyInterval = 0;
};
