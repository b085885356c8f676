#pragma once

#include "sync/MediaUnits.h"

#include "base/TraceLog.h"
#include "sync/MediaPlayer.h"
#include "sync/PositionEstimate.h"
#include "sync/PresentedFrame.h"
#include "vare/TimeCode.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <initializer_list>
#include <utility>

struct mpv_handle;
struct mpv_render_context;
struct mpv_render_param;
struct mpv_event;
class CSyncProbe;

// One movie played through libmpv, with what libavformat says of its container (timecode track,
// frame rate, channel layout). Positions exchanged with the program are offset by the timestamp:
// media time (1/600 s) t is movie time t - timestamp; movie time 0 is the first frame.
//
// Threading contract:
// - Every call is made on the GUI thread. libmpv runs its own threads; this class never calls it
//   from any other thread, and never blocks on it except in open() and close() (which wait, bounded,
//   for the file to load or stop) and in the waitFor...() helpers meant for tools and tests.
// - mpv events (seek completion, positions, end of file) are read on the GUI thread only, by
//   onIdle() and by the position queries. The wakeup callback (setWakeupCallback) is called by
//   libmpv on one of its own threads: it must only post a call of onIdle() to the GUI thread.
// - Seeks are asynchronous: a query made while a seek is under way answers the seek's target, except
//   while the movie plays into the video view, where it answers the frame the view shows.
// - The video view attaches an mpv render context later (createRenderContext), on the GUI thread with
//   its GL context current, and frees it the same way before the GL context goes; mpv's render
//   update callback, set by the view, runs on an mpv thread and must only schedule a repaint.
// - Shot detection decodes frames with libavcodec on its own thread from the file path; it never
//   touches this object.
class CQuickTime : public CTraceLog, public IMediaPlayer {
public:
    // OUTPUT_NONE plays without picture or sound devices (tools, tests); OUTPUT_RENDER draws into a
    // render context that the video view creates, and plays the sound.
    enum EOutput { OUTPUT_NONE, OUTPUT_RENDER };
    // Movie play hints (masks of setPlayHints).
    enum { HINT_HIGH_QUALITY = 1 << 8, HINT_DEINTERLACE_FIELDS = 1 << 26 };
    static constexpr int FULL_VOLUME = 256;

    CQuickTime();
    virtual ~CQuickTime();

    // Creates the player; false (traced) when libmpv cannot be started. Extra mpv options (name,
    // value) are applied last, for tools and tests (for instance a sound output into a file).
    bool initialize(EOutput eOutput = OUTPUT_NONE,
                    std::initializer_list<std::pair<const char*, const char*>> extraOptions = {});
    void openLog(int nLevel, int nType, const QString& strDirectory);

    virtual bool open(const QString& strPath);
    virtual void close();
    virtual bool addAudio(const QString& strPath);
    virtual bool hasAudio() const { return m_bAudioTrack; }
    bool hasVideo() const { return m_bVideoTrack; }
    bool hasMovie() const override { return m_bMovie; }
    // The movie opened: what the cut search and the photos read, whichever file plays it.
    const QString& getPath() const { return m_strPath; }
    // The file that plays the movie: the movie itself, or its working copy.
    const QString& getPlayedPath() const { return m_strPlayed; }
    // Plays the movie from another file with the same frames and sound (its working copy, or the
    // movie itself again), from the frame shown, at the same speed and direction. The timestamp, the
    // length, the sound routing and the volume stay. False (the previous file playing on) when the file
    // cannot be played.
    bool playFile(const QString& strPath);

    // The timecode of a sound file's first sample from its broadcast-wave data, traced here.
    CTimeCode readTimeStamp(const QString& strPath);

    void play(float fFactor) override;
    float getMovieRate() override;
    bool Goto(const CTimeCode& tc) override;
    bool GoToTime(int t) override;

    int getTime() override;
    int getStartTime() override;
    int getEndTime() override;
    CTimeCode getStartTimeCode() override;
    CTimeCode getEndTimeCode() override;
    CTimeCode getCurrentTimeCode();
    CTimeCode getTimeStamp() const { return m_timeStamp; }
    void setTimeStamp(const CTimeCode& tc);

    // Movie length in media time and frames per second of its picture (0 when unknown).
    int getDuration() const { return m_bMovie ? m_nDuration : 0; }
    double getFrameRate() const { return m_dFrameRate; }

    // Volume: 256 is full volume. Mute leaves the volume as it is.
    int getVolume() const { return m_nVolume; }
    void setVolume(int nVolume);
    bool isMuted();
    void setMute(bool bMute);

    // Audio routing: VO (dialogue) or VI (international) from a 2- or 4-channel sound.
    void setAudioVersion(bool bInternational);
    int getAudioChannelCount();

    void setPlayHints(int nFlags, int nMask);
    int getPlayHints() const { return m_nPlayHints; }

    // Where "now" comes from for the position between two frames (tests move time by hand).
    void setTimeSource(CSteadyTime::Source source) { m_position.setTimeSource(std::move(source)); }

    // Idle time: reads mpv's pending events.
    void onIdle();
    // The index of the picture mpv shows, from its last report; -1 when unknown (tools, benchmarks).
    long long getShownFrame() {
        pumpEvents();
        return m_nShownFrame;
    }
    // The video view: mpv has a picture for it (its render update), and that picture was drawn.
    // While a movie with a picture plays into a view, these are what moves the position: the clock and
    // every view then show the frame the view shows, never the one mpv has only decoded or queued.
    // onPictureDue is called before the picture is drawn: it reads what mpv's render interface says of
    // the picture (new or drawn again, and when it is due).
    void onPictureDue();
    void onPictureRendered();
    // The view could not draw the picture it was given at once: "now" stays on the one it drew last.
    void onPicturePutOff();
    // What the displays show, for the sync probe (nullptr: none).
    void setProbe(CSyncProbe* pProbe) { m_pProbe = pProbe; }

    // Waits (bounded) until the last seek has shown its picture; false on timeout.
    bool waitForSeek(int nTimeoutMs = 5000);

    // For the video view: the handle for the render API and the render context. Until a context
    // exists the picture is not decoded; creating it turns the picture on for the open movie.
    mpv_handle* getHandle() const { return m_pMpv; }
    mpv_render_context* createRenderContext(mpv_render_param* pParams);
    void freeRenderContext();
    mpv_render_context* getRenderContext() const { return m_pRender; }
    // The view goes: the movie is closed and the render context freed (with the GL context current).
    int onDestroy() {
        close();
        freeRenderContext();
        return 0;
    }
    void setWakeupCallback(void (*pCallback)(void*), void* pContext);

    // The picture now shown, as 32-bit BGR0 pixels (tests and tools); empty without picture.
    QByteArray grabCurrentPicture(int& nWidth, int& nHeight, int& nStride);

private:
    bool loadFile(const QString& strPath);
    void selectSound();
    double seekSeconds(long long nMovieTime) const;
    void handleEvent(const mpv_event& e);
    void pumpEvents();
    bool waitForEvent(int nEventId, int nTimeoutMs);
    void seekMovie(long long nMovieTime);
    void setMovieRate(float fFactor);
    long long movieTime();
    long long clampToLastFrame(long long nMovieTime) const;
    long long frameIndex(double dSeconds) const;
    // A frame index as a 25 fps frame count of the programme (timestamp included).
    int programmeFrame(long long nIndex) const;
    // The position is on a frame shown: its start, or its last unit when playing backwards, so that
    // the movement until the next picture stays within that frame.
    void anchorShown(long long nIndex);
    // The view's pictures keep coming: they, not mpv's reports, move a playing movie.
    bool picturePaced() const;
    int detectChannelCount();
    void applyAudioFilter(const char* pszRouting);
    bool setProperty(const char* pszName, const char* pszValue);

    mpv_handle* m_pMpv = nullptr;
    mpv_render_context* m_pRender = nullptr;
    EOutput m_eOutput = OUTPUT_NONE;

    CTimeCode m_timeStamp;
    bool m_bMovie = false;
    bool m_bVideoTrack = false;
    bool m_bAudioTrack = false;
    QString m_strPath;
    QString m_strPlayed;
    QString m_strAudioFile;   // the sound file that replaces the movie's own sound
    bool m_bSoundOff = false; // a sound file without sound replaced the movie's
    int m_nDuration = 0;      // 1/600 s
    double m_dFrameRate = 0.0;
    int m_nFrameUnits = MediaUnits::FRAME_25; // one frame in media time
    int m_nAudioChannels = 0;
    unsigned long long m_nChannelMask = 0;
    int m_nVolume = FULL_VOLUME;
    int m_nPlayHints = 0;

    // Playing state as the program set it, and the position between mpv's frame reports.
    float m_fRate = 0.0f;
    CPositionEstimate m_position;
    bool m_bSeekPending = false;
    bool m_bHold = false; // a paused movie answers the time it was sent to
    bool m_bBackward = false;
    bool m_bIntraOnly = false; // every frame of the file played is a key frame
    // Index of the picture mpv shows (from its last reported position) and the picture that a
    // frame step under way must reach; -1 when unknown or none.
    long long m_nShownFrame = -1;
    long long m_nStepFrame = -1;
    // The picture the video view was given last: the view's pictures, not mpv's reports, move a
    // playing movie.
    long long m_nDueFrame = -1;
    // The picture the view drew last: a playing movie's position stays within it.
    long long m_nRenderedFrame = -1;
    long long m_nPutOffFrame = -1;
    // The frames of the pictures handed to the view while playing.
    CPresentedFrame m_presented;
    CSyncProbe* m_pProbe = nullptr;
    unsigned long long m_nSeekIssued = 0;
    unsigned long long m_nSeekAcked = 0;
};
