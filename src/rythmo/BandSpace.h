#pragma once

#include "vare/TimeCode.h"

// The band's coordinate space: x is media time (1/600 s) relative to the current position, y runs
// from 0 at the bottom to 400 at the top over four tracks of 100, track 0 at the top. The current
// position sits at the horizontal centre and one pixel is zoom / 600 s.
struct CBandSpace {
    static constexpr int HEIGHT = 400;
    // The lowest y shown: the signs of the bottom track reach this far below it.
    static constexpr int BOTTOM = -10;
    static constexpr int TRACK_HEIGHT = 100;
    static constexpr int TRACK_COUNT = 4;
    static constexpr int MIN_ZOOM = 1;
    static constexpr int MAX_ZOOM = 6;
    static constexpr int DEFAULT_ZOOM = 2;
    // The phrase walk looks this far beyond the edges, so that text stretching from off-screen signs
    // is drawn.
    static constexpr int MARGIN_BEFORE = 48;
    static constexpr int MARGIN_AFTER = 240;

    int nZoom = DEFAULT_ZOOM;
    int nLeft = 0;
    int nRight = 0;

    static CBandSpace make(int nClientWidth, int nZoom) {
        CBandSpace s;
        s.nZoom = nZoom < MIN_ZOOM ? MIN_ZOOM : (nZoom > MAX_ZOOM ? MAX_ZOOM : nZoom);
        const int nWidth = nClientWidth * s.nZoom;
        s.nLeft = -(nWidth / 2);
        s.nRight = nWidth + s.nLeft;
        return s;
    }

    // Lower edge of track k.
    static int base(int nTrack) { return 300 - TRACK_HEIGHT * nTrack; }
    // y of a point of the client area, from its distance to the top (the inverse of the projection).
    static int yAt(double dClientY, double dClientHeight) {
        if (dClientHeight <= 0) return HEIGHT;
        return HEIGHT - int((dClientY / dClientHeight) * (HEIGHT - BOTTOM));
    }
    // x of a frame-accurate time (integer arithmetic, truncating).
    static int xOf(const CTimeCode& tc, int nPosition) {
        return int(static_cast<long long>(tc.getFrames()) * CTimeCode::MEDIA_TIME_SCALE / tc.getRate()) -
               nPosition;
    }
    // The frames that can show something at a position: [first, last].
    int firstFrame(int nPosition, int nRate = CTimeCode::DEFAULT_RATE) const {
        const long long t = static_cast<long long>(nPosition) + nLeft - MARGIN_BEFORE;
        return int((t < 0 ? 0 : t) * nRate / CTimeCode::MEDIA_TIME_SCALE);
    }
    int lastFrame(int nPosition, int nRate = CTimeCode::DEFAULT_RATE) const {
        return int((static_cast<long long>(nPosition) + nRight + MARGIN_AFTER) * nRate /
                   CTimeCode::MEDIA_TIME_SCALE);
    }
};
