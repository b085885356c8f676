#pragma once

#include "sync/MediaPlayer.h"

#include <vector>

// A player that stands still unless told: it records what the clock asks of it and answers with the
// bounds a real movie has (timestamp, duration, refused seeks and factors).
class CFakePlayer : public IMediaPlayer {
public:
    CFakePlayer(int nStart, int nDuration) : m_nStart(nStart), m_nDuration(nDuration), m_nTime(nStart) {}

    bool hasMovie() const override { return m_bMovie; }
    void play(float f) override {
        if (f * 24.0f > float(MAX_NATIVE_RATE) || f * 24.0f < -float(MAX_NATIVE_RATE)) f = 0.0f;
        m_plays.push_back(f);
        m_fRate = f;
    }
    float getMovieRate() override { return m_fRate; }
    bool Goto(const CTimeCode& tc) override {
        m_gotos.push_back(tc.getFrames());
        const int t = int(tc.toMediaTime());
        if (!m_bMovie || t < m_nStart || t >= m_nStart + m_nDuration) return false;
        m_nTime = t;
        return true;
    }
    bool GoToTime(int t) override {
        m_seeks.push_back(t);
        if (!m_bMovie || t < m_nStart || t > m_nStart + m_nDuration) return false;
        m_nTime = t;
        return true;
    }
    int getTime() override { return m_bMovie ? m_nTime : 0; }
    int getStartTime() override { return m_bMovie ? m_nStart : 0; }
    int getEndTime() override { return m_bMovie ? m_nStart + m_nDuration : 0; }
    CTimeCode getStartTimeCode() override {
        CTimeCode tc;
        tc.fromMediaTime(getStartTime());
        return tc;
    }
    CTimeCode getEndTimeCode() override {
        CTimeCode tc;
        tc.fromMediaTime(getEndTime());
        return tc;
    }

    bool m_bMovie = true;
    int m_nStart;
    int m_nDuration;
    int m_nTime;
    float m_fRate = 0.0f;
    std::vector<float> m_plays;
    std::vector<int> m_seeks; // GoToTime targets
    std::vector<int> m_gotos; // Goto targets, in frames
};
