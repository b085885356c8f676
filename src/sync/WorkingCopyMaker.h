#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

// Makes the working copy of a movie: a picture in which every frame is a key frame, so that any frame
// is one decode away, small enough for the video pane (at most the given width, the display aspect
// kept, square pixels), with the movie's sound streams copied untouched (re-coded as PCM only when the
// copy's QuickTime container cannot hold their coding), every frame at its own time and the start
// timecode of the movie. Intra-only H.264 (libx264), or MJPEG when the library has no H.264 encoder.
//
// The target appears only once complete: the copy is written into a temporary file beside it, flushed
// to the disk and renamed over the target; a failure or a cancel removes the temporary file.
//
// Threading: make() runs on the caller's thread (a worker thread in the program) and encodes on a
// second thread of its own, joined before it returns. The stop flag may be set from any thread; the
// progress function is called on the caller's thread.
class CWorkingCopyMaker {
public:
    enum EResult { MADE, CANCELLED, UNREADABLE, NO_PICTURE, NO_ENCODER, DISK_FULL, WRITE_FAILED };
    struct SProgress {
        std::int64_t nFrames = 0; // frames written
        std::int64_t nTotal = 0;  // frames expected (from the container; 0 when unknown)
        double dElapsed = 0.0;    // seconds
        double dSecondsLeft = -1.0;
    };
    using ProgressFn = std::function<void(const SProgress&)>;

    // Room left free on the cache's disk: the making stops as soon as the copy's expected size no
    // longer fits beside it, before the disk is full.
    static constexpr std::int64_t DISK_RESERVE = 64LL << 20;

    EResult make(const QString& strSource, const QString& strTarget, int nWidth,
                 const std::atomic<bool>* pbStop = nullptr, const ProgressFn& progress = {});

    // The French message of a failure, naming the movie.
    static QString message(EResult eResult, const QString& strSource);

    // Figures of the last make(): frames written, seconds taken, seconds of movie.
    std::int64_t frames() const { return m_nFrames; }
    double seconds() const { return m_dSeconds; }
    double movieSeconds() const { return m_dMovieSeconds; }
    int width() const { return m_nWidth; }
    int height() const { return m_nHeight; }
    // The video coding used: "h264" or "mjpeg".
    const char* codecName() const { return m_pszCodec; }

    // Lowers the calling thread's priority (and that of the threads it starts), so that a copy made
    // in the background leaves the processor to the playing picture first.
    static void lowerThreadPriority();

private:
    std::int64_t m_nFrames = 0;
    double m_dSeconds = 0.0;
    double m_dMovieSeconds = 0.0;
    int m_nWidth = 0, m_nHeight = 0;
    const char* m_pszCodec = "";
};
