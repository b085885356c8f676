#include "app/ShotDetectThread.h"

CShotDetectThread::CShotDetectThread(QObject* pParent) : QThread(pParent) {}

CShotDetectThread::~CShotDetectThread() {
    requestStop();
    waitForEnd();
}

void CShotDetectThread::waitForEnd() {
    wait();
    (void)m_nRunsEnded.load(std::memory_order_acquire);
}

void CShotDetectThread::setMovie(const QString& strPath, const CTimeCode& tcStart) {
    m_strPath = strPath;
    m_tcStart = tcStart;
}

void CShotDetectThread::startSearch(const CTimeCode& tcFrom, int nThreshold) {
    waitForEnd();
    m_position = tcFrom;
    m_nThreshold = nThreshold;
    m_bStop = false;
    start(QThread::LowPriority);
}

void CShotDetectThread::run() {
    struct SEnd {
        std::atomic<int>& n;
        ~SEnd() { n.fetch_add(1, std::memory_order_release); }
    } end{m_nRunsEnded};
    if (m_strPath != m_strOpenPath || !m_reader.isOpen()) {
        m_strOpenPath.clear();
        if (m_strPath.isEmpty() || !m_reader.open(m_strPath)) {
            if (!m_bStop) emit endReached();
            return;
        }
        m_strOpenPath = m_strPath;
    }
    m_reader.setTimeStamp(m_tcStart);
    while (m_reader.findNextShot(m_position, m_nThreshold, &m_bStop)) {
        emit shotDetected(m_position.getFrames());
        if (m_bStop) return;
    }
    if (!m_bStop) emit endReached();
}
