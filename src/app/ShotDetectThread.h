#pragma once

#include "sync/FrameReader.h"
#include "vare/TimeCode.h"

#include <QThread>
#include <atomic>

// The cut search of "Détection des changements de plan...", on a thread of its own at below-normal
// priority. It reads the movie with a decoder of its own (the player is left alone) and talks to the
// dialog only through its two queued signals; the dialog talks to it only through startSearch() and
// requestStop(). A stop is noticed between two frames, inside a search as well as between searches.
class CShotDetectThread : public QThread {
    Q_OBJECT
public:
    explicit CShotDetectThread(QObject* pParent = nullptr);
    ~CShotDetectThread() override;

    // The movie and the timecode of its first frame (the player's, which the script may have set).
    // An empty path: no movie, every search ends at once.
    void setMovie(const QString& strPath, const CTimeCode& tcStart);
    // Searches from tcFrom to the end of the movie, reporting every cut.
    void startSearch(const CTimeCode& tcFrom, int nThreshold);
    // Asks the running search to stop; waitForEnd() then returns once it has. No end is reported for it.
    void requestStop() { m_bStop = true; }
    // Waits for the search under way to end; what it wrote (its position, the reader) is then the
    // caller's. QThread::wait() alone is a hand-over through Qt's own locks, which ThreadSanitizer
    // cannot see: the end is also published through an atomic of ours.
    void waitForEnd();
    // The last frame the search examined (the last cut while it runs on); read once it has ended.
    CTimeCode position() const { return m_position; }

signals:
    // A cut, reported one frame after the first frame of the new shot (its 25 fps frame count).
    void shotDetected(int nFrames);
    // The search reached the end of the movie (or there is no movie).
    void endReached();

protected:
    void run() override;

private:
    QString m_strPath;
    QString m_strOpenPath; // the movie the reader holds, kept open from one search to the next
    CTimeCode m_tcStart;
    CTimeCode m_position;
    int m_nThreshold = CFrameReader::DEFAULT_THRESHOLD;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nRunsEnded{0};
    CFrameReader m_reader; // used by the search thread only
};
