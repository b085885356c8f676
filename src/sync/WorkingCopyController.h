#pragma once

#include "sync/WorkingCopyCache.h"
#include "sync/WorkingCopyMaker.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class CQuickTime;
class CSettingsStore;

// What the working copy asks of the user interface: the question, the progress of a making and its
// failures. The real one shows a message box and a small progress window; tests answer from a script.
class IWorkingCopyPrompts {
public:
    enum EAnswer { ANSWER_YES, ANSWER_NO, ANSWER_ALWAYS, ANSWER_NEVER };

    virtual ~IWorkingCopyPrompts() = default;
    virtual EAnswer askMakeCopy(const QString& strQuestion) = 0;
    // A making under way: the share done (0 to 1) and the seconds left (negative while unknown). The
    // progress offers a cancel button that calls the function given to setCancel.
    virtual void showProgress(const QString& strMovie, double dDone, int nSecondsLeft) = 0;
    virtual void hideProgress() = 0;
    virtual void error(const QString& strText) = 0;
    void setCancel(std::function<void()> fn) { m_cancel = std::move(fn); }

protected:
    std::function<void()> m_cancel;
};

// The working copy of the open movie: found in the cache when the movie is opened and played in its
// place, or offered and made in the background when the movie is slow to browse, then played from
// the frame shown; "Affichage > Copie de travail" switches between the copy and the movie. The cut
// search and the photos keep reading the movie itself (the player's getPath()).
//
// Threading: every call is made on the GUI thread. A making runs on a thread of its own, at a lower
// priority; it reports its progress and its end by queued calls to this object, and is cancelled
// and joined before this object goes.
class CWorkingCopyController : public QObject {
    Q_OBJECT
public:
    // Values of the "WorkingCopy" setting.
    enum EMode { MODE_ASK = 0, MODE_ALWAYS = 1, MODE_NEVER = 2 };

    CWorkingCopyController(CQuickTime& player, CSettingsStore& settings, IWorkingCopyPrompts& prompts,
                           const QString& strCacheFolder = CWorkingCopyCache::defaultFolder(),
                           QObject* pParent = nullptr);
    ~CWorkingCopyController() override;

    // To be called after the player opened a movie (and after it failed to). The copy found plays at
    // once; the question, or the making the setting asks for, comes from the event loop, once the
    // opening is over.
    void movieOpened();

    // The menu entry: enabled while the open movie has a copy, checked while the copy plays.
    bool canSwitch() const;
    bool isPlayingCopy() const;
    void OnViewWorkingCopy();

    bool isMaking() const { return m_worker.joinable(); }
    void cancel();
    // Waits, handling events, until the making under way has ended and its end was handled; false
    // after the time given (tests and tools).
    bool waitForMaking(int nTimeoutMs);

    // The cache, for the preferences: its size and its emptying (the copy playing stays).
    qint64 cacheSize() const { return m_cache.size(); }
    bool clearCache();
    const CWorkingCopyCache& cache() const { return m_cache; }
    // The copy of the open movie, empty when it has none.
    const QString& copyPath() const { return m_strCopy; }

    static QString question();

signals:
    // The open movie's copy appeared, went, started or stopped playing, or a making began or ended.
    void stateChanged();
    // From the making's thread, taken on the GUI thread (queued): a new progress, the end of a run.
    // Signals rather than queued lambdas: Qt then makes the call's event itself, on its side of the
    // queue's lock.
    void progressPosted();
    void madeReported(int nRun, int nResult);

private:
    void offerCopy(const QString& strSource);
    void startMaking(const QString& strSource);
    void stopMaking();
    void onProgress();
    void onMade(int nRun, int nResult);
    int width() const;

    CQuickTime& m_player;
    CSettingsStore& m_settings;
    IWorkingCopyPrompts& m_prompts;
    CWorkingCopyCache m_cache;
    QString m_strCopy;   // the open movie's finished copy
    QString m_strSource; // the movie being copied
    std::thread m_worker;
    int m_nRun = 0; // the making under way (its end reports it)
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex; // guards m_progress, written by the worker
    CWorkingCopyMaker::SProgress m_progress;
    bool m_bProgressPosted = false;
};
