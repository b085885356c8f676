#include "sync/SyncManager.h"

#include "sync/MediaPlayer.h"
#include "sync/MediaUnits.h"

#include <algorithm>
#include <cstdlib>

CSyncManager::CSyncManager() = default;
CSyncManager::~CSyncManager() = default;

void CSyncManager::init(IMediaPlayer* pPlayer, int nLogLevel, int nLogType, const QString& strLogDirectory) {
    Open(nLogType, nLogLevel, strLogDirectory, QStringLiteral("syncmanager"));
    m_pQT = pPlayer;
}

void CSyncManager::setScreenDelays(int nMainDelay, int nControlDelay) {
    m_nMainDelay = nMainDelay < 0 ? 0 : nMainDelay;
    m_nControlDelay = nControlDelay < 0 ? 0 : nControlDelay;
}

void CSyncManager::setComputeFrequency(int nFrequency) {
    Log("CSyncManager::setComputeFrequency(%i)\n", nFrequency);
    m_nComputeFrequency = nFrequency;
}

// Media time passing in one step at the current rate: 600 / f x rate / 24.
int CSyncManager::increment() const {
    switch (m_nComputeFrequency) {
    case 25:
        return m_rate;
    case 50:
        return m_rate / 2;
    case 60:
        return m_rate * 10 / 24;
    case 75:
        return m_rate / 3;
    default:
        return m_nComputeFrequency > 0 ? m_rate * 25 / m_nComputeFrequency : 0;
    }
}

void CSyncManager::compute() {
    const int nInc = increment();
    LogIf(MASK_UPDATES, "compute : m_current_t(%i)\tm_rate(%i)\tinc(%i)\n", m_current_t, m_rate, nInc);
    m_current_t += nInc;
    if (m_current_t < 0) m_current_t = 0;
    if (m_nMaster != MASTER_PLAYER || !m_pQT) {
        // The clock alone stops at either end of the day.
        const int nEnd = int(TC_MAX.toMediaTime());
        if (m_current_t > nEnd) m_current_t = nEnd;
        if ((m_current_t == 0 && m_rate < 0) || (m_current_t == nEnd && m_rate > 0)) m_rate = 0;
        return;
    }

    const int nMaxRate = m_pQT->getMaxNativeRate();
    if (std::abs(m_rate) > nMaxRate) {
        // Stepped play: the player stands still and is repositioned on one step in three.
        if (m_pQT->hasMovie() && m_pQT->getMovieRate() != 0.0f) m_pQT->play(0.0f);
        const int nStart = m_pQT->getStartTime();
        const int nEnd = m_pQT->getEndTime();
        // On arriving at a limit the picture is sent there too, so that it shows the limit's frame
        // rather than the one of the last third step before it.
        if (m_current_t < nStart) {
            m_current_t = nStart;
            if (m_nSteppedSeek != nStart) steppedSeek(nStart);
        } else if (m_current_t > nEnd) {
            m_current_t = nEnd;
            if (m_nSteppedSeek != nEnd) steppedSeek(nEnd);
        } else if (m_nSeekCounter == 0) {
            Log("m_pQT->GoToTime(%i)\n", m_current_t);
            steppedSeek(m_current_t);
        }
        m_nSeekCounter = (m_nSeekCounter + 1) % 3;
        return;
    }

    int nLower = m_pQT->getStartTime();
    int nUpper = m_pQT->getEndTime() - MediaUnits::FRAME_25;
    if (m_nJog == 1) nUpper = int(m_jogTarget.toMediaTime());
    if (m_nJog == -1) nLower = int(m_jogTarget.toMediaTime());
    if (m_current_t < nLower)
        stopAt(nLower);
    else if (m_current_t > nUpper)
        stopAt(nUpper);
}

void CSyncManager::steppedSeek(int t) {
    m_nSteppedSeek = t;
    m_pQT->GoToTime(t);
}

// A limit or the jog target was crossed: the rate is cleared directly, without telling the
// control screen.
void CSyncManager::stopAt(int t) {
    m_nJog = 0;
    m_rate = 0;
    m_pQT->play(0.0f);
    m_current_t = t;
    m_pQT->GoToTime(t);
    if (isLogOn()) {
        CTimeCode tc;
        tc.fromMediaTime(m_current_t);
        Log("Stop at %s (%i)\n", tc.getText(), m_current_t);
    }
}

int CSyncManager::getTime(int nLookAhead) {
    switch (m_nMaster) {
    case MASTER_PLAYER: {
        if (!m_pQT) return 0;
        const int nMaxRate = m_pQT->getMaxNativeRate();
        if (m_rate >= -nMaxRate && m_rate <= nMaxRate) return m_pQT->getTime();
        return m_current_t;
    }
    case MASTER_INTERNAL:
        return m_current_t + nLookAhead * m_rate / 24;
    default:
        return 0;
    }
}

CTimeCode CSyncManager::getTimeCode(int nLookAhead) {
    CTimeCode tc(m_bTCDrop, m_nTCRate);
    tc.fromMediaTime(getTime(nLookAhead));
    return tc;
}

CTimeCode CSyncManager::getStartTimeCode() {
    if (m_nMaster == MASTER_PLAYER && m_pQT) return m_pQT->getStartTimeCode();
    return TC_ZERO;
}

// Without a picture the clock runs alone over the whole day.
CTimeCode CSyncManager::getEndTimeCode() {
    if (m_nMaster == MASTER_PLAYER && m_pQT) return m_pQT->getEndTimeCode();
    return TC_MAX;
}

void CSyncManager::setRate(int nRate) {
    LogIf(MASK_TRANSPORT, "setRate(%i)\n", nRate);
    m_rate = nRate;
    m_nSteppedSeek = NO_SEEK;
    if (m_nMaster == MASTER_PLAYER) {
        if (nRate != 0) {
            const int nNow = getTime(0);
            const int nSign = nRate > 0 ? -1 : 1;
            CTimeCode tcMain, tcControl;
            tcMain.fromMediaTime(nNow + nSign * m_nMainDelay);
            tcControl.fromMediaTime(nNow + nSign * m_nControlDelay);
            if (m_pQT) m_pQT->Goto(tcMain);
            if (m_pControl) m_pControl->Goto(tcControl);
        }
        const float fFactor = float(nRate) / Rate::NORMAL_F;
        if (m_pQT) m_pQT->play(fFactor);
        if (m_pControl) m_pControl->play(fFactor);
    } else if (m_nMaster != MASTER_INTERNAL) {
        return;
    }
    // Stopping aligns the clock and the picture on a whole frame.
    if (nRate == 0) gotoTime(getTimeCode(0));
}

bool CSyncManager::gotoTime(const CTimeCode& tc) {
    m_nTCRate = tc.getRate();
    m_bTCDrop = tc.isDropFrame();
    const int nRate = tc.getRate() > 0 ? tc.getRate() : CTimeCode::DEFAULT_RATE;
    const int t = int((long long)tc.getFrames() * CTimeCode::MEDIA_TIME_SCALE / nRate);
    LogIf(MASK_TRANSPORT, "gotoTime => %i\t%i\n", t, m_current_t);
    m_nJog = 0;
    m_current_t = t;
    m_nSteppedSeek = NO_SEEK;
    return m_pQT ? m_pQT->GoToTime(t) : false;
}

void CSyncManager::setMaster(int nMaster) {
    Log("setMaster => %i\n", nMaster);
    m_nMaster = nMaster;
    if (nMaster == MASTER_PLAYER) {
        if (m_pQT) m_pQT->play(float(m_rate) / Rate::NORMAL_F);
    } else if (nMaster == MASTER_INTERNAL) {
        if (m_pQT) m_pQT->play(0.0f);
    } else {
        Log(" => UNKNOWN\n");
    }
}

void CSyncManager::jogForward() {
    const CTimeCode tcNow = getTimeCode(0);
    if (m_nJog != 1) {
        m_jogTarget = tcNow;
        m_nJog = 1;
    }
    // The target never wraps past midnight: a jog never turns into a jump to the other end.
    if (m_jogTarget.getFrames() + 1 < CTimeCode::FRAMES_PER_DAY) m_jogTarget = m_jogTarget + 1;
    const CTimeCode tcEnd = m_pQT ? m_pQT->getEndTimeCode() : TC_ZERO;
    if (m_jogTarget > tcEnd && tcEnd != TC_ZERO) m_jogTarget = tcEnd;
    int d = (m_jogTarget.getFrames() - tcNow.getFrames()) * 3;
    d = std::min(d, Rate::NORMAL);
    jogTo(d);
}

void CSyncManager::jogBackward() {
    const CTimeCode tcNow = getTimeCode(0);
    if (m_nJog != -1) {
        m_jogTarget = tcNow;
        m_nJog = -1;
    }
    if (m_jogTarget.getFrames() > 0) m_jogTarget = m_jogTarget - 1;
    const CTimeCode tcStart = m_pQT ? m_pQT->getStartTimeCode() : TC_ZERO;
    if (m_jogTarget < tcStart && tcStart != TC_ZERO) m_jogTarget = tcStart;
    int d = (m_jogTarget.getFrames() - tcNow.getFrames()) * 3;
    d = std::max(d, -Rate::NORMAL);
    jogTo(d);
}

void CSyncManager::jogTo(int nDistance) {
    Log("CSyncManager::jogTo(%s) => %i\n", m_jogTarget.getText(), nDistance);
    setRate(nDistance);
}
