#pragma once

#include "sync/MediaUnits.h"

#include "sync/SteadyTime.h"

// The movie's position between the frames the player reports. mpv moves its position in whole frames
// (every 320 ms at one eighth of normal speed): in between, the position moves on with the speed from
// the last known one, never reaching the next frame before the player shows it, or the band would jerk.
// Positions are movie time in 1/600 s.
class CPositionEstimate {
public:
    explicit CPositionEstimate(CSteadyTime::Source source = {}) : m_source(std::move(source)) {}

    void setTimeSource(CSteadyTime::Source source) { m_source = std::move(source); }
    // The movie's length and the length of one of its frames.
    void setMovie(long long nDuration, int nFrameUnits) {
        m_nDuration = nDuration;
        m_nFrameUnits = nFrameUnits > 0 ? nFrameUnits : 1;
    }

    // A position known now: a frame the player reports, a seek's target, a change of speed.
    void anchor(long long nMovieTime);
    // The position known stays, and moves on from now (the picture of a seek has just been shown).
    void restart() { m_tAnchor = CSteadyTime::now(m_source); }

    long long getAnchor() const { return m_nAnchor; }
    // Where the movie is now when it plays at fRate times normal speed (0: where it stands).
    long long at(float fRate) const;

private:
    CSteadyTime::Source m_source;
    long long m_nAnchor = 0;
    CSteadyTime::TimePoint m_tAnchor;
    long long m_nDuration = 0;
    int m_nFrameUnits = MediaUnits::FRAME_25;
};
