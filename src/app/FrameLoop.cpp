#include "app/FrameLoop.h"

#include "base/TraceLog.h"
#include "sync/SyncManager.h"

#include <QTimer>

CFrameLoop::CFrameLoop(CSyncManager& sync, CTraceLog& log, QObject* pParent)
    : QObject(pParent), m_sync(sync), m_log(log), m_driver(sync), m_pTimer(new QTimer(this)) {
    m_pTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pTimer, &QTimer::timeout, this, &CFrameLoop::onFrame);
}

void CFrameLoop::setBandDriven(bool b) {
    m_bBandDriven = b;
    if (b) setRunning(false);
}

void CFrameLoop::setRefreshPeriod(int nMs) {
    m_nPeriodMs = nMs > 0 ? nMs : 16;
    if (m_pTimer->isActive()) m_pTimer->start(m_nPeriodMs);
}

bool CFrameLoop::clockMoves() const {
    return m_sync.getRate() != 0 || m_sync.getJogState() != 0;
}

void CFrameLoop::wake() {
    if (m_bBandDriven) {
        // The band's own loop runs while the rate is not 0; it only needs the first frame.
        if (clockMoves()) emit frameRequested();
        return;
    }
    if (m_bRunning || !clockMoves()) return;
    setRunning(true);
    m_driver.restart();
    m_pTimer->start(m_nPeriodMs);
    emit frameRequested();
}

void CFrameLoop::onFrame() {
    if (!m_bRunning) return;
    const auto now = std::chrono::steady_clock::now();
    ++m_nSecondCount;
    if (m_log.isLogOn(CTraceLog::MASK_TRANSPORT)) {
        const long long nSince =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - m_tPrevious).count();
        m_log.LogIf(CTraceLog::MASK_TRANSPORT, "CSyncApp::OnIdle(%lld)\t=> %lld\tfps=%i\n", m_nFrames, nSince,
                    m_nFps);
    }
    if (now - m_tSecond > std::chrono::seconds(1)) {
        m_tSecond = now;
        m_nFps = m_nSecondCount;
        m_nSecondCount = 0;
    }
    m_tPrevious = now;
    m_driver.tick();
    ++m_nFrames;
    emit frameRequested();
    if (!clockMoves()) setRunning(false);
}

void CFrameLoop::setRunning(bool b) {
    if (m_bRunning == b) return;
    m_bRunning = b;
    if (!b) m_pTimer->stop();
    emit runningChanged(b);
}
