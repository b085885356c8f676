#pragma once

#include "vare/TimeCode.h"

// What the transport clock needs of a media player. Times are media time in 1/600 s and include the
// media's timestamp (the timecode of its first picture); factors are speeds, 1.0 being normal
// speed. CQuickTime is the real one; the clock's tests use a fake.
class IMediaPlayer {
public:
    // Fastest rate (in 1/24 of normal speed) that the player plays by itself: three times normal.
    static constexpr int MAX_NATIVE_RATE = 72;

    virtual ~IMediaPlayer() = default;

    virtual bool hasMovie() const = 0;
    virtual int getMaxNativeRate() const { return MAX_NATIVE_RATE; }

    // Plays at a factor; 0 stops. Factors beyond the native range stop the player.
    virtual void play(float fFactor) = 0;
    // The factor the player is playing at now (0 when stopped).
    virtual float getMovieRate() = 0;

    virtual bool Goto(const CTimeCode& tc) = 0;
    virtual bool GoToTime(int t) = 0;

    virtual int getTime() = 0;
    // The timestamp as media time (0 without movie) and the timestamp plus the duration.
    virtual int getStartTime() = 0;
    virtual int getEndTime() = 0;
    virtual CTimeCode getStartTimeCode() = 0;
    virtual CTimeCode getEndTimeCode() = 0;
};
