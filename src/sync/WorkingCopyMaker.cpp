#include "sync/WorkingCopyMaker.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {
using Clock = std::chrono::steady_clock;

// Intra-only H.264 at this quality keeps lips and mouths as sharp as the pane shows them; the
// fastest preset leaves the processor to the decoding of the movie, the slowest part of the making.
constexpr char X264_PRESET[] = "ultrafast";
constexpr char X264_CRF[] = "20";
constexpr int MJPEG_QUALITY = 3;
constexpr size_t QUEUE_LENGTH = 8;
constexpr double PROGRESS_PERIOD = 0.25; // seconds between two progress reports

double since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// What travels from the decoding thread to the encoding thread: a picture to encode, a sound packet
// ready to write, or the end.
struct SItem {
    AVFrame* pFrame = nullptr;
    AVPacket* pPacket = nullptr;
};

class CQueue {
public:
    ~CQueue() {
        for (SItem& item : m_items)
            release(item);
    }
    static void release(SItem& item) {
        av_frame_free(&item.pFrame);
        av_packet_free(&item.pPacket);
    }
    // False (and the item released) when the other side gave up.
    bool push(SItem item) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_bAbort || m_items.size() < QUEUE_LENGTH; });
        if (m_bAbort) {
            release(item);
            return false;
        }
        m_items.push_back(item);
        m_cv.notify_all();
        return true;
    }
    bool pushEnd() { return push(SItem{}); }
    bool pop(SItem& item) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_bAbort || !m_items.empty(); });
        if (m_bAbort) return false;
        item = m_items.front();
        m_items.pop_front();
        m_cv.notify_all();
        return true;
    }
    void abort() {
        std::lock_guard lock(m_mutex);
        m_bAbort = true;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<SItem> m_items;
    bool m_bAbort = false;
};

// A sound stream of the movie in the copy: its packets copied, or decoded and written as PCM.
struct SSound {
    int nIn = -1;
    AVStream* pOut = nullptr;
    AVCodecContext* pDecoder = nullptr;
    AVCodecContext* pEncoder = nullptr;
    std::int64_t nOffset = 0; // the movie's start, in the input stream's time base
};

// Sound codings that QuickTime files hold as they are (the muxer's own list names more than it writes).
bool copiedAsItIs(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_S8:
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S24BE:
    case AV_CODEC_ID_PCM_S32LE:
    case AV_CODEC_ID_PCM_S32BE:
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F32BE:
    case AV_CODEC_ID_PCM_F64LE:
    case AV_CODEC_ID_PCM_F64BE:
        return true;
    default:
        return false;
    }
}

// The PCM coding that holds a decoder's samples as they are, interleaved.
AVCodecID pcmFor(AVSampleFormat format) {
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        return AV_CODEC_ID_PCM_U8;
    case AV_SAMPLE_FMT_S16:
        return AV_CODEC_ID_PCM_S16LE;
    case AV_SAMPLE_FMT_S32:
        return AV_CODEC_ID_PCM_S32LE;
    case AV_SAMPLE_FMT_DBL:
        return AV_CODEC_ID_PCM_F64LE;
    default:
        return AV_CODEC_ID_PCM_F32LE;
    }
}

// The colours the player assumes for a picture that does not say: BT.709 from 720p up, BT.601
// below. The copy, smaller, says what the movie meant, so that both look the same.
void setColours(AVCodecContext* pEnc, const AVCodecParameters* pPar) {
    const bool bHd = pPar->width >= 1280 || pPar->height > 576;
    pEnc->colorspace = pPar->color_space != AVCOL_SPC_UNSPECIFIED ? pPar->color_space
                       : bHd                                      ? AVCOL_SPC_BT709
                                                                  : AVCOL_SPC_SMPTE170M;
    pEnc->color_primaries = pPar->color_primaries;
    if (pEnc->color_primaries == AVCOL_PRI_UNSPECIFIED)
        pEnc->color_primaries = bHd                   ? AVCOL_PRI_BT709
                                : pPar->height == 576 ? AVCOL_PRI_BT470BG
                                : pPar->height >= 480 ? AVCOL_PRI_SMPTE170M
                                                      : AVCOL_PRI_BT709;
    pEnc->color_trc = pPar->color_trc;
}

class CJob {
public:
    CJob(int nWidth, const std::atomic<bool>* pbStop) : m_nMaxWidth(nWidth), m_pbStop(pbStop) {}
    ~CJob() {
        m_queue.abort();
        if (m_encoder.joinable()) m_encoder.join();
        av_packet_free(&m_pPacket);
        av_packet_free(&m_pHeld);
        av_frame_free(&m_pFrame);
        sws_freeContext(m_pSws);
        avcodec_free_context(&m_pVideoDec);
        avcodec_free_context(&m_pVideoEnc);
        for (SSound& s : m_sounds) {
            avcodec_free_context(&s.pDecoder);
            avcodec_free_context(&s.pEncoder);
        }
        if (m_pOut) {
            if (m_pOut->pb) avio_closep(&m_pOut->pb);
            avformat_free_context(m_pOut);
        }
        if (m_pIn) avformat_close_input(&m_pIn);
    }

    CWorkingCopyMaker::EResult run(const QString& strSource, const QString& strTemp,
                                   const CWorkingCopyMaker::ProgressFn& progress);

    std::int64_t m_nWritten = 0;
    double m_dMovieSeconds = 0.0;
    int m_nOutWidth = 0, m_nOutHeight = 0;
    const char* m_pszCodec = "";

private:
    CWorkingCopyMaker::EResult openInput(const QString& strSource);
    CWorkingCopyMaker::EResult openOutput(const QString& strTemp);
    bool openVideoEncoder(bool bH264);
    bool addSound(int nIn);
    bool decodeVideo(const AVPacket* pPacket);
    bool decodeSound(SSound& s, const AVPacket* pPacket);
    bool copySound(const SSound& s, AVPacket* pPacket);
    void encodeLoop();
    bool drainVideo();
    bool writeVideo(AVPacket* pPacket);
    bool write(AVPacket* pPacket);
    bool stopped() const { return (m_pbStop && m_pbStop->load()) || m_bFailed.load(); }
    CWorkingCopyMaker::EResult writeFailure() const;

    int m_nMaxWidth;
    const std::atomic<bool>* m_pbStop;
    AVFormatContext* m_pIn = nullptr;
    AVFormatContext* m_pOut = nullptr;
    int m_nVideoIn = -1;
    AVStream* m_pVideoOut = nullptr;
    AVCodecContext* m_pVideoDec = nullptr;
    AVCodecContext* m_pVideoEnc = nullptr;
    SwsContext* m_pSws = nullptr;
    AVPacket* m_pPacket = nullptr;
    AVFrame* m_pFrame = nullptr;
    std::vector<SSound> m_sounds;
    std::int64_t m_nVideoOffset = 0;
    std::int64_t m_nLastPts = AV_NOPTS_VALUE;
    std::int64_t m_nFrameTicks = 1;   // one frame period in the input's time base
    std::int64_t m_nLastDuration = 0; // the last frame's duration, in the input's time base
    AVPacket* m_pHeld = nullptr;      // the last picture written waits for the next to learn its length

    CQueue m_queue;
    std::thread m_encoder;
    std::atomic<bool> m_bFailed{false};
    std::atomic<std::int64_t> m_nEncoded{0};
    std::atomic<std::int64_t> m_nBytes{0};
    int m_nWriteError = 0;
};

CWorkingCopyMaker::EResult CJob::openInput(const QString& strSource) {
    const QByteArray path = QFile::encodeName(strSource);
    if (avformat_open_input(&m_pIn, path.constData(), nullptr, nullptr) < 0)
        return CWorkingCopyMaker::UNREADABLE;
    if (avformat_find_stream_info(m_pIn, nullptr) < 0) return CWorkingCopyMaker::UNREADABLE;
    const AVCodec* pDecoder = nullptr;
    m_nVideoIn = av_find_best_stream(m_pIn, AVMEDIA_TYPE_VIDEO, -1, -1, &pDecoder, 0);
    if (m_nVideoIn < 0 || !pDecoder) return CWorkingCopyMaker::NO_PICTURE;
    AVStream* pStream = m_pIn->streams[m_nVideoIn];
    m_pVideoDec = avcodec_alloc_context3(pDecoder);
    if (!m_pVideoDec || avcodec_parameters_to_context(m_pVideoDec, pStream->codecpar) < 0)
        return CWorkingCopyMaker::UNREADABLE;
    m_pVideoDec->pkt_timebase = pStream->time_base;
    m_pVideoDec->thread_count = 0;
    m_pVideoDec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(m_pVideoDec, pDecoder, nullptr) < 0 || m_pVideoDec->width <= 0 ||
        m_pVideoDec->height <= 0)
        return CWorkingCopyMaker::NO_PICTURE;

    // Every stream keeps its distance from the movie's start; the copy starts at 0.
    const std::int64_t nStart = m_pIn->start_time == AV_NOPTS_VALUE ? 0 : m_pIn->start_time;
    m_nVideoOffset = av_rescale_q(nStart, AV_TIME_BASE_Q, pStream->time_base);
    AVRational rate = pStream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = pStream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    m_nFrameTicks = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate), pStream->time_base));
    if (pStream->duration != AV_NOPTS_VALUE && pStream->duration > 0)
        m_dMovieSeconds = double(pStream->duration) * av_q2d(pStream->time_base);
    else if (m_pIn->duration != AV_NOPTS_VALUE)
        m_dMovieSeconds = double(m_pIn->duration) / AV_TIME_BASE;

    // Square pixels at the display aspect, never wider than asked nor than the movie shows; even sizes.
    const AVRational sar = pStream->codecpar->sample_aspect_ratio.num > 0
                               ? pStream->codecpar->sample_aspect_ratio
                               : AVRational{1, 1};
    const double dDisplayWidth = double(m_pVideoDec->width) * av_q2d(sar);
    const double dWidth = std::min(double(m_nMaxWidth), dDisplayWidth);
    m_nOutWidth = std::max(2, int(std::lround(dWidth / 2.0)) * 2);
    m_nOutHeight = std::max(2, int(std::lround(dWidth * m_pVideoDec->height / dDisplayWidth / 2.0)) * 2);
    return CWorkingCopyMaker::MADE;
}

bool CJob::openVideoEncoder(bool bH264) {
    const AVCodec* pCodec =
        bH264 ? avcodec_find_encoder_by_name("libx264") : avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!pCodec) return false;
    avcodec_free_context(&m_pVideoEnc);
    m_pVideoEnc = avcodec_alloc_context3(pCodec);
    if (!m_pVideoEnc) return false;
    const AVStream* pIn = m_pIn->streams[m_nVideoIn];
    AVCodecContext* c = m_pVideoEnc;
    c->width = m_nOutWidth;
    c->height = m_nOutHeight;
    c->sample_aspect_ratio = AVRational{1, 1};
    c->time_base = pIn->time_base;
    c->framerate = pIn->avg_frame_rate.num > 0 ? pIn->avg_frame_rate : pIn->r_frame_rate;
    c->gop_size = 1;
    c->max_b_frames = 0;
    c->thread_count = 0;
    setColours(c, pIn->codecpar);
    if (m_pOut->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* pOptions = nullptr;
    if (bH264) {
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->color_range = AVCOL_RANGE_MPEG;
        av_dict_set(&pOptions, "preset", X264_PRESET, 0);
        av_dict_set(&pOptions, "crf", X264_CRF, 0);
        m_pszCodec = "h264";
    } else {
        c->pix_fmt = AV_PIX_FMT_YUVJ420P;
        c->color_range = AVCOL_RANGE_JPEG;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * MJPEG_QUALITY;
        m_pszCodec = "mjpeg";
    }
    const bool bOk = avcodec_open2(c, pCodec, &pOptions) >= 0;
    av_dict_free(&pOptions);
    return bOk;
}

bool CJob::addSound(int nIn) {
    const AVStream* pIn = m_pIn->streams[nIn];
    SSound s;
    s.nIn = nIn;
    s.pOut = avformat_new_stream(m_pOut, nullptr);
    if (!s.pOut) return false;
    const std::int64_t nStart = m_pIn->start_time == AV_NOPTS_VALUE ? 0 : m_pIn->start_time;
    s.nOffset = av_rescale_q(nStart, AV_TIME_BASE_Q, pIn->time_base);
    av_dict_copy(&s.pOut->metadata, pIn->metadata, 0);
    s.pOut->disposition = pIn->disposition;
    if (copiedAsItIs(pIn->codecpar->codec_id) &&
        avformat_query_codec(m_pOut->oformat, pIn->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1) {
        if (avcodec_parameters_copy(s.pOut->codecpar, pIn->codecpar) < 0) return false;
        s.pOut->codecpar->codec_tag = 0;
        s.pOut->time_base = pIn->time_base;
        m_sounds.push_back(s);
        return true;
    }
    // A coding the container cannot hold: its samples, decoded, as PCM.
    const AVCodec* pDecoder = avcodec_find_decoder(pIn->codecpar->codec_id);
    if (!pDecoder) return false;
    s.pDecoder = avcodec_alloc_context3(pDecoder);
    m_sounds.push_back(s); // freed by the job from here on
    SSound& r = m_sounds.back();
    if (!r.pDecoder || avcodec_parameters_to_context(r.pDecoder, pIn->codecpar) < 0) return false;
    r.pDecoder->pkt_timebase = pIn->time_base;
    if (avcodec_open2(r.pDecoder, pDecoder, nullptr) < 0) return false;
    const AVCodec* pEncoder = avcodec_find_encoder(pcmFor(r.pDecoder->sample_fmt));
    if (!pEncoder) return false;
    r.pEncoder = avcodec_alloc_context3(pEncoder);
    if (!r.pEncoder) return false;
    r.pEncoder->sample_fmt = av_get_packed_sample_fmt(r.pDecoder->sample_fmt);
    r.pEncoder->sample_rate = r.pDecoder->sample_rate;
    if (av_channel_layout_copy(&r.pEncoder->ch_layout, &r.pDecoder->ch_layout) < 0) return false;
    r.pEncoder->time_base = AVRational{1, r.pDecoder->sample_rate};
    if (avcodec_open2(r.pEncoder, pEncoder, nullptr) < 0) return false;
    if (avcodec_parameters_from_context(r.pOut->codecpar, r.pEncoder) < 0) return false;
    r.pOut->time_base = r.pEncoder->time_base;
    return true;
}

CWorkingCopyMaker::EResult CJob::openOutput(const QString& strTemp) {
    const QByteArray path = QFile::encodeName(strTemp);
    if (avformat_alloc_output_context2(&m_pOut, nullptr, "mov", path.constData()) < 0 || !m_pOut)
        return CWorkingCopyMaker::WRITE_FAILED;
    m_pVideoOut = avformat_new_stream(m_pOut, nullptr);
    if (!m_pVideoOut) return CWorkingCopyMaker::WRITE_FAILED;
    if (!openVideoEncoder(true) && !openVideoEncoder(false)) return CWorkingCopyMaker::NO_ENCODER;
    const AVStream* pIn = m_pIn->streams[m_nVideoIn];
    if (avcodec_parameters_from_context(m_pVideoOut->codecpar, m_pVideoEnc) < 0)
        return CWorkingCopyMaker::WRITE_FAILED;
    m_pVideoOut->time_base = m_pVideoEnc->time_base;
    // The timecode track is written from the frame rate.
    m_pVideoOut->avg_frame_rate = m_pVideoEnc->framerate;
    m_pVideoOut->r_frame_rate = m_pVideoEnc->framerate;
    av_dict_copy(&m_pVideoOut->metadata, pIn->metadata, 0);
    // A movie filmed upright on its side (a telephone's) is turned by the player: so is its copy.
    for (int i = 0; i < pIn->nb_side_data; ++i) {
        const AVPacketSideData& side = pIn->side_data[i];
        if (side.type != AV_PKT_DATA_DISPLAYMATRIX) continue;
        if (std::uint8_t* p = av_stream_new_side_data(m_pVideoOut, side.type, side.size))
            std::memcpy(p, side.data, side.size);
    }
    for (unsigned i = 0; i < m_pIn->nb_streams; ++i) {
        AVStream* pStream = m_pIn->streams[i];
        if (pStream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (!addSound(int(i))) return CWorkingCopyMaker::UNREADABLE;
        } else if (int(i) != m_nVideoIn) {
            pStream->discard = AVDISCARD_ALL;
        }
    }
    // The start timecode: a timecode track's (the last one wins, as the player reads it), else the
    // container's.
    const AVDictionaryEntry* pTimeCode = nullptr;
    for (unsigned i = 0; i < m_pIn->nb_streams; ++i)
        if (const AVDictionaryEntry* e = av_dict_get(m_pIn->streams[i]->metadata, "timecode", nullptr, 0))
            pTimeCode = e;
    if (!pTimeCode) pTimeCode = av_dict_get(m_pIn->metadata, "timecode", nullptr, 0);
    av_dict_set(&m_pVideoOut->metadata, "timecode", nullptr, 0);
    if (pTimeCode) av_dict_set(&m_pOut->metadata, "timecode", pTimeCode->value, 0);

    if (avio_open(&m_pOut->pb, path.constData(), AVIO_FLAG_WRITE) < 0) return CWorkingCopyMaker::WRITE_FAILED;
    const int r = avformat_write_header(m_pOut, nullptr);
    if (r < 0) {
        m_nWriteError = r;
        return writeFailure();
    }
    return CWorkingCopyMaker::MADE;
}

bool CJob::write(AVPacket* pPacket) {
    if (m_nWriteError) {
        av_packet_unref(pPacket);
        return false;
    }
    const int r = av_interleaved_write_frame(m_pOut, pPacket);
    if (m_pOut->pb) m_nBytes = avio_tell(m_pOut->pb);
    if (r < 0 || (m_pOut->pb && m_pOut->pb->error < 0)) {
        m_nWriteError = r < 0 ? r : m_pOut->pb->error;
        m_bFailed = true;
        return false;
    }
    return true;
}

bool CJob::writeVideo(AVPacket* pPacket) {
    av_packet_rescale_ts(pPacket, m_pVideoEnc->time_base, m_pVideoOut->time_base);
    pPacket->stream_index = m_pVideoOut->index;
    bool bOk = true;
    if (m_pHeld) {
        m_pHeld->duration = pPacket->pts - m_pHeld->pts;
        if (m_pHeld->duration <= 0)
            m_pHeld->duration = av_rescale_q(m_nFrameTicks, m_pVideoEnc->time_base, m_pVideoOut->time_base);
        bOk = write(m_pHeld);
        ++m_nEncoded;
    } else {
        m_pHeld = av_packet_alloc();
        if (!m_pHeld) return false;
    }
    av_packet_move_ref(m_pHeld, pPacket);
    return bOk;
}

bool CJob::drainVideo() {
    AVPacket* pPacket = av_packet_alloc();
    if (!pPacket) return false;
    bool bOk = true;
    while (bOk && avcodec_receive_packet(m_pVideoEnc, pPacket) == 0)
        bOk = writeVideo(pPacket);
    av_packet_free(&pPacket);
    return bOk;
}

void CJob::encodeLoop() {
    SItem item;
    bool bOk = true;
    while (bOk && m_queue.pop(item)) {
        if (item.pFrame) {
            bOk = avcodec_send_frame(m_pVideoEnc, item.pFrame) >= 0 && drainVideo();
            if (!bOk && !m_nWriteError) m_nWriteError = AVERROR_UNKNOWN;
        } else if (item.pPacket) {
            bOk = write(item.pPacket);
        } else {
            // The end: the encoder's last pictures, the last one with its own length, the index.
            avcodec_send_frame(m_pVideoEnc, nullptr);
            bOk = drainVideo();
            if (bOk && m_pHeld) {
                m_pHeld->duration = av_rescale_q(m_nLastDuration > 0 ? m_nLastDuration : m_nFrameTicks,
                                                 m_pVideoEnc->time_base, m_pVideoOut->time_base);
                bOk = write(m_pHeld);
                ++m_nEncoded;
            }
            if (bOk) {
                const int r = av_write_trailer(m_pOut);
                if (r < 0 && !m_nWriteError) m_nWriteError = r;
                bOk = r >= 0;
            }
            CQueue::release(item);
            break;
        }
        CQueue::release(item);
    }
    if (!bOk) {
        m_bFailed = true;
        m_queue.abort();
    }
}

bool CJob::decodeVideo(const AVPacket* pPacket) {
    if (avcodec_send_packet(m_pVideoDec, pPacket) < 0 && pPacket) return true; // a damaged packet is dropped
    for (;;) {
        const int r = avcodec_receive_frame(m_pVideoDec, m_pFrame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return true;
        std::int64_t pts = m_pFrame->best_effort_timestamp;
        pts = pts == AV_NOPTS_VALUE
                  ? (m_nLastPts == AV_NOPTS_VALUE ? m_nVideoOffset : m_nLastPts + m_nFrameTicks)
                  : pts;
        // A damaged file may repeat or step back its times: the copy keeps every frame, in order.
        if (m_nLastPts != AV_NOPTS_VALUE && pts <= m_nLastPts) pts = m_nLastPts + 1;
        m_nLastPts = pts;
        m_nLastDuration = m_pFrame->pkt_duration;

        if (!m_pSws || m_pFrame->width != m_pVideoDec->width || m_pFrame->height != m_pVideoDec->height) {
            sws_freeContext(m_pSws);
            m_pSws = sws_getContext(m_pFrame->width, m_pFrame->height, AVPixelFormat(m_pFrame->format),
                                    m_nOutWidth, m_nOutHeight, m_pVideoEnc->pix_fmt, SWS_BILINEAR, nullptr,
                                    nullptr, nullptr);
            if (!m_pSws) return false;
            int *pInv, *pTable, nSrcRange, nDstRange, nBrightness, nContrast, nSaturation;
            if (sws_getColorspaceDetails(m_pSws, &pInv, &nSrcRange, &pTable, &nDstRange, &nBrightness,
                                         &nContrast, &nSaturation) >= 0) {
                const AVPixFmtDescriptor* pDesc = av_pix_fmt_desc_get(AVPixelFormat(m_pFrame->format));
                const bool bFullIn = m_pFrame->color_range == AVCOL_RANGE_JPEG ||
                                     (pDesc && std::strncmp(pDesc->name, "yuvj", 4) == 0);
                sws_setColorspaceDetails(m_pSws, pInv, bFullIn ? 1 : 0, pTable,
                                         m_pVideoEnc->color_range == AVCOL_RANGE_JPEG ? 1 : 0, nBrightness,
                                         nContrast, nSaturation);
            }
        }
        AVFrame* pOut = av_frame_alloc();
        if (!pOut) return false;
        pOut->format = m_pVideoEnc->pix_fmt;
        pOut->width = m_nOutWidth;
        pOut->height = m_nOutHeight;
        if (av_frame_get_buffer(pOut, 0) < 0 ||
            sws_scale(m_pSws, m_pFrame->data, m_pFrame->linesize, 0, m_pFrame->height, pOut->data,
                      pOut->linesize) != m_nOutHeight) {
            av_frame_free(&pOut);
            return false;
        }
        pOut->pts = pts - m_nVideoOffset;
        pOut->pict_type = AV_PICTURE_TYPE_I;
        av_frame_unref(m_pFrame);
        if (!m_queue.push(SItem{pOut, nullptr})) return false;
    }
}

bool CJob::copySound(const SSound& s, AVPacket* pPacket) {
    AVPacket* pOut = av_packet_clone(pPacket);
    if (!pOut) return false;
    const AVRational inBase = m_pIn->streams[s.nIn]->time_base;
    if (pOut->pts != AV_NOPTS_VALUE) pOut->pts -= s.nOffset;
    if (pOut->dts != AV_NOPTS_VALUE) pOut->dts -= s.nOffset;
    av_packet_rescale_ts(pOut, inBase, s.pOut->time_base);
    pOut->stream_index = s.pOut->index;
    pOut->pos = -1;
    return m_queue.push(SItem{nullptr, pOut});
}

bool CJob::decodeSound(SSound& s, const AVPacket* pPacket) {
    if (avcodec_send_packet(s.pDecoder, pPacket) < 0 && pPacket) return true;
    AVFrame* pFrame = av_frame_alloc();
    AVPacket* pPcm = av_packet_alloc();
    bool bOk = pFrame && pPcm;
    const AVRational inBase = m_pIn->streams[s.nIn]->time_base;
    while (bOk && avcodec_receive_frame(s.pDecoder, pFrame) == 0) {
        // Interleaved copy of the samples for the PCM coder.
        AVFrame* pPacked = av_frame_alloc();
        bOk = pPacked != nullptr;
        if (bOk) {
            pPacked->format = s.pEncoder->sample_fmt;
            pPacked->nb_samples = pFrame->nb_samples;
            pPacked->sample_rate = pFrame->sample_rate;
            bOk = av_channel_layout_copy(&pPacked->ch_layout, &s.pEncoder->ch_layout) >= 0 &&
                  av_frame_get_buffer(pPacked, 0) >= 0;
        }
        if (bOk) {
            const int nChannels = s.pEncoder->ch_layout.nb_channels;
            const int nBytes = av_get_bytes_per_sample(s.pEncoder->sample_fmt);
            if (av_sample_fmt_is_planar(AVSampleFormat(pFrame->format))) {
                for (int i = 0; i < pFrame->nb_samples; ++i)
                    for (int c = 0; c < nChannels; ++c)
                        std::memcpy(pPacked->data[0] + (i * nChannels + c) * nBytes,
                                    pFrame->extended_data[c] + i * nBytes, size_t(nBytes));
            } else {
                std::memcpy(pPacked->data[0], pFrame->data[0],
                            size_t(pFrame->nb_samples * nChannels * nBytes));
            }
            const std::int64_t pts = pFrame->best_effort_timestamp;
            pPacked->pts = pts == AV_NOPTS_VALUE
                               ? AV_NOPTS_VALUE
                               : av_rescale_q(pts - s.nOffset, inBase, s.pEncoder->time_base);
            bOk = avcodec_send_frame(s.pEncoder, pPacked) >= 0;
        }
        av_frame_free(&pPacked);
        av_frame_unref(pFrame);
        while (bOk && avcodec_receive_packet(s.pEncoder, pPcm) == 0) {
            pPcm->stream_index = s.pOut->index;
            av_packet_rescale_ts(pPcm, s.pEncoder->time_base, s.pOut->time_base);
            AVPacket* pCopy = av_packet_alloc();
            bOk = pCopy != nullptr;
            if (bOk) av_packet_move_ref(pCopy, pPcm);
            bOk = bOk && m_queue.push(SItem{nullptr, pCopy});
        }
    }
    av_frame_free(&pFrame);
    av_packet_free(&pPcm);
    return bOk;
}

CWorkingCopyMaker::EResult CJob::writeFailure() const {
    if (m_nWriteError == AVERROR(ENOSPC) || m_nWriteError == AVERROR(EFBIG) ||
        m_nWriteError == AVERROR(EDQUOT))
        return CWorkingCopyMaker::DISK_FULL;
    return CWorkingCopyMaker::WRITE_FAILED;
}

CWorkingCopyMaker::EResult CJob::run(const QString& strSource, const QString& strTemp,
                                     const CWorkingCopyMaker::ProgressFn& progress) {
    av_log_set_level(AV_LOG_QUIET);
    CWorkingCopyMaker::EResult e = openInput(strSource);
    if (e != CWorkingCopyMaker::MADE) return e;
    e = openOutput(strTemp);
    if (e != CWorkingCopyMaker::MADE) return e;
    m_pPacket = av_packet_alloc();
    m_pFrame = av_frame_alloc();
    if (!m_pPacket || !m_pFrame) return CWorkingCopyMaker::WRITE_FAILED;

    const AVStream* pVideo = m_pIn->streams[m_nVideoIn];
    CWorkingCopyMaker::SProgress p;
    p.nTotal = pVideo->nb_frames > 0
                   ? pVideo->nb_frames
                   : std::int64_t(std::llround(m_dMovieSeconds * av_q2d(m_pVideoEnc->framerate)));
    QStorageInfo disk(QFileInfo(strTemp).absolutePath());
    const auto t0 = Clock::now();
    double dLastReport = -1.0;
    std::int64_t nLastCheck = 0;

    m_encoder = std::thread([this] { encodeLoop(); });
    bool bOk = true, bFull = false;
    while (bOk && !stopped()) {
        const int r = av_read_frame(m_pIn, m_pPacket);
        if (r == AVERROR(EAGAIN)) continue;
        if (r < 0) break;
        if (m_pPacket->stream_index == m_nVideoIn) {
            bOk = decodeVideo(m_pPacket);
        } else {
            for (SSound& s : m_sounds)
                if (s.nIn == m_pPacket->stream_index)
                    bOk = s.pDecoder ? decodeSound(s, m_pPacket) : copySound(s, m_pPacket);
        }
        av_packet_unref(m_pPacket);

        p.nFrames = m_nEncoded;
        p.dElapsed = since(t0);
        // The disk: the copy stops as soon as its expected size no longer fits.
        if (p.nFrames >= 50 && p.nTotal > p.nFrames && p.nFrames - nLastCheck >= 50) {
            nLastCheck = p.nFrames;
            disk.refresh();
            const std::int64_t nExpected = m_nBytes * (p.nTotal - p.nFrames) / p.nFrames;
            if (disk.isValid() && nExpected + CWorkingCopyMaker::DISK_RESERVE > disk.bytesAvailable()) {
                bFull = true;
                break;
            }
        }
        if (progress && p.dElapsed - dLastReport >= PROGRESS_PERIOD) {
            dLastReport = p.dElapsed;
            p.dSecondsLeft = p.nFrames > 0 && p.nTotal > p.nFrames
                                 ? p.dElapsed * double(p.nTotal - p.nFrames) / double(p.nFrames)
                                 : -1.0;
            progress(p);
        }
    }
    const bool bStopped = m_pbStop && m_pbStop->load();
    if (bOk && !bFull && !bStopped && !m_bFailed) {
        // The pictures and sounds still in the decoders.
        bOk = decodeVideo(nullptr);
        for (SSound& s : m_sounds)
            if (bOk && s.pDecoder) bOk = decodeSound(s, nullptr);
        bOk = bOk && m_queue.pushEnd();
    }
    if (!bOk || bFull || bStopped) m_queue.abort();
    m_encoder.join();
    m_nWritten = m_nEncoded;
    if (m_nWriteError) return writeFailure();
    if (bFull) return CWorkingCopyMaker::DISK_FULL;
    if (bStopped) return CWorkingCopyMaker::CANCELLED;
    if (!bOk || m_bFailed) return CWorkingCopyMaker::WRITE_FAILED;
    if (m_nWritten == 0) return CWorkingCopyMaker::NO_PICTURE;
    const int r = avio_closep(&m_pOut->pb);
    if (r < 0) {
        m_nWriteError = r;
        return writeFailure();
    }
    if (progress) {
        p.nFrames = m_nWritten;
        p.dElapsed = since(t0);
        p.dSecondsLeft = 0.0;
        progress(p);
    }
    return CWorkingCopyMaker::MADE;
}

// Flushes a written file to the disk, so that a rename never publishes a copy that a power cut empties.
bool syncFile(const QString& strPath) {
    QFile f(strPath);
    if (!f.open(QIODevice::ReadOnly)) return false;
    return ::fsync(f.handle()) == 0;
}
} // namespace

CWorkingCopyMaker::EResult CWorkingCopyMaker::make(const QString& strSource, const QString& strTarget,
                                                   int nWidth, const std::atomic<bool>* pbStop,
                                                   const ProgressFn& progress) {
    m_nFrames = 0;
    m_dSeconds = m_dMovieSeconds = 0.0;
    m_nWidth = m_nHeight = 0;
    m_pszCodec = "";
    const auto t0 = Clock::now();
    const QString strTemp = strTarget + QLatin1Char('.') +
                            QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".part");
    EResult e;
    {
        CJob job(std::max(16, nWidth), pbStop);
        e = job.run(strSource, strTemp, progress);
        m_nFrames = job.m_nWritten;
        m_dMovieSeconds = job.m_dMovieSeconds;
        m_nWidth = job.m_nOutWidth;
        m_nHeight = job.m_nOutHeight;
        m_pszCodec = job.m_pszCodec;
    }
    if (e == MADE) {
        if (!syncFile(strTemp))
            e = WRITE_FAILED;
        else if (std::rename(QFile::encodeName(strTemp).constData(),
                             QFile::encodeName(strTarget).constData()) != 0)
            e = errno == ENOSPC ? DISK_FULL : WRITE_FAILED;
    }
    if (e != MADE) QFile::remove(strTemp);
    m_dSeconds = since(t0);
    return e;
}

QString CWorkingCopyMaker::message(EResult eResult, const QString& strSource) {
    const QString strName = QFileInfo(strSource).fileName();
    switch (eResult) {
    case MADE:
        return {};
    case CANCELLED:
        return QStringLiteral("La copie de travail de « %1 » a été annulée.").arg(strName);
    case UNREADABLE:
        return QStringLiteral("Impossible de lire le film « %1 » : la copie de travail n'a pas été créée.")
            .arg(strName);
    case NO_PICTURE:
        return QStringLiteral(
                   "Le film « %1 » n'a pas d'image lisible : la copie de travail n'a pas été créée.")
            .arg(strName);
    case NO_ENCODER:
        return QStringLiteral(
                   "Aucun codeur vidéo n'est disponible : la copie de travail de « %1 » n'a pas été "
                   "créée.")
            .arg(strName);
    case DISK_FULL:
        return QStringLiteral("Le disque est plein : la copie de travail de « %1 » n'a pas été créée. "
                              "Libérez de la place ou videz le cache des copies de travail.")
            .arg(strName);
    case WRITE_FAILED:
        break;
    }
    return QStringLiteral("Impossible d'écrire la copie de travail de « %1 » dans le cache.").arg(strName);
}

void CWorkingCopyMaker::lowerThreadPriority() {
    // Linux keeps a nice value per thread, inherited by the threads it starts.
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
}
