#include "sync/QuickTime.h"
#include "sync/NumericLocale.h"

#include "sync/BroadcastWave.h"
#include "sync/MediaProbe.h"
#include "sync/MediaUnits.h"
#include "sync/SeekCost.h"
#include "sync/SyncProbe.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mpv/client.h>
#include <mpv/render.h>

namespace {
enum { PROP_TIME_POS = 1, PROP_EOF_REACHED = 2 };
constexpr int OPEN_TIMEOUT_MS = 15000;
constexpr int CLOSE_TIMEOUT_MS = 3000;
constexpr int FIRST_PICTURE_TIMEOUT_MS = 5000;
// Ends the audio chain so that slow speeds (down to 1/8 in a jog) stay audible at their pitch. The
// first scaletempo: scaletempo2 mutes below 1/4 by default and, made to play lower, misstates its
// delay, so that the picture leaps some 0.2 s ahead each time slow play starts.
constexpr char TEMPO_FILTER[] = "scaletempo";

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point tEnd) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - Clock::now()).count();
    return ms > 0 ? int(ms) : 0;
}
} // namespace

CQuickTime::CQuickTime() {
    m_timeStamp.setFrames(0);
}

CQuickTime::~CQuickTime() {
    if (m_pRender) mpv_render_context_free(m_pRender);
    if (m_pMpv) mpv_terminate_destroy(m_pMpv);
}

void CQuickTime::openLog(int nLevel, int nType, const QString& strDirectory) {
    Open(nType, nLevel, strDirectory, QStringLiteral("quicktime"));
}

bool CQuickTime::initialize(EOutput eOutput,
                            std::initializer_list<std::pair<const char*, const char*>> extraOptions) {
    m_eOutput = eOutput;
    useCNumericLocale();
    m_pMpv = mpv_create();
    if (!m_pMpv) {
        Log("Problème lors de l'initialisation de quicktime\n");
        return false;
    }
    const bool bRender = eOutput == OUTPUT_RENDER;
    mpv_set_option_string(m_pMpv, "vo", bRender ? "libmpv" : "null");
    mpv_set_option_string(m_pMpv, "ao", bRender ? "pulse,alsa,null" : "null");
    mpv_set_option_string(m_pMpv, "audio-fallback-to-null", "yes");
    // Without a render context the picture stays off: vo=libmpv alone refuses to load a file.
    mpv_set_option_string(m_pMpv, "vid", bRender ? "no" : "auto");
    mpv_set_option_string(m_pMpv, "keep-open", "always");
    mpv_set_option_string(m_pMpv, "hr-seek", "yes");
    mpv_set_option_string(m_pMpv, "pause", "yes");
    mpv_set_option_string(m_pMpv, "idle", "yes");
    mpv_set_option_string(m_pMpv, "osc", "no");
    mpv_set_option_string(m_pMpv, "input-default-bindings", "no");
    // Pictures are decoded in software: no hardware interop to probe (it only prints failures).
    mpv_set_option_string(m_pMpv, "gpu-hwdec-interop", "no");
    mpv_set_option_string(m_pMpv, "af", TEMPO_FILTER);
    // Short of time, the picture drops frames and keeps to the sound; the views follow the pictures
    // that are shown (onPictureDue), so all of them stay together.
    mpv_set_option_string(m_pMpv, "video-sync", "audio");
    mpv_set_option_string(m_pMpv, "framedrop", "vo");
    // How long before its time mpv queues a picture (its default): the frame of a picture drawn late
    // is told from it (CPresentedFrame).
    double dQueueAhead = double(CPresentedFrame::QUEUE_AHEAD_US) / 1e6;
    if (mpv_set_option(m_pMpv, "video-timing-offset", MPV_FORMAT_DOUBLE, &dQueueAhead) < 0)
        Log("video-timing-offset refusé\n");
    for (const auto& [pszName, pszValue] : extraOptions)
        mpv_set_option_string(m_pMpv, pszName, pszValue);
    if (mpv_initialize(m_pMpv) < 0) {
        Log("Problème lors de l'initialisation de quicktime\n");
        mpv_terminate_destroy(m_pMpv);
        m_pMpv = nullptr;
        return false;
    }
    mpv_observe_property(m_pMpv, PROP_TIME_POS, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_pMpv, PROP_EOF_REACHED, "eof-reached", MPV_FORMAT_FLAG);
    return true;
}

bool CQuickTime::setProperty(const char* pszName, const char* pszValue) {
    return m_pMpv && mpv_set_property_string(m_pMpv, pszName, pszValue) >= 0;
}

CTimeCode CQuickTime::readTimeStamp(const QString& strPath) {
    return ::readTimeStamp(strPath, *this);
}

bool CQuickTime::open(const QString& strPath) {
    const QByteArray path = strPath.toUtf8();
    Log("CQuickTime::open(%s)\n", path.constData());
    CLogIndent indent(*this);
    if (strPath.isEmpty()) {
        indent.release();
        Log("CQuickTime::open(%s) => %s\n", path.constData(), "Failed");
        return false;
    }
    close();
    m_timeStamp = readTimeStamp(strPath);

    bool bOk = false;
    if (m_pMpv) {
        CMediaProbe probe;
        probe.open(strPath);
        setProperty("pause", "yes");
        setProperty("play-dir", "forward");
        m_bBackward = false;
        setProperty("speed", "1");
        setProperty("aid", "auto");
        applyAudioFilter(nullptr);
        // Every movie starts at full volume and with its sound on.
        setVolume(FULL_VOLUME);
        setProperty("mute", "no");

        const bool bLoaded = loadFile(strPath);
        if (bLoaded) {
            m_bMovie = true;
            bOk = true;
            m_strPath = m_strPlayed = strPath;
            m_bVideoTrack = probe.m_bHasVideo;
            m_bAudioTrack = probe.m_bHasAudio;
            m_nAudioChannels = probe.m_nAudioChannels;
            m_nChannelMask = probe.m_nChannelMask;
            m_dFrameRate = probe.frameRate();
            double dDuration = probe.m_dDuration;
            if (dDuration <= 0.0) mpv_get_property(m_pMpv, "duration", MPV_FORMAT_DOUBLE, &dDuration);
            if (m_dFrameRate <= 0.0 && m_bVideoTrack)
                mpv_get_property(m_pMpv, "container-fps", MPV_FORMAT_DOUBLE, &m_dFrameRate);
            m_nDuration = int(std::llround(std::max(0.0, dDuration) * MediaUnits::PER_SECOND_F));
            m_nFrameUnits = m_dFrameRate > 0.0
                                ? std::max(1, int(std::lround(MediaUnits::PER_SECOND_F / m_dFrameRate)))
                                : MediaUnits::FRAME_25;
            m_position.setMovie(m_nDuration, m_nFrameUnits);

            if (!probe.m_timeCode.isEmpty()) {
                // A timecode track wins over the broadcast-wave timestamp.
                int h = 0, m = 0, s = 0, f = 0;
                if (std::sscanf(probe.m_timeCode.constData(), "%d:%d:%d%*[:;.]%d", &h, &m, &s, &f) != 4) {
                    Log("TCGetCurrentTimeCode() return error %i\n", -1);
                } else {
                    char sz[32];
                    std::snprintf(sz, sizeof sz, "%.2i:%.2i:%.2i:%.2i\n", h, m, s, f);
                    m_timeStamp.parse(sz);
                }
            }
            m_position.anchor(0);
            waitForEvent(MPV_EVENT_PLAYBACK_RESTART, FIRST_PICTURE_TIMEOUT_MS);
        }
    }
    Log("Movie scale : %i\n", CTimeCode::MEDIA_TIME_SCALE);
    onIdle();
    indent.release();
    Log("CQuickTime::open(%s) => %s\n", path.constData(), bOk ? "Ok" : "Failed");
    return bOk;
}

bool CQuickTime::loadFile(const QString& strPath) {
    CSeekCost cost;
    m_bIntraOnly = cost.read(strPath) && cost.m_nKeyInterval == 1;
    // Reverse play reads and decodes stretches of the file backwards. Where every frame is a key
    // frame, short stretches and a few frames decoded at a time start it in two frame periods
    // instead of five; long groups of pictures need mpv's own settings.
    setProperty("demuxer-backward-playback-step", m_bIntraOnly ? "1" : "60");
    setProperty("video-backward-overlap", m_bIntraOnly ? "0" : "auto");
    setProperty("video-backward-batch", m_bIntraOnly ? "4" : "1");
    const QString strSuffix = QFileInfo(strPath).suffix().toLower();
    const bool bTransportStream = strSuffix == "ts" || strSuffix == "m2ts" || strSuffix == "mts";
    setProperty("hr-seek-demuxer-offset", bTransportStream ? "1.5" : "0");
    const QByteArray file = QFile::encodeName(strPath);
    const char* cmd[] = {"loadfile", file.constData(), "replace", nullptr};
    bool bLoaded = false, bFailed = mpv_command(m_pMpv, cmd) < 0;
    const auto tEnd = Clock::now() + std::chrono::milliseconds(OPEN_TIMEOUT_MS);
    while (!bLoaded && !bFailed) {
        const int nWait = remainingMs(tEnd);
        mpv_event* e = mpv_wait_event(m_pMpv, nWait / 1000.0);
        if (e->event_id == MPV_EVENT_NONE) {
            if (nWait == 0) bFailed = true;
            continue;
        }
        handleEvent(*e);
        if (e->event_id == MPV_EVENT_FILE_LOADED) bLoaded = true;
        if (e->event_id == MPV_EVENT_END_FILE) {
            const auto* pEnd = static_cast<mpv_event_end_file*>(e->data);
            if (pEnd->reason == MPV_END_FILE_REASON_ERROR) bFailed = true;
        }
    }
    return bLoaded;
}

void CQuickTime::selectSound() {
    if (!m_strAudioFile.isEmpty()) {
        const QByteArray file = QFile::encodeName(m_strAudioFile);
        const char* cmd[] = {"audio-add", file.constData(), "select", nullptr};
        mpv_command(m_pMpv, cmd);
    } else if (m_bSoundOff) {
        setProperty("aid", "no");
    }
}

bool CQuickTime::playFile(const QString& strPath) {
    const QByteArray path = strPath.toUtf8();
    Log("CQuickTime::playFile(%s)\n", path.constData());
    if (!m_bMovie || !m_pMpv || strPath.isEmpty()) return false;
    if (strPath == m_strPlayed) return true;
    const long long nTime = clampToLastFrame(movieTime());
    const float fRate = m_fRate;
    const QString strBefore = m_strPlayed;
    // The new file starts paused on the frame shown; the speed comes back once its picture is there.
    const auto load = [&](const QString& strFile) {
        setProperty("pause", "yes");
        m_fRate = 0.0f;
        setProperty("aid", "auto");
        char sz[32];
        std::snprintf(sz, sizeof sz, "%.6f", seekSeconds(nTime));
        setProperty("start", sz);
        const bool bLoaded = loadFile(strFile);
        setProperty("start", "none");
        if (bLoaded) {
            selectSound();
            m_strPlayed = strFile;
            m_position.anchor(nTime);
            m_bHold = true;
            m_bSeekPending = false;
            m_nStepFrame = -1;
            waitForEvent(MPV_EVENT_PLAYBACK_RESTART, FIRST_PICTURE_TIMEOUT_MS);
        }
        return bLoaded;
    };
    const bool bOk = load(strPath);
    if (!bOk && !load(strBefore)) {
        Log("CQuickTime::playFile(%s) => %s\n", path.constData(), "Failed");
        close();
        return false;
    }
    if (fRate != 0.0f) setMovieRate(fRate);
    Log("CQuickTime::playFile(%s) => %s\n", path.constData(), bOk ? "Ok" : "Failed");
    return bOk;
}

void CQuickTime::close() {
    Log("CQuickTime::close()\n");
    if (m_bMovie && m_pMpv) {
        const char* cmd[] = {"stop", nullptr};
        if (mpv_command(m_pMpv, cmd) >= 0) waitForEvent(MPV_EVENT_END_FILE, CLOSE_TIMEOUT_MS);
    }
    m_bMovie = false;
    m_strPath.clear();
    m_strPlayed.clear();
    m_strAudioFile.clear();
    m_bSoundOff = false;
    m_timeStamp.setFrames(0);
    m_bVideoTrack = m_bAudioTrack = false;
    m_nAudioChannels = 0;
    m_nChannelMask = 0;
    m_nDuration = 0;
    m_dFrameRate = 0.0;
    m_nFrameUnits = MediaUnits::FRAME_25;
    m_fRate = 0.0f;
    m_position.setMovie(0, m_nFrameUnits);
    m_position.anchor(0);
    m_bSeekPending = false;
    m_bHold = false;
    m_nShownFrame = m_nStepFrame = m_nDueFrame = m_nRenderedFrame = -1;
    m_presented.restart(-1);
}

bool CQuickTime::addAudio(const QString& strPath) {
    const QByteArray path = strPath.toUtf8();
    Log("CQuickTime::addAudio(%s)\n", path.constData());
    if (strPath.isEmpty()) return false;
    if (!m_bMovie) return open(strPath);
    readTimeStamp(strPath);

    CMediaProbe main, added;
    main.open(m_strPath);
    if (!added.open(strPath)) return false;
    for (const QByteArray& type : main.m_trackTypes)
        Log("type : %s\n", type.constData());

    // The movie's own sound goes; the other file's first sound takes its place.
    const QByteArray file = QFile::encodeName(strPath);
    const char* cmd[] = {"audio-add", file.constData(), "select", nullptr};
    const bool bAdded = added.m_bHasAudio && mpv_command(m_pMpv, cmd) >= 0;
    if (!bAdded) setProperty("aid", "no");
    m_strAudioFile = bAdded ? strPath : QString();
    m_bSoundOff = !bAdded;
    m_bAudioTrack = bAdded;
    m_nAudioChannels = bAdded ? added.m_nAudioChannels : 0;
    m_nChannelMask = bAdded ? added.m_nChannelMask : 0;
    setAudioVersion(false);
    return true;
}

void CQuickTime::handleEvent(const mpv_event& e) {
    switch (e.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* pProp = static_cast<const mpv_event_property*>(e.data);
        if (e.reply_userdata == PROP_TIME_POS && pProp->format == MPV_FORMAT_DOUBLE) {
            const double dPos = *static_cast<const double*>(pProp->data);
            m_nShownFrame = frameIndex(dPos);
            if (m_pProbe && m_nShownFrame >= 0) m_pProbe->playerReported(programmeFrame(m_nShownFrame));
            if (m_nStepFrame >= 0 && m_nShownFrame == m_nStepFrame) {
                // A frame step reports no restart: reaching its picture ends it.
                m_nStepFrame = -1;
                if (m_nSeekAcked == m_nSeekIssued) m_bSeekPending = false;
            }
            // A paused movie keeps the exact time it was sent to; a playing one follows its frames: those
            // the view shows when it shows them, else those mpv reports.
            if (m_bMovie && !m_bSeekPending && !(m_fRate == 0.0f && m_bHold) &&
                !(m_fRate != 0.0f && picturePaced())) {
                if (m_nShownFrame >= 0)
                    anchorShown(m_nShownFrame);
                else
                    m_position.anchor(clampToLastFrame(std::llround(dPos * MediaUnits::PER_SECOND_F)));
            }
        } else if (e.reply_userdata == PROP_EOF_REACHED && pProp->format == MPV_FORMAT_FLAG) {
            if (*static_cast<const int*>(pProp->data) && m_fRate != 0.0f) {
                // The movie stands on its last picture (its first, backwards), and so does the position,
                // whatever the pictures before it that were dropped or not drawn yet.
                m_position.anchor(m_bBackward ? 0 : clampToLastFrame(m_nDuration));
                m_fRate = 0.0f;
                setProperty("pause", "yes");
            }
        }
        break;
    }
    case MPV_EVENT_COMMAND_REPLY:
        m_nSeekAcked = std::max<unsigned long long>(m_nSeekAcked, e.reply_userdata);
        if (e.error < 0 && m_nSeekAcked == m_nSeekIssued) m_bSeekPending = false;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        // Only the restart that follows the last seek's acknowledgement ends it; earlier ones belong
        // to seeks that were superseded.
        {
            const bool bSeekDone = m_nSeekAcked == m_nSeekIssued && m_bSeekPending;
            if (bSeekDone) {
                m_bSeekPending = false;
                m_presented.restart(-1);
                m_nStepFrame = -1;
                m_position.restart();
            }
            // The position event of the new picture may come after this one: ask now, so that a frame
            // step never starts from a stale picture.
            double dPos = 0.0;
            if (m_pMpv && mpv_get_property(m_pMpv, "time-pos", MPV_FORMAT_DOUBLE, &dPos) >= 0)
                m_nShownFrame = frameIndex(dPos);
            // Backwards, the movement from the seek's picture stays within its frame.
            if (bSeekDone && m_fRate < 0.0f && m_nShownFrame >= 0 && !picturePaced())
                anchorShown(m_nShownFrame);
        }
        break;
    default:
        break;
    }
}

void CQuickTime::pumpEvents() {
    if (!m_pMpv) return;
    for (;;) {
        mpv_event* e = mpv_wait_event(m_pMpv, 0);
        if (e->event_id == MPV_EVENT_NONE) return;
        handleEvent(*e);
    }
}

bool CQuickTime::waitForEvent(int nEventId, int nTimeoutMs) {
    if (!m_pMpv) return false;
    const auto tEnd = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;) {
        const int nWait = remainingMs(tEnd);
        mpv_event* e = mpv_wait_event(m_pMpv, nWait / 1000.0);
        if (e->event_id == MPV_EVENT_NONE) {
            if (nWait == 0) return false;
            continue;
        }
        handleEvent(*e);
        if (int(e->event_id) == nEventId) return true;
    }
}

void CQuickTime::onIdle() {
    LogIf(MASK_TRANSPORT, "onIdle()\n");
    pumpEvents();
}

bool CQuickTime::waitForSeek(int nTimeoutMs) {
    pumpEvents();
    const auto tEnd = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (m_bSeekPending) {
        const int nWait = remainingMs(tEnd);
        if (nWait == 0) return false;
        mpv_event* e = mpv_wait_event(m_pMpv, nWait / 1000.0);
        if (e->event_id != MPV_EVENT_NONE) handleEvent(*e);
    }
    return true;
}

long long CQuickTime::clampToLastFrame(long long nMovieTime) const {
    // mpv may report the duration itself while it shows the last picture.
    const long long nLast = m_bVideoTrack ? m_nDuration - m_nFrameUnits : m_nDuration;
    return std::max(0LL, std::min(nMovieTime, std::max(0LL, nLast)));
}

int CQuickTime::programmeFrame(long long nIndex) const {
    return int((m_timeStamp.toMediaTime() + nIndex * m_nFrameUnits) / MediaUnits::FRAME_25);
}

void CQuickTime::onPictureDue() {
    if (!m_pMpv || !m_bMovie) return;
    // The picture about to be drawn: a new one or the last one again (a redraw), and when mpv wants it
    // on the screen (0: no time given).
    bool bNewPicture = true;
    long long nTargetUs = 0;
    mpv_render_frame_info info{};
    if (m_pRender && mpv_render_context_get_info(m_pRender, {MPV_RENDER_PARAM_NEXT_FRAME_INFO, &info}) >= 0) {
        bNewPicture = !(info.flags & MPV_RENDER_FRAME_INFO_REDRAW);
        nTargetUs = info.target_time;
    }
    // The frame mpv reported last, from the events already there: asking mpv now would wait for its
    // core, which may itself be waiting for this thread to draw (a stall of up to 0.2 s a picture).
    pumpEvents();
    if (m_fRate == 0.0f || m_bSeekPending || !m_bVideoTrack || m_dFrameRate <= 0.0) {
        // Standing, or until a seek's picture comes, mpv queues nothing ahead: its report is the picture.
        m_nDueFrame = m_nShownFrame;
        m_presented.restart(m_nDueFrame);
    } else if (!bNewPicture) {
        if (m_nDueFrame < 0) m_nDueFrame = m_nShownFrame;
    } else {
        const double dFrameUs = 1e6 / (m_dFrameRate * std::fabs(double(m_fRate)));
        m_nDueFrame = m_presented.onNewPicture(m_nShownFrame, nTargetUs, mpv_get_time_us(m_pMpv), dFrameUs,
                                               m_bBackward ? -1 : 1);
    }
    // The view draws it at once (onPicturePutOff when it could not).
    m_nPutOffFrame = m_nRenderedFrame;
    m_nRenderedFrame = m_nDueFrame;
    // The position moves when the picture does. A seek under way changes nothing to that: until its
    // picture comes, the one shown is the old one.
    if (m_fRate != 0.0f && m_nDueFrame >= 0) anchorShown(m_nDueFrame);
}

bool CQuickTime::picturePaced() const {
    // mpv hands its pictures to the render context whether the view is shown or not; a machine short
    // of time makes them late, and the position waits for them (all displays late together).
    return m_pRender && m_bVideoTrack && m_nDueFrame >= 0;
}

void CQuickTime::anchorShown(long long nIndex) {
    const long long t = nIndex * m_nFrameUnits + (m_bBackward ? m_nFrameUnits - 1 : 0);
    m_position.anchor(std::min(t, std::max(0LL, (long long)m_nDuration - 1)));
}

void CQuickTime::onPicturePutOff() {
    m_nRenderedFrame = m_nPutOffFrame;
}

void CQuickTime::onPictureRendered() {
    m_nRenderedFrame = m_nDueFrame;
    if (m_pProbe && m_nDueFrame >= 0) m_pProbe->pictureShown(programmeFrame(m_nDueFrame));
}

long long CQuickTime::frameIndex(double dSeconds) const {
    if (m_dFrameRate <= 0.0 || !m_bVideoTrack) return -1;
    const long long nLast = std::llround(m_nDuration * m_dFrameRate / MediaUnits::PER_SECOND_F) - 1;
    return std::max(0LL, std::min(std::llround(dSeconds * m_dFrameRate), nLast));
}

double CQuickTime::seekSeconds(long long t) const {
    if (m_dFrameRate <= 0.0) return double(t) / MediaUnits::PER_SECOND_F;
    // The frame that contains t, aimed a hair before its own time so that rounding in the container's
    // time base never lands on the next frame.
    const double dFrame = std::floor(double(t) * m_dFrameRate / MediaUnits::PER_SECOND_F + 1e-9);
    return std::max(0.0, dFrame / m_dFrameRate - 0.0005);
}

void CQuickTime::seekMovie(long long nMovieTime) {
    const bool bSettled = m_fRate == 0.0f && !m_bSeekPending && m_bHold && !m_bBackward;
    m_position.anchor(nMovieTime);
    m_bHold = true;
    m_bSeekPending = true;
    const long long t = clampToLastFrame(nMovieTime);
    // The next picture of a standing movie only needs one more frame decoded, where an exact seek
    // would decode again from the previous key frame. A frame step shows its picture one frame period
    // later, though: where every frame is a key frame (a working copy), the exact seek is quicker.
    const long long nTargetFrame =
        (long long)std::floor(double(t) * m_dFrameRate / MediaUnits::PER_SECOND_F + 1e-9);
    if (bSettled && !m_bIntraOnly && m_bVideoTrack && m_dFrameRate > 0.0 && m_nShownFrame >= 0 &&
        nTargetFrame == m_nShownFrame + 1) {
        m_nStepFrame = nTargetFrame;
        const char* cmd[] = {"frame-step", nullptr};
        ++m_nSeekIssued;
        if (mpv_command_async(m_pMpv, m_nSeekIssued, cmd) < 0) {
            --m_nSeekIssued; // no reply will come for it
            m_bSeekPending = false;
            m_nStepFrame = -1;
        }
        return;
    }
    m_nStepFrame = -1;
    const double dSeconds = seekSeconds(t);
    mpv_node args[3];
    args[0].format = MPV_FORMAT_STRING;
    args[0].u.string = const_cast<char*>("seek");
    args[1].format = MPV_FORMAT_DOUBLE;
    args[1].u.double_ = dSeconds;
    args[2].format = MPV_FORMAT_STRING;
    args[2].u.string = const_cast<char*>("absolute+exact");
    mpv_node_list list{3, args, nullptr};
    mpv_node node;
    node.format = MPV_FORMAT_NODE_ARRAY;
    node.u.list = &list;
    ++m_nSeekIssued;
    if (mpv_command_node_async(m_pMpv, m_nSeekIssued, &node) < 0) {
        --m_nSeekIssued; // no reply will come for it
        m_bSeekPending = false;
    }
}

long long CQuickTime::movieTime() {
    pumpEvents();
    long long t = m_bSeekPending ? m_position.getAnchor() : m_position.at(m_fRate);
    // Playing into the view, "now" never leaves the picture on screen: a picture announced but not yet
    // drawn (the window's paint put off, a busy machine) holds the clock, and so the band and the
    // timecode, on the one before.
    if (m_fRate != 0.0f && picturePaced() && m_nRenderedFrame >= 0) {
        const long long nFirst = m_nRenderedFrame * m_nFrameUnits;
        t = std::clamp(t, nFirst, nFirst + m_nFrameUnits - 1);
    }
    return t;
}

void CQuickTime::setMovieRate(float fFactor) {
    if (!m_pMpv) return;
    if (fFactor == 0.0f) {
        setProperty("pause", "yes");
        m_fRate = 0.0f;
        return;
    }
    const long long nNow = movieTime();
    m_bHold = false;
    // Another rate: the pictures start a new series from the one shown.
    m_presented.restart(m_nDueFrame >= 0 ? m_nDueFrame : m_nShownFrame);
    m_bBackward = fFactor < 0.0f;
    // Backwards, the movement starts from the last unit of the frame shown and stays on it until the
    // picture before comes.
    if (m_bBackward && !m_bSeekPending && m_nShownFrame >= 0 && nNow / m_nFrameUnits == m_nShownFrame)
        anchorShown(m_nShownFrame);
    else
        m_position.anchor(nNow);
    setProperty("play-dir", m_bBackward ? "backward" : "forward");
    double dSpeed = std::fabs(double(fFactor));
    mpv_set_property(m_pMpv, "speed", MPV_FORMAT_DOUBLE, &dSpeed);
    setProperty("pause", "no");
    m_fRate = fFactor;
}

void CQuickTime::play(float fFactor) {
    Log("QuickTime::play(%f)\n", double(fFactor));
    if (!m_bMovie) return;
    if (fFactor < 0.0f && getCurrentTimeCode().getFrames() == getStartTimeCode().getFrames()) fFactor = 0.0f;
    if (fFactor > 0.0f && getCurrentTimeCode().getFrames() == getEndTimeCode().getFrames()) fFactor = 0.0f;
    const float fRate = fFactor * Rate::NORMAL_F;
    if (fRate < -float(getMaxNativeRate()) || fRate > float(getMaxNativeRate())) fFactor = 0.0f;
    const float fPresent = getMovieRate();
    if ((fPresent < 0.0f && fFactor > 0.0f) || (fPresent > 0.0f && fFactor < 0.0f)) {
        Log("Forcing zero rate\n");
        setMovieRate(0.0f);
    }
    setMovieRate(fFactor);
}

float CQuickTime::getMovieRate() {
    pumpEvents();
    return m_fRate;
}

bool CQuickTime::Goto(const CTimeCode& tc) {
    if (!m_bMovie) return false;
    const int nRate = tc.getRate() > 0 ? tc.getRate() : CTimeCode::DEFAULT_RATE;
    const long long nValue = (long long)tc.getFrames() - m_timeStamp.getFrames();
    const long long t = nValue * CTimeCode::MEDIA_TIME_SCALE / nRate;
    // A target before the timestamp is out of bounds, like one at or after the end.
    const bool bOk = nValue >= 0 && t < m_nDuration;
    Log("Goto(%s)%s", tc.getText(), bOk ? "\n" : " => out of bound!!!\n");
    if (bOk) seekMovie(t);
    return bOk;
}

bool CQuickTime::GoToTime(int t) {
    if (!m_bMovie) return false;
    const long long nStamp = m_timeStamp.toMediaTime();
    if (t < nStamp) return false;
    const long long nRel = t - nStamp;
    if (nRel > m_nDuration) return false;
    seekMovie(nRel);
    return true;
}

int CQuickTime::getTime() {
    return m_bMovie ? int(m_timeStamp.toMediaTime() + movieTime()) : 0;
}

int CQuickTime::getStartTime() {
    return m_bMovie ? int(m_timeStamp.toMediaTime()) : 0;
}

int CQuickTime::getEndTime() {
    return m_bMovie ? int(m_timeStamp.toMediaTime() + m_nDuration) : 0;
}

CTimeCode CQuickTime::getStartTimeCode() {
    return m_timeStamp;
}

CTimeCode CQuickTime::getEndTimeCode() {
    CTimeCode tc;
    tc.fromMediaTime(getEndTime());
    return tc;
}

CTimeCode CQuickTime::getCurrentTimeCode() {
    if (!m_bMovie) return m_timeStamp;
    return m_timeStamp + int(movieTime() * CTimeCode::DEFAULT_RATE / CTimeCode::MEDIA_TIME_SCALE);
}

void CQuickTime::setTimeStamp(const CTimeCode& tc) {
    Log("CQuickTime::setTimeStamp(%s)\n", tc.getText());
    m_timeStamp = tc;
}

void CQuickTime::setVolume(int nVolume) {
    m_nVolume = nVolume;
    if (!m_pMpv) return;
    double dVolume = std::max(0, nVolume) * 100.0 / FULL_VOLUME;
    mpv_set_property(m_pMpv, "volume", MPV_FORMAT_DOUBLE, &dVolume);
}

bool CQuickTime::isMuted() {
    int nMute = 0;
    if (m_pMpv) mpv_get_property(m_pMpv, "mute", MPV_FORMAT_FLAG, &nMute);
    return nMute != 0;
}

void CQuickTime::setMute(bool bMute) {
    Log("CQuickTime::setMute()\n");
    int nMute = bMute ? 1 : 0;
    if (m_pMpv) mpv_set_property(m_pMpv, "mute", MPV_FORMAT_FLAG, &nMute);
}

int CQuickTime::detectChannelCount() {
    if (m_nAudioChannels == 2 || m_nAudioChannels == 4) return m_nAudioChannels;
    Log("layout->mChannelLayoutTag non pris en charge : %llX\n", m_nChannelMask);
    return 0;
}

int CQuickTime::getAudioChannelCount() {
    return m_bAudioTrack ? detectChannelCount() : 0;
}

void CQuickTime::applyAudioFilter(const char* pszRouting) {
    char sz[128];
    if (pszRouting)
        std::snprintf(sz, sizeof sz, "lavfi=[%s],%s", pszRouting, TEMPO_FILTER);
    else
        std::snprintf(sz, sizeof sz, "%s", TEMPO_FILTER);
    setProperty("af", sz);
}

void CQuickTime::setAudioVersion(bool bInternational) {
    if (!m_bAudioTrack) return;
    // A 2-channel sound carries the dialogue version on its first channel and the international one
    // on its second; a 4-channel sound carries them as two stereo pairs.
    const char* pszRouting = nullptr;
    switch (detectChannelCount()) {
    case 2:
        pszRouting = bInternational ? "pan=stereo|c0=c1|c1=c1" : "pan=stereo|c0=c0|c1=c0";
        break;
    case 4:
        pszRouting = bInternational ? "pan=stereo|c0=c2|c1=c3" : "pan=stereo|c0=c0|c1=c1";
        break;
    default:
        // Unknown layout: the whole sound for VO, silence for VI.
        pszRouting = bInternational ? "volume=0" : nullptr;
        break;
    }
    applyAudioFilter(pszRouting);
    // libmpv keeps playing through the old filter chain until the sound is restarted: a seek to
    // where the movie is rebuilds it.
    if (m_bMovie) seekMovie(movieTime());
}

void CQuickTime::setPlayHints(int nFlags, int nMask) {
    m_nPlayHints = (m_nPlayHints & ~nMask) | (nFlags & nMask);
    if (nMask & HINT_DEINTERLACE_FIELDS)
        setProperty("deinterlace", m_nPlayHints & HINT_DEINTERLACE_FIELDS ? "yes" : "no");
    if (nMask & HINT_HIGH_QUALITY) {
        const char* pszScaler = m_nPlayHints & HINT_HIGH_QUALITY ? "spline36" : "bilinear";
        setProperty("scale", pszScaler);
        setProperty("cscale", pszScaler);
        setProperty("dscale", m_nPlayHints & HINT_HIGH_QUALITY ? "mitchell" : "bilinear");
    }
}

mpv_render_context* CQuickTime::createRenderContext(mpv_render_param* pParams) {
    if (!m_pMpv || m_pRender) return m_pRender;
    if (mpv_render_context_create(&m_pRender, m_pMpv, pParams) < 0) {
        m_pRender = nullptr;
        return nullptr;
    }
    setProperty("vid", "auto");
    return m_pRender;
}

void CQuickTime::freeRenderContext() {
    if (!m_pRender) return;
    if (m_eOutput == OUTPUT_RENDER) setProperty("vid", "no");
    mpv_render_context_free(m_pRender);
    m_pRender = nullptr;
}

void CQuickTime::setWakeupCallback(void (*pCallback)(void*), void* pContext) {
    if (m_pMpv) mpv_set_wakeup_callback(m_pMpv, pCallback, pContext);
}

QByteArray CQuickTime::grabCurrentPicture(int& nWidth, int& nHeight, int& nStride) {
    nWidth = nHeight = nStride = 0;
    if (!m_pMpv || !m_bMovie || !m_bVideoTrack) return {};
    mpv_node result;
    const char* cmd[] = {"screenshot-raw", "video", nullptr};
    if (mpv_command_ret(m_pMpv, cmd, &result) < 0) return {};
    QByteArray pixels;
    const unsigned char* pData = nullptr;
    size_t nSize = 0;
    bool bBgr0 = false;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            const char* pszKey = result.u.list->keys[i];
            const mpv_node& v = result.u.list->values[i];
            if (!std::strcmp(pszKey, "w") && v.format == MPV_FORMAT_INT64) nWidth = int(v.u.int64);
            if (!std::strcmp(pszKey, "h") && v.format == MPV_FORMAT_INT64) nHeight = int(v.u.int64);
            if (!std::strcmp(pszKey, "stride") && v.format == MPV_FORMAT_INT64) nStride = int(v.u.int64);
            if (!std::strcmp(pszKey, "format") && v.format == MPV_FORMAT_STRING)
                bBgr0 = !std::strcmp(v.u.string, "bgr0");
            if (!std::strcmp(pszKey, "data") && v.format == MPV_FORMAT_BYTE_ARRAY) {
                pData = static_cast<const unsigned char*>(v.u.ba->data);
                nSize = v.u.ba->size;
            }
        }
    }
    if (pData && bBgr0 && nStride > 0 && size_t(nStride) * size_t(nHeight) <= nSize)
        pixels = QByteArray(reinterpret_cast<const char*>(pData), qsizetype(nStride) * nHeight);
    else
        nWidth = nHeight = nStride = 0;
    mpv_free_node_contents(&result);
    return pixels;
}
