#include "sync/FrameReader.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {
constexpr AVRational FRAME_RATE_BASE{1, CTimeCode::DEFAULT_RATE};
constexpr int SHOT_BYTES = CFrameReader::SHOT_SIZE * CFrameReader::SHOT_SIZE * 3;

// One scaler per use (search, photo), rebuilt only when the source or the target changes.
class CScaler {
public:
    ~CScaler() { sws_freeContext(m_pSws); }

    bool scale(const AVFrame* pFrame, int nWidth, int nHeight, int nFlags, std::uint8_t* pDest, int nStride) {
        AVPixelFormat format = AVPixelFormat(pFrame->format);
        bool bFull = pFrame->color_range == AVCOL_RANGE_JPEG;
        // The deprecated full-range formats (MJPEG) are their limited twins read with the full range.
        switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            format = AV_PIX_FMT_YUV420P, bFull = true;
            break;
        case AV_PIX_FMT_YUVJ422P:
            format = AV_PIX_FMT_YUV422P, bFull = true;
            break;
        case AV_PIX_FMT_YUVJ444P:
            format = AV_PIX_FMT_YUV444P, bFull = true;
            break;
        case AV_PIX_FMT_YUVJ440P:
            format = AV_PIX_FMT_YUV440P, bFull = true;
            break;
        default:
            break;
        }
        if (!m_pSws || format != m_format || bFull != m_bFull || pFrame->width != m_nSrcWidth ||
            pFrame->height != m_nSrcHeight || nWidth != m_nWidth || nHeight != m_nHeight ||
            nFlags != m_nFlags) {
            sws_freeContext(m_pSws);
            m_pSws = sws_getContext(pFrame->width, pFrame->height, format, nWidth, nHeight, AV_PIX_FMT_RGB24,
                                    nFlags, nullptr, nullptr, nullptr);
            if (!m_pSws) return false;
            int *pInv, *pTable, nSrcRange, nDstRange, nBrightness, nContrast, nSaturation;
            if (sws_getColorspaceDetails(m_pSws, &pInv, &nSrcRange, &pTable, &nDstRange, &nBrightness,
                                         &nContrast, &nSaturation) >= 0)
                sws_setColorspaceDetails(m_pSws, pInv, bFull ? 1 : 0, pTable, 1, nBrightness, nContrast,
                                         nSaturation);
            m_format = format, m_bFull = bFull, m_nFlags = nFlags;
            m_nSrcWidth = pFrame->width, m_nSrcHeight = pFrame->height, m_nWidth = nWidth,
            m_nHeight = nHeight;
        }
        std::uint8_t* dst[4] = {pDest, nullptr, nullptr, nullptr};
        int stride[4] = {nStride, 0, 0, 0};
        return sws_scale(m_pSws, pFrame->data, pFrame->linesize, 0, pFrame->height, dst, stride) == nHeight;
    }

private:
    SwsContext* m_pSws = nullptr;
    AVPixelFormat m_format = AV_PIX_FMT_NONE;
    bool m_bFull = false;
    int m_nFlags = 0, m_nSrcWidth = 0, m_nSrcHeight = 0, m_nWidth = 0, m_nHeight = 0;
};
} // namespace

struct CFrameReader::Impl {
    AVFormatContext* pFormat = nullptr;
    AVCodecContext* pCodec = nullptr;
    AVPacket* pPacket = nullptr;
    AVFrame* pFrame = nullptr;
    int nStream = -1;
    AVRational timeBase{1, 1};
    std::int64_t nStartPts = 0;
    int nTimeStamp = 0;    // the media's start timecode, in frames
    int nFrameCount = 0;   // frames in the stream, estimated
    bool bFlushed = false; // the demuxer is at its end and the decoder was told
    int nCurrent = -1;     // index (from the stream start) of the frame in pFrame, -1 when none
    std::int64_t nDecoded = 0;
    CScaler searchScaler, photoScaler;
    // The last picture the search examined, where the next search resumes without seeking.
    std::vector<std::uint8_t> lastShot = std::vector<std::uint8_t>(SHOT_BYTES);
    int nLastShot = -1;

    ~Impl() { release(); }

    void release() {
        avcodec_free_context(&pCodec);
        avformat_close_input(&pFormat);
        av_packet_free(&pPacket);
        av_frame_free(&pFrame);
        nStream = -1;
        nCurrent = nLastShot = -1;
        bFlushed = false;
    }

    int indexOf(const AVFrame* pF) const {
        const std::int64_t pts = pF->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) return nCurrent + 1;
        return int(av_rescale_q_rnd(pts - nStartPts, timeBase, FRAME_RATE_BASE,
                                    AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX)));
    }

    // The next frame in presentation order into pFrame; false at the end of the stream.
    bool decodeNext() {
        for (;;) {
            const int r = avcodec_receive_frame(pCodec, pFrame);
            if (r == 0) {
                ++nDecoded;
                nCurrent = indexOf(pFrame);
                return true;
            }
            if (r != AVERROR(EAGAIN) || bFlushed) return false;
            if (av_read_frame(pFormat, pPacket) < 0) {
                avcodec_send_packet(pCodec, nullptr);
                bFlushed = true;
                continue;
            }
            // A damaged packet is dropped; the decoder carries on with the next one.
            if (pPacket->stream_index == nStream) avcodec_send_packet(pCodec, pPacket);
            av_packet_unref(pPacket);
        }
    }

    // The search compares pictures at 60 x 60 only: there the deblocking filter changes nothing that
    // matters (sums move by under a tenth of the default threshold over long groups of pictures) and
    // it costs about a sixth of the decoding time. A photo is decoded with it, from a fresh seek so
    // that no reference decoded without it leaks in.
    void setLoopFilter(bool bOn) {
        const AVDiscard discard = bOn ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        if (pCodec->skip_loop_filter == discard) return;
        pCodec->skip_loop_filter = discard;
        if (bOn) nCurrent = -1;
    }

    // Makes pFrame the first frame at or after nIndex. Reads on when the target is a little ahead,
    // seeks otherwise.
    bool moveTo(int nIndex) {
        nLastShot = -1;
        if (nCurrent >= 0 && nIndex == nCurrent) return true;
        if (nCurrent < 0 || nIndex < nCurrent || nIndex - nCurrent > 2 * CTimeCode::DEFAULT_RATE) {
            const std::int64_t target = nStartPts + av_rescale_q(nIndex, FRAME_RATE_BASE, timeBase);
            if (av_seek_frame(pFormat, nStream, target, AVSEEK_FLAG_BACKWARD) < 0 &&
                av_seek_frame(pFormat, nStream, nStartPts, AVSEEK_FLAG_BACKWARD) < 0)
                return false;
            avcodec_flush_buffers(pCodec);
            bFlushed = false;
            nCurrent = -1;
        }
        while (decodeNext())
            if (nCurrent >= nIndex) return true;
        return false;
    }
};

CFrameReader::CFrameReader() : m_p(std::make_unique<Impl>()) {}
CFrameReader::~CFrameReader() = default;

void CFrameReader::quietLibraryMessages() {
    av_log_set_level(AV_LOG_QUIET);
}

bool CFrameReader::isOpen() const {
    return m_p->pCodec != nullptr;
}
void CFrameReader::close() {
    m_p->release();
}
std::int64_t CFrameReader::getDecodedFrames() const {
    return m_p->nDecoded;
}
int CFrameReader::getWidth() const {
    return isOpen() ? m_p->pCodec->width : 0;
}
int CFrameReader::getHeight() const {
    return isOpen() ? m_p->pCodec->height : 0;
}
void CFrameReader::setTimeStamp(const CTimeCode& tc) {
    m_p->nTimeStamp = std::max(0, tc.getFrames());
}
CTimeCode CFrameReader::getStartTimeCode() const {
    return CTimeCode::fromFrames(m_p->nTimeStamp);
}
CTimeCode CFrameReader::getEndTimeCode() const {
    return CTimeCode::fromFrames(m_p->nTimeStamp + std::max(0, m_p->nFrameCount - 1));
}

bool CFrameReader::open(const QString& strPath) {
    close();
    Impl& d = *m_p;
    const QByteArray path = QFile::encodeName(strPath);
    if (avformat_open_input(&d.pFormat, path.constData(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(d.pFormat, nullptr) < 0) return close(), false;
    const AVCodec* pDecoder = nullptr;
    d.nStream = av_find_best_stream(d.pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &pDecoder, 0);
    if (d.nStream < 0 || !pDecoder) return close(), false;
    // Only the video is read: sound and data packets are dropped by the demuxer.
    for (unsigned i = 0; i < d.pFormat->nb_streams; ++i)
        if (int(i) != d.nStream) d.pFormat->streams[i]->discard = AVDISCARD_ALL;

    AVStream* pStream = d.pFormat->streams[d.nStream];
    d.timeBase = pStream->time_base;
    d.nStartPts = pStream->start_time == AV_NOPTS_VALUE ? 0 : pStream->start_time;
    d.pCodec = avcodec_alloc_context3(pDecoder);
    d.pPacket = av_packet_alloc();
    d.pFrame = av_frame_alloc();
    if (!d.pCodec || !d.pPacket || !d.pFrame ||
        avcodec_parameters_to_context(d.pCodec, pStream->codecpar) < 0)
        return close(), false;
    d.pCodec->pkt_timebase = d.timeBase;
    d.pCodec->thread_count = 0; // one per core (and one more for frame threading)
    d.pCodec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    d.pCodec->flags2 |= AV_CODEC_FLAG2_FAST;
    if (avcodec_open2(d.pCodec, pDecoder, nullptr) < 0 || d.pCodec->width <= 0 || d.pCodec->height <= 0)
        return close(), false;

    d.nTimeStamp = 0;
    const AVDictionaryEntry* pTag = av_dict_get(pStream->metadata, "timecode", nullptr, 0);
    if (!pTag) pTag = av_dict_get(d.pFormat->metadata, "timecode", nullptr, 0);
    if (pTag) {
        QString strText = QString::fromLatin1(pTag->value);
        strText.replace(QLatin1Char(';'), QLatin1Char(':')).replace(QLatin1Char('.'), QLatin1Char(':'));
        CTimeCode tc;
        if (tc.parse(strText)) d.nTimeStamp = tc.getFrames();
    }
    std::int64_t nFrames = pStream->nb_frames;
    if (nFrames <= 0 && pStream->duration != AV_NOPTS_VALUE)
        nFrames = av_rescale_q(pStream->duration, d.timeBase, FRAME_RATE_BASE);
    if (nFrames <= 0 && d.pFormat->duration != AV_NOPTS_VALUE)
        nFrames = av_rescale_q(d.pFormat->duration, AVRational{1, AV_TIME_BASE}, FRAME_RATE_BASE);
    d.nFrameCount = int(std::clamp<std::int64_t>(nFrames, 0, CTimeCode::FRAMES_PER_DAY));
    return true;
}

bool CFrameReader::findNextShot(CTimeCode& position, int nThreshold, const std::atomic<bool>* pbStop) {
    if (!isOpen()) return false;
    Impl& d = *m_p;
    d.setLoopFilter(false);
    const int nStart = std::max(0, position.getFrames() - d.nTimeStamp);
    std::uint8_t tables[2][SHOT_BYTES];
    std::uint8_t* pCurrent = tables[0];
    std::uint8_t* pPrevious = tables[1];
    int nExamined = 0, nPreviousSum = 0, nPreviousChange = 0;

    bool bHave;
    if (d.nLastShot >= 0 && d.nLastShot == nStart) {
        // Resuming where the last search stopped: its last picture is this search's first.
        std::memcpy(pCurrent, d.lastShot.data(), SHOT_BYTES);
        nExamined = 1;
        d.nLastShot = -1;
        bHave = d.decodeNext();
    } else {
        bHave = d.moveTo(nStart);
    }
    for (; bHave; bHave = d.decodeNext()) {
        if (pbStop && pbStop->load(std::memory_order_relaxed)) return false;
        std::swap(pCurrent, pPrevious);
        if (!d.searchScaler.scale(d.pFrame, SHOT_SIZE, SHOT_SIZE, SWS_AREA, pCurrent, SHOT_SIZE * 3)) {
            m_log.Log("Error : DecompressImage\n");
            return false;
        }
        if (nExamined > 0) {
            int nSum = 0;
            for (int i = 0; i < SHOT_BYTES; ++i)
                nSum += std::abs(int(pCurrent[i]) - int(pPrevious[i]));
            const int nChange = nSum - nPreviousSum;
            position.setFrames(d.nCurrent + d.nTimeStamp);
            if (nExamined > 1 && nPreviousChange > nThreshold && nChange < -nThreshold) {
                m_log.LogIf(CTraceLog::MASK_UPDATES, "%s %i\t%i => shot\n", position.getText(), nSum,
                            nChange);
                std::memcpy(d.lastShot.data(), pCurrent, SHOT_BYTES);
                d.nLastShot = d.nCurrent;
                return true;
            }
            m_log.LogIf(CTraceLog::MASK_UPDATES, "%s %i\t%i\n", position.getText(), nSum, nChange);
            nPreviousSum = nSum;
            nPreviousChange = nChange;
        }
        ++nExamined;
    }
    return false;
}

CFrameImage CFrameReader::grabFrame(const QRect& rcCrop, const QRect* prcOutput, const CTimeCode& tc) {
    CFrameImage image;
    if (!isOpen()) return image;
    Impl& d = *m_p;
    d.setLoopFilter(true);
    if (!d.moveTo(std::max(0, tc.getFrames() - d.nTimeStamp))) {
        m_log.Log("Error : GetMediaSample\n");
        return image;
    }
    // The crop rectangle scaled to the output's size: the frame is cut to the rectangle (within the
    // picture) and that part scaled, rather than scaling the whole frame up and copying from it.
    AVFrame* pSource = d.pFrame;
    int nWidth = pSource->width, nHeight = pSource->height;
    AVFrame* pCropped = nullptr;
    if (prcOutput && rcCrop.width() > 0 && rcCrop.height() > 0) {
        const QRect rc = rcCrop.intersected(QRect(0, 0, pSource->width, pSource->height));
        nWidth = prcOutput->width();
        nHeight = prcOutput->height();
        pCropped = av_frame_clone(pSource);
        if (!pCropped || rc.isEmpty()) {
            av_frame_free(&pCropped);
            m_log.Log("Error : NewGWorld\n");
            return image;
        }
        pCropped->crop_left = size_t(rc.left());
        pCropped->crop_top = size_t(rc.top());
        pCropped->crop_right = size_t(pSource->width - 1 - rc.right());
        pCropped->crop_bottom = size_t(pSource->height - 1 - rc.bottom());
        av_frame_apply_cropping(pCropped, AV_FRAME_CROP_UNALIGNED);
        pSource = pCropped;
    }
    // 16384 pixels a side is far beyond any picture; larger sizes come from absurd rectangles.
    constexpr int MAX_SIDE = 16384;
    if (nWidth <= 0 || nHeight <= 0 || nWidth > MAX_SIDE || nHeight > MAX_SIDE) {
        av_frame_free(&pCropped);
        m_log.Log("Error : NewGWorld\n");
        return image;
    }
    image.rgb.resize(size_t(nWidth) * size_t(nHeight) * 3);
    const bool bScaled =
        d.photoScaler.scale(pSource, nWidth, nHeight, SWS_BICUBIC, image.rgb.data(), nWidth * 3);
    av_frame_free(&pCropped);
    if (!bScaled) {
        image.rgb.clear();
        m_log.Log("Error : DecompressImage\n");
        return image;
    }
    image.nWidth = nWidth;
    image.nHeight = nHeight;
    return image;
}
