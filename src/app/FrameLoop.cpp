#include "app/FrameLoop.h"

#include "base/TraceLog.h"
#include "sync/SyncManager.h"

#include <QTimer>

CFrameLoop::CFrameLoop(CSyncManager& sync, CTraceLog& log, QObject* pParent)
    : QObject(pParent), m_sync(sync), m_log(log), m_driver(sync), m_pTimer(new QTimer(this)) {
    m_pTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pTimer, &QTimer::timeout, this, &CFrameLoop::onFrame);
}

void CFrameLoop::setFrameSource(QObject* pSource, const char* pszSignal) {
    if (m_pSource) disconnect(m_pSource, nullptr, this, nullptr);
    m_pSource = pSource;
    if (m_pSource) {
        connect(m_pSource, pszSignal, this, SLOT(onFrame()));
        connect(m_pSource, &QObject::destroyed, this, [this] {
            m_pSource = nullptr;
            if (m_bRunning) m_pTimer->start(m_nPeriodMs);
        });
        m_pTimer->stop();
    } else if (m_bRunning) {
        m_pTimer->start(m_nPeriodMs);
    }
}

void CFrameLoop::setRefreshPeriod(int nMs) {
    m_nPeriodMs = nMs > 0 ? nMs : 16;
    if (m_pTimer->isActive()) m_pTimer->start(m_nPeriodMs);
}

bool CFrameLoop::clockMoves() const {
    return m_sync.getRate() != 0 || m_sync.getJogState() != 0;
}

void CFrameLoop::wake() {
    if (m_bRunning || !clockMoves()) return;
    setRunning(true);
    m_driver.restart();
    if (!m_pSource) m_pTimer->start(m_nPeriodMs);
    // A band view draws its first frame on request; its swaps then keep the loop going.
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
