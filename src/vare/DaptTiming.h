#pragma once

#include <QStringView>

// The time base of a DAPT (TTML) document: its frame rate, with the multiplier NTSC rates carry
// ("1000 1001"), and its tick rate; and the TTML time expressions of the document ("10s", "1.5s",
// "9663f", "00:01:10.5"...) as counts of frames at that rate, rounded to the nearest frame.
class CDaptTiming {
public:
    static constexpr int DEFAULT_FRAME_RATE = 25;

    // From the root's ttp:frameRate, ttp:frameRateMultiplier and ttp:tickRate (empty when absent).
    // False when one of them is malformed; the timing is then left as it was.
    bool setParameters(QStringView frameRate, QStringView multiplier, QStringView tickRate);

    int frameRate() const { return m_nFrameRate; }
    // The rate is slowed down by 1000/1001 (29.97 frames a second and its kin).
    bool isNtsc() const { return m_nMulNum == 1000 && m_nMulDen == 1001; }
    double effectiveFrameRate() const { return double(m_nFrameRate) * m_nMulNum / m_nMulDen; }

    // A time expression as frames from zero; false when the text is no time expression or the time is
    // beyond any programme (a year).
    bool toFrames(QStringView expr, long long* pFrames) const;

private:
    int m_nFrameRate = DEFAULT_FRAME_RATE;
    int m_nMulNum = 1;
    int m_nMulDen = 1;
    double m_dTickRate = 0; // 0: the effective frame rate
};
