#pragma once

#include "sync/QuickTime.h"

// Reads the frame number that the test movie draws in its top rows: 16 blocks of 20 pixels, block b
// white when bit b is set. -1 when no picture can be read.
inline int readFrameNumber(const unsigned char* pBgr0, int nWidth, int nHeight, int nStride) {
    if (!pBgr0 || nWidth < 320 || nHeight < 40) return -1;
    int n = 0;
    for (int b = 0; b < 16; ++b) {
        const unsigned char* p = pBgr0 + 20 * nStride + (b * 20 + 10) * 4;
        const int nLuma = (p[0] + p[1] + p[2]) / 3;
        if (nLuma > 128) n |= 1 << b;
    }
    return n;
}

inline int shownFrameNumber(CQuickTime& qt) {
    int w = 0, h = 0, stride = 0;
    const QByteArray pixels = qt.grabCurrentPicture(w, h, stride);
    return readFrameNumber(reinterpret_cast<const unsigned char*>(pixels.constData()), w, h, stride);
}
