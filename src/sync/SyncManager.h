#pragma once

#include "base/TraceLog.h"
#include "vare/TimeCode.h"

#include <QString>

class IMediaPlayer;

// The transport clock: the current position, the rate and what drives time. Media time is in
// 1/600 s, rates in 1/24 of normal speed (24 normal, -24 reverse, 240 ten times).
//
// With master 0 the main player plays by itself up to its native rate and is the position; beyond
// it the clock steps the player by seeking. With master 1 the clock runs alone. The clock advances
// only through compute(), once per displayed frame (see CClockDriver).
//
// Threading: every call comes from the GUI thread.
class CSyncManager : public CTraceLog {
public:
    enum { MASTER_PLAYER = 0, MASTER_INTERNAL = 1 };

    CSyncManager();
    virtual ~CSyncManager();

    void init(IMediaPlayer* pPlayer, int nLogLevel, int nLogType, const QString& strLogDirectory);
    // Tests and the application may swap the player without reopening the log.
    void setPlayer(IMediaPlayer* pPlayer) { m_pQT = pPlayer; }
    // The control-screen player, kept in step with the main one; nullptr while there is none.
    void setControlPlayer(IMediaPlayer* pPlayer) { m_pControl = pPlayer; }
    // Main- and control-screen delays in media time, never negative.
    void setScreenDelays(int nMainDelay, int nControlDelay);

    void setComputeFrequency(int nFrequency);
    int getComputeFrequency() const { return m_nComputeFrequency; }

    void compute();

    int getTime(int nLookAhead);
    CTimeCode getTimeCode(int nLookAhead);
    CTimeCode getStartTimeCode();
    CTimeCode getEndTimeCode();

    int getRate() const { return m_rate; }
    void setRate(int nRate);
    bool gotoTime(const CTimeCode& tc);
    void setMaster(int nMaster);
    int getMaster() const { return m_nMaster; }

    void jogForward();
    void jogBackward();
    int getJogState() const { return m_nJog; }
    const CTimeCode& getJogTarget() const { return m_jogTarget; }

private:
    int increment() const;
    void stopAt(int t);
    void steppedSeek(int t);
    void jogTo(int nDistance);

    int m_nComputeFrequency = 75;
    IMediaPlayer* m_pQT = nullptr;
    IMediaPlayer* m_pControl = nullptr;
    int m_current_t = 0;
    int m_rate = 0;
    int m_nMaster = MASTER_PLAYER;
    int m_nTCRate = CTimeCode::DEFAULT_RATE;
    bool m_bTCDrop = false;
    int m_nJog = 0;
    CTimeCode m_jogTarget;
    // Stepped play repositions the player on one step in three.
    int m_nSeekCounter = 0;
    // Where stepped play last sent the player, so that a limit is shown once on arrival.
    static constexpr int NO_SEEK = -2147483647 - 1;
    int m_nSteppedSeek = NO_SEEK;
    int m_nMainDelay = 0;
    int m_nControlDelay = 0;
};
