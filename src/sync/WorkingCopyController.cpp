#include "sync/WorkingCopyController.h"

#include "base/Settings.h"
#include "sync/QuickTime.h"
#include "sync/SeekCost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <cmath>

CWorkingCopyController::CWorkingCopyController(CQuickTime& player, CSettingsStore& settings,
                                               IWorkingCopyPrompts& prompts, const QString& strCacheFolder,
                                               QObject* pParent)
    : QObject(pParent), m_player(player), m_settings(settings), m_prompts(prompts), m_cache(strCacheFolder) {
    m_prompts.setCancel([this] { cancel(); });
    connect(this, &CWorkingCopyController::progressPosted, this, &CWorkingCopyController::onProgress,
            Qt::QueuedConnection);
    connect(this, &CWorkingCopyController::madeReported, this, &CWorkingCopyController::onMade,
            Qt::QueuedConnection);
}

CWorkingCopyController::~CWorkingCopyController() {
    m_prompts.setCancel({});
    stopMaking();
}

QString CWorkingCopyController::question() {
    return QStringLiteral("Ce film est lent à parcourir image par image. Créer une copie de travail ?");
}

int CWorkingCopyController::width() const {
    const int n = m_settings.get(Settings::WorkingCopyWidth);
    return n >= 64 && n <= 7680 ? n : Settings::WorkingCopyWidth.def;
}

void CWorkingCopyController::movieOpened() {
    m_strCopy.clear();
    const QString strSource = m_player.hasMovie() && m_player.hasVideo() ? m_player.getPath() : QString();
    // A making for another movie is given up; one for this movie goes on.
    if (isMaking() && m_strSource != strSource) stopMaking();
    if (strSource.isEmpty() || isMaking()) {
        emit stateChanged();
        return;
    }
    const int nWidth = width();
    m_cache.removeLeftovers(strSource);
    const QString strCopy = m_cache.find(strSource, nWidth);
    if (!strCopy.isEmpty()) {
        if (m_player.playFile(strCopy)) m_strCopy = strCopy;
        emit stateChanged();
        return;
    }
    CSeekCost cost;
    if (m_settings.get(Settings::WorkingCopy) != MODE_NEVER && cost.read(strSource) && cost.isSlow())
        // Asked once the opening is over and the window is up.
        QMetaObject::invokeMethod(
            this, [this, strSource] { offerCopy(strSource); }, Qt::QueuedConnection);
    emit stateChanged();
}

void CWorkingCopyController::offerCopy(const QString& strSource) {
    // Another movie may have come meanwhile.
    if (!m_player.hasMovie() || m_player.getPath() != strSource || isMaking() || !m_strCopy.isEmpty()) return;
    switch (m_settings.get(Settings::WorkingCopy)) {
    case MODE_NEVER:
        return;
    case MODE_ALWAYS:
        break;
    default:
        switch (m_prompts.askMakeCopy(question())) {
        case IWorkingCopyPrompts::ANSWER_ALWAYS:
            m_settings.set(Settings::WorkingCopy, MODE_ALWAYS);
            break;
        case IWorkingCopyPrompts::ANSWER_NEVER:
            m_settings.set(Settings::WorkingCopy, MODE_NEVER);
            return;
        case IWorkingCopyPrompts::ANSWER_NO:
            return;
        case IWorkingCopyPrompts::ANSWER_YES:
            break;
        }
    }
    startMaking(strSource);
}

void CWorkingCopyController::startMaking(const QString& strSource) {
    if (!m_cache.prepare()) {
        m_prompts.error(QStringLiteral("Impossible de créer le dossier des copies de travail « %1 ».")
                            .arg(m_cache.folder()));
        return;
    }
    const QString strTarget = m_cache.copyPath(strSource, width());
    if (strTarget.isEmpty()) {
        m_prompts.error(CWorkingCopyMaker::message(CWorkingCopyMaker::UNREADABLE, strSource));
        return;
    }
    m_strSource = strSource;
    m_bStop = false;
    const int nRun = ++m_nRun;
    {
        std::lock_guard lock(m_mutex);
        m_progress = {};
        m_bProgressPosted = false;
    }
    m_prompts.showProgress(QFileInfo(strSource).fileName(), 0.0, -1);
    const int nWidth = width();
    m_worker = std::thread([this, strSource, strTarget, nWidth, nRun] {
        CWorkingCopyMaker::lowerThreadPriority();
        CWorkingCopyMaker maker;
        const auto report = [this](const CWorkingCopyMaker::SProgress& p) {
            std::lock_guard lock(m_mutex);
            m_progress = p;
            if (m_bProgressPosted) return;
            m_bProgressPosted = true;
            emit progressPosted();
        };
        const CWorkingCopyMaker::EResult e = maker.make(strSource, strTarget, nWidth, &m_bStop, report);
        emit madeReported(nRun, int(e));
    });
    emit stateChanged();
}

void CWorkingCopyController::onProgress() {
    CWorkingCopyMaker::SProgress p;
    {
        std::lock_guard lock(m_mutex);
        p = m_progress;
        m_bProgressPosted = false;
    }
    if (!isMaking() || m_bStop) return;
    const double dDone = p.nTotal > 0 ? std::min(1.0, double(p.nFrames) / double(p.nTotal)) : 0.0;
    m_prompts.showProgress(QFileInfo(m_strSource).fileName(), dDone,
                           p.dSecondsLeft < 0.0 ? -1 : int(std::lround(p.dSecondsLeft)));
}

void CWorkingCopyController::onMade(int nRun, int nResult) {
    // The end of a making given up meanwhile was handled when it was given up.
    if (nRun != m_nRun || !m_worker.joinable()) return;
    m_worker.join();
    m_prompts.hideProgress();
    const QString strSource = m_strSource;
    m_strSource.clear();
    const auto e = CWorkingCopyMaker::EResult(nResult);
    if (e == CWorkingCopyMaker::MADE) {
        // The movie may have changed meanwhile: its copy waits in the cache for the next opening.
        if (m_player.hasMovie() && m_player.getPath() == strSource) {
            const QString strCopy = m_cache.find(strSource, width());
            if (!strCopy.isEmpty() && m_player.playFile(strCopy))
                m_strCopy = strCopy;
            else
                m_prompts.error(QStringLiteral("Impossible de lire la copie de travail de « %1 ».")
                                    .arg(QFileInfo(strSource).fileName()));
        }
    } else if (e != CWorkingCopyMaker::CANCELLED) {
        m_prompts.error(CWorkingCopyMaker::message(e, strSource));
    }
    emit stateChanged();
}

void CWorkingCopyController::stopMaking() {
    if (!m_worker.joinable()) return;
    m_bStop = true;
    m_worker.join();
    ++m_nRun; // its end, queued meanwhile, finds nothing to do
    m_strSource.clear();
    m_prompts.hideProgress();
}

void CWorkingCopyController::cancel() {
    if (isMaking()) m_bStop = true;
}

bool CWorkingCopyController::waitForMaking(int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (isMaking()) {
        if (timer.elapsed() > nTimeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (isMaking()) QThread::msleep(5);
    }
    return true;
}

bool CWorkingCopyController::canSwitch() const {
    return m_player.hasMovie() && !m_strCopy.isEmpty();
}

bool CWorkingCopyController::isPlayingCopy() const {
    return m_player.hasMovie() && !m_strCopy.isEmpty() && m_player.getPlayedPath() == m_strCopy;
}

void CWorkingCopyController::OnViewWorkingCopy() {
    if (!canSwitch()) return;
    if (isPlayingCopy()) {
        if (!m_player.playFile(m_player.getPath()))
            m_prompts.error(QStringLiteral("Impossible de lire le film « %1 ».")
                                .arg(QFileInfo(m_player.getPath()).fileName()));
    } else if (!QFileInfo(m_strCopy).isFile() || !m_player.playFile(m_strCopy)) {
        m_prompts.error(QStringLiteral("Impossible de lire la copie de travail de « %1 ».")
                            .arg(QFileInfo(m_player.getPath()).fileName()));
        if (!QFileInfo(m_strCopy).isFile()) m_strCopy.clear();
    }
    emit stateChanged();
}

bool CWorkingCopyController::clearCache() {
    // The copy playing stays (its file is open); the others go, and the open movie's copy with them
    // when it is not playing.
    const QString strKeep = isPlayingCopy() ? m_strCopy : QString();
    const bool bOk = m_cache.clear(strKeep);
    if (strKeep.isEmpty() && !m_strCopy.isEmpty() && !QFileInfo(m_strCopy).isFile()) m_strCopy.clear();
    emit stateChanged();
    return bOk;
}
