#include "sync/FrameReader.h"

#include "sync/FrameShrink.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {
constexpr AVRational FRAME_RATE_BASE{1, CTimeCode::DEFAULT_RATE};
constexpr int MAX_GAP = 10 * CTimeCode::DEFAULT_RATE; // frames a stream may skip at once
constexpr int SHOT_SIZE = CFrameReader::SHOT_SIZE;
constexpr int SHOT_BYTES = SHOT_SIZE * SHOT_SIZE * 3;

// One scaler per use (search, photo), rebuilt only when the source or the target changes.
class CScaler {
public:
    ~CScaler() { sws_freeContext(m_pSws); }

    bool scale(const AVFrame* pFrame, int nWidth, int nHeight, int nFlags, std::uint8_t* pDest, int nStride) {
        const bool bFull = CFrameShrinker::isFullRange(pFrame);
        // The deprecated full-range formats (MJPEG) are their limited twins read with the full range.
        AVPixelFormat format = AVPixelFormat(pFrame->format);
        switch (format) {
        case AV_PIX_FMT_YUVJ420P:
            format = AV_PIX_FMT_YUV420P;
            break;
        case AV_PIX_FMT_YUVJ422P:
            format = AV_PIX_FMT_YUV422P;
            break;
        case AV_PIX_FMT_YUVJ444P:
            format = AV_PIX_FMT_YUV444P;
            break;
        case AV_PIX_FMT_YUVJ440P:
            format = AV_PIX_FMT_YUV440P;
            break;
        default:
            break;
        }
        // BT.709 colours when the frame says so, BT.601 otherwise (as the cut search's shrinker).
        const bool b709 = pFrame->colorspace == AVCOL_SPC_BT709;
        if (!m_pSws || format != m_format || bFull != m_bFull || b709 != m_b709 ||
            pFrame->width != m_nSrcWidth || pFrame->height != m_nSrcHeight || nWidth != m_nWidth ||
            nHeight != m_nHeight || nFlags != m_nFlags) {
            sws_freeContext(m_pSws);
            m_pSws = sws_getContext(pFrame->width, pFrame->height, format, nWidth, nHeight, AV_PIX_FMT_RGB24,
                                    nFlags, nullptr, nullptr, nullptr);
            if (!m_pSws) return false;
            int *pInv, *pTable, nSrcRange, nDstRange, nBrightness, nContrast, nSaturation;
            if (sws_getColorspaceDetails(m_pSws, &pInv, &nSrcRange, &pTable, &nDstRange, &nBrightness,
                                         &nContrast, &nSaturation) >= 0)
                sws_setColorspaceDetails(m_pSws, sws_getCoefficients(b709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT),
                                         bFull ? 1 : 0, pTable, 1, nBrightness, nContrast, nSaturation);
            m_format = format, m_bFull = bFull, m_b709 = b709, m_nFlags = nFlags;
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
    bool m_bFull = false, m_b709 = false;
    int m_nFlags = 0, m_nSrcWidth = 0, m_nSrcHeight = 0, m_nWidth = 0, m_nHeight = 0;
};

// One demuxer and decoder on the file, with what the search needs to go on where it stopped.
struct CLane {
    AVFormatContext* pFormat = nullptr;
    AVCodecContext* pCodec = nullptr;
    AVPacket* pPacket = nullptr;
    AVFrame* pFrame = nullptr;
    int nStream = -1;
    AVRational timeBase{1, 1};
    std::int64_t nStartPts = 0;
    bool bFlushed = false; // the demuxer is at its end and the decoder was told
    int nCurrent = -1;     // index (from the stream start) of the frame in pFrame, -1 when none
    std::int64_t nDecoded = 0;
    CFrameShrinker shrinker{SHOT_SIZE};
    CScaler scaler; // for pictures the shrinker does not take
    // The 60 x 60 picture of frame nLastIndex, the last one scanned; the decoder stands right after it.
    std::vector<std::uint8_t> last = std::vector<std::uint8_t>(SHOT_BYTES);
    int nLastIndex = -1;

    ~CLane() { release(); }

    void release() {
        avcodec_free_context(&pCodec);
        avformat_close_input(&pFormat);
        av_packet_free(&pPacket);
        av_frame_free(&pFrame);
        nStream = -1;
        nCurrent = nLastIndex = -1;
        bFlushed = false;
    }

    bool open(const QByteArray& path, int nThreads) {
        release();
        if (avformat_open_input(&pFormat, path.constData(), nullptr, nullptr) < 0) return false;
        if (avformat_find_stream_info(pFormat, nullptr) < 0) return release(), false;
        const AVCodec* pDecoder = nullptr;
        nStream = av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &pDecoder, 0);
        if (nStream < 0 || !pDecoder) return release(), false;
        // Only the video is read: sound and data packets are dropped by the demuxer.
        for (unsigned i = 0; i < pFormat->nb_streams; ++i)
            if (int(i) != nStream) pFormat->streams[i]->discard = AVDISCARD_ALL;
        AVStream* pStream = pFormat->streams[nStream];
        timeBase = pStream->time_base;
        nStartPts = pStream->start_time == AV_NOPTS_VALUE ? 0 : pStream->start_time;
        pCodec = avcodec_alloc_context3(pDecoder);
        pPacket = av_packet_alloc();
        pFrame = av_frame_alloc();
        if (!pCodec || !pPacket || !pFrame || avcodec_parameters_to_context(pCodec, pStream->codecpar) < 0)
            return release(), false;
        pCodec->pkt_timebase = timeBase;
        pCodec->thread_count = nThreads;
        pCodec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        pCodec->flags2 |= AV_CODEC_FLAG2_FAST;
        if (avcodec_open2(pCodec, pDecoder, nullptr) < 0 || pCodec->width <= 0 || pCodec->height <= 0)
            return release(), false;
        return true;
    }

    AVStream* stream() const { return pFormat->streams[nStream]; }

    int indexOf(std::int64_t pts) const {
        return int(av_rescale_q_rnd(pts - nStartPts, timeBase, FRAME_RATE_BASE,
                                    AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX)));
    }

    // The next frame in presentation order into pFrame; false at the end of the stream.
    bool decodeNext() {
        for (;;) {
            const int r = avcodec_receive_frame(pCodec, pFrame);
            if (r == 0) {
                ++nDecoded;
                // Frames are numbered in order even where time stamps are missing, go back or jump
                // beyond reason (a damaged file), so that no table grows from a stray number.
                const std::int64_t pts = pFrame->best_effort_timestamp;
                const int n = pts == AV_NOPTS_VALUE ? nCurrent + 1 : indexOf(pts);
                const bool bSane = n > nCurrent && n < CTimeCode::FRAMES_PER_DAY &&
                                   (nCurrent < 0 || n - nCurrent <= MAX_GAP);
                nCurrent = bSane ? n : nCurrent + 1;
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

    // To the key frame at or before ts, or (forward) at or after it.
    bool seek(std::int64_t ts, bool bForward = false) {
        if (av_seek_frame(pFormat, nStream, ts, bForward ? 0 : AVSEEK_FLAG_BACKWARD) < 0 &&
            av_seek_frame(pFormat, nStream, nStartPts, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        avcodec_flush_buffers(pCodec);
        bFlushed = false;
        nCurrent = -1;
        return true;
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
        nLastIndex = -1;
        if (nCurrent >= 0 && nIndex == nCurrent) return true;
        if (nCurrent < 0 || nIndex < nCurrent || nIndex - nCurrent > 2 * CTimeCode::DEFAULT_RATE) {
            if (!seek(nStartPts + av_rescale_q(nIndex, FRAME_RATE_BASE, timeBase))) return false;
        }
        while (decodeNext())
            if (nCurrent >= nIndex) return true;
        return false;
    }

    bool shrink(std::uint8_t* pDest) {
        return shrinker.shrink(pFrame, pDest) ||
               scaler.scale(pFrame, SHOT_SIZE, SHOT_SIZE, SWS_AREA, pDest, SHOT_SIZE * 3);
    }

    // Frame differences of a stretch of the movie: state[i] is for frame nFirst + i.
    struct CScan {
        int nFirst = -1;
        std::vector<int> state;
        bool bEnd = false;
        bool bError = false;
    };

    // How a lane scans during one fill of the search's table.
    struct CScanPlan {
        int nFrom = 0;                             // the frame whose picture starts the comparisons...
        std::int64_t keyTs = AV_NOPTS_VALUE;       // ...or, when set, the key frame at this time stamp
        const std::atomic<int>* pLimit = nullptr;  // up to the first frame at or after it (may move)
        const std::atomic<bool>* pbStop = nullptr; // the user's stop request
        const CFrameReader::Progress* pProgress = nullptr;
        int nTimeStamp = 0; // added to frame indexes for the progress
        // Shared by the two lanes of a fill: set by the first that finishes its stretch, and then the other
        // stops too, once it has scanned at least one new frame, rather than leave a core idle. It goes
        // on from there at the next fill.
        std::atomic<bool>* pbDone = nullptr;
        // The lane ahead tells the front lane where to stop: its first frame, as soon as known, when that
        // is after nAfter; nFallback otherwise. Never beyond nCap.
        std::atomic<int>* pOtherLimit = nullptr;
        int nAfter = 0, nFallback = 0, nCap = INT_MAX;
    };

    void scan(const CScanPlan& plan, CScan& result);
};

// Frame states in the search's table; values from 0 up are differences with the frame before.
constexpr int STATE_UNKNOWN = -1;
constexpr int STATE_MISSING = -2; // no frame carries this number
constexpr int STATE_FIRST = -3;   // a frame whose predecessor was not compared yet

int frameDifference(const std::uint8_t* pA, const std::uint8_t* pB) {
    int nSum = 0;
    for (int i = 0; i < SHOT_BYTES; ++i)
        nSum += std::abs(int(pA[i]) - int(pB[i]));
    return nSum;
}

void CLane::scan(const CScanPlan& plan, CScan& result) {
    std::vector<std::uint8_t> buffer(2 * SHOT_BYTES);
    std::uint8_t* pPrevious = buffer.data();
    std::uint8_t* pCurrent = pPrevious + SHOT_BYTES;
    const auto publish = [&](int n) {
        if (plan.pOtherLimit)
            plan.pOtherLimit->store(
                std::min(n > plan.nAfter && n != INT_MAX ? n : plan.nFallback, plan.nCap));
    };

    bool bHave;
    if (plan.keyTs == AV_NOPTS_VALUE && nLastIndex >= 0 && nLastIndex == plan.nFrom) {
        std::memcpy(pPrevious, last.data(), SHOT_BYTES);
        result.nFirst = plan.nFrom;
    } else {
        if (plan.keyTs != AV_NOPTS_VALUE) {
            // Pictures before the key frame (an open group's leading frames) cannot be decoded alone.
            // Forward: index time stamps may be decoding times, a little before the key frame's own.
            bHave = seek(plan.keyTs, true) && decodeNext();
            while (bHave && !pFrame->key_frame)
                bHave = decodeNext();
        } else {
            bHave = moveTo(plan.nFrom);
        }
        if (!bHave || !shrink(pPrevious)) {
            result.bEnd = !bHave;
            result.bError = bHave;
            nLastIndex = -1;
            publish(INT_MAX);
            return;
        }
        result.nFirst = nCurrent;
    }
    publish(result.nFirst);
    result.state.push_back(STATE_FIRST);
    int nPrevious = result.nFirst;
    bool bFinished = true; // false when stopped by the user or by the other lane
    while (nPrevious < plan.pLimit->load(std::memory_order_relaxed)) {
        if (plan.pbStop && plan.pbStop->load(std::memory_order_relaxed)) {
            bFinished = false;
            break;
        }
        if (plan.pbDone && result.state.size() > 1 && plan.pbDone->load(std::memory_order_relaxed)) {
            bFinished = false;
            break;
        }
        if (!decodeNext()) {
            result.bEnd = true;
            break;
        }
        if (!shrink(pCurrent)) {
            result.bError = true;
            break;
        }
        result.state.insert(result.state.end(), size_t(nCurrent - nPrevious - 1), STATE_MISSING);
        result.state.push_back(frameDifference(pPrevious, pCurrent));
        std::swap(pPrevious, pCurrent);
        nPrevious = nCurrent;
        if (plan.pProgress && *plan.pProgress) (*plan.pProgress)(nCurrent + plan.nTimeStamp);
    }
    std::memcpy(last.data(), pPrevious, SHOT_BYTES);
    nLastIndex = nPrevious;
    if (plan.pbDone && bFinished && result.state.size() > 1) plan.pbDone->store(true);
}
} // namespace

struct CFrameReader::Impl {
    // Decoding is split between two lanes on files with key frames: one goes on from where the search
    // stands while the other starts at a key frame further on, so that both cores decode whatever the
    // decoder's own threading manages.
    static constexpr int CHUNK = 100; // frames a lane scans at least before the next one starts

    QByteArray path;
    CLane lanes[2];
    bool bTwoLanes = false;
    std::vector<std::pair<int, std::int64_t>> keyFrames; // (frame, time stamp), in order
    std::vector<int> states;                             // by frame, see STATE_...
    int nEnd = -1;                                       // the last frame, once known
    int nTimeStamp = 0;                                  // the media's start timecode, in frames
    int nFrameCount = 0;                                 // frames in the stream, estimated
    CScaler photoScaler;
    CFrameReader::Progress progress;

    void release() {
        lanes[0].release();
        lanes[1].release();
        keyFrames.clear();
        states.clear();
        nEnd = -1;
        bTwoLanes = false;
    }

    int state(int n) const { return n >= 0 && n < int(states.size()) ? states[size_t(n)] : STATE_UNKNOWN; }

    void merge(const CLane::CScan& scan) {
        if (scan.nFirst < 0) return;
        const size_t nNeeded = size_t(scan.nFirst) + scan.state.size();
        if (states.size() < nNeeded) states.resize(nNeeded, STATE_UNKNOWN);
        for (size_t i = 0; i < scan.state.size(); ++i) {
            int& s = states[size_t(scan.nFirst) + i];
            if (scan.state[i] != STATE_FIRST || s == STATE_UNKNOWN) s = scan.state[i];
        }
    }

    // The first frame after nFrom already in the table, INT_MAX when none.
    int firstKnownAfter(int nFrom) const {
        for (size_t n = size_t(nFrom) + 1; n < states.size(); ++n)
            if (states[n] != STATE_UNKNOWN) return int(n);
        return INT_MAX;
    }

    // Scans on from frame nFrom (whose picture starts the comparisons). False on a read error.
    //
    // With two lanes, the front lane goes on from nFrom while the lane ahead takes a stretch further on:
    // where it stands when that is still to be scanned (no seek), else from the first key frame at least
    // CHUNK frames on whose pictures are not scanned yet. The front lane stops where the lane ahead
    // started; the lane ahead runs until the front lane is done. Whichever finishes first stops the
    // other, so that neither core waits; the stretches left half done are taken up by the next fill,
    // by the lane that stands there.
    bool fill(int nFrom, const std::atomic<bool>* pbStop) {
        CLane* pFront = lanes[1].nLastIndex == nFrom && lanes[1].nLastIndex >= 0 ? &lanes[1] : &lanes[0];
        CLane* pAhead = pFront == &lanes[0] ? &lanes[1] : &lanes[0];
        const int nFrontKnown = firstKnownAfter(nFrom);

        CLane::CScanPlan frontPlan, aheadPlan;
        bool bAhead = false;
        if (bTwoLanes) {
            const int nStands = pAhead->nLastIndex;
            if (nStands > nFrom && state(nStands + 1) == STATE_UNKNOWN && (nEnd < 0 || nStands < nEnd)) {
                aheadPlan.nFrom = nStands;
                bAhead = true;
            } else {
                auto it = std::lower_bound(keyFrames.begin(), keyFrames.end(),
                                           std::make_pair(nFrom + CHUNK, INT64_MIN));
                // Past stretches already scanned, and gaps too short to be worth a seek.
                while (it != keyFrames.end() && (state(it->first + 1) != STATE_UNKNOWN ||
                                                 firstKnownAfter(it->first + 1) - it->first < CHUNK / 2))
                    ++it;
                if (it != keyFrames.end() && (nEnd < 0 || it->first < nEnd)) {
                    aheadPlan.nFrom = it->first;
                    aheadPlan.keyTs = it->second;
                    bAhead = true;
                }
            }
            bAhead = bAhead && (pAhead->pCodec || pAhead->open(path, laneThreads()));
        }

        std::atomic<int> frontLimit{bAhead ? nFrontKnown : std::min(nFrontKnown, nFrom + 4 * CHUNK)};
        std::atomic<bool> bDone{false};
        frontPlan.nFrom = nFrom;
        frontPlan.pLimit = &frontLimit;
        frontPlan.pbStop = pbStop;
        frontPlan.pProgress = &progress;
        frontPlan.nTimeStamp = nTimeStamp;
        CLane::CScan front, ahead;
        pFront->setLoopFilter(false);
        if (bAhead) {
            const std::atomic<int> aheadLimit{firstKnownAfter(aheadPlan.nFrom)};
            aheadPlan.pLimit = &aheadLimit;
            aheadPlan.pbStop = pbStop;
            aheadPlan.pProgress = &progress;
            aheadPlan.nTimeStamp = nTimeStamp;
            aheadPlan.pbDone = frontPlan.pbDone = &bDone;
            aheadPlan.pOtherLimit = &frontLimit;
            aheadPlan.nAfter = nFrom + 1;
            aheadPlan.nFallback = nFrom + 4 * CHUNK;
            aheadPlan.nCap = nFrontKnown;
            pAhead->setLoopFilter(false);
            std::thread worker([&] { pAhead->scan(aheadPlan, ahead); });
            pFront->scan(frontPlan, front);
            worker.join();
        } else {
            pFront->scan(frontPlan, front);
        }
        merge(front);
        merge(ahead);
        if (front.bEnd)
            nEnd = front.nFirst < 0 ? nFrom - 1 : front.nFirst + int(front.state.size()) - 1;
        else if (ahead.bEnd && ahead.nFirst >= 0)
            nEnd = ahead.nFirst + int(ahead.state.size()) - 1;
        return !front.bError;
    }

    static int laneThreads() {
        const unsigned nCores = std::thread::hardware_concurrency();
        return std::max(1, int(nCores / 2));
    }
};

CFrameReader::CFrameReader() : m_p(std::make_unique<Impl>()) {}
CFrameReader::~CFrameReader() = default;

void CFrameReader::quietLibraryMessages() {
    av_log_set_level(AV_LOG_QUIET);
}

bool CFrameReader::isOpen() const {
    return m_p->lanes[0].pCodec != nullptr;
}
void CFrameReader::close() {
    m_p->release();
}
std::int64_t CFrameReader::getDecodedFrames() const {
    return m_p->lanes[0].nDecoded + m_p->lanes[1].nDecoded;
}
int CFrameReader::getWidth() const {
    return isOpen() ? m_p->lanes[0].pCodec->width : 0;
}
int CFrameReader::getHeight() const {
    return isOpen() ? m_p->lanes[0].pCodec->height : 0;
}
void CFrameReader::setProgress(Progress progress) {
    m_p->progress = std::move(progress);
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
    d.path = QFile::encodeName(strPath);
    // Key frames from the container's index decide whether a second lane can help.
    if (!d.lanes[0].open(d.path, 0)) return false;
    CLane& lane = d.lanes[0];
    AVStream* pStream = lane.stream();
    const int nEntries = avformat_index_get_entries_count(pStream);
    for (int i = 0; i < nEntries; ++i) {
        const AVIndexEntry* pEntry = avformat_index_get_entry(pStream, i);
        if (pEntry && (pEntry->flags & AVINDEX_KEYFRAME))
            d.keyFrames.emplace_back(lane.indexOf(pEntry->timestamp), pEntry->timestamp);
    }
    std::sort(d.keyFrames.begin(), d.keyFrames.end());
    d.bTwoLanes = d.keyFrames.size() >= 2 && std::thread::hardware_concurrency() >= 2;
    if (d.bTwoLanes && !lane.open(d.path, Impl::laneThreads())) return close(), false;

    d.nTimeStamp = 0;
    pStream = lane.stream();
    // The start timecode as the player reads it: the last stream that has one (a timecode track), else
    // the container's.
    const AVDictionaryEntry* pTag = nullptr;
    for (unsigned i = 0; i < lane.pFormat->nb_streams; ++i)
        if (const AVDictionaryEntry* p =
                av_dict_get(lane.pFormat->streams[i]->metadata, "timecode", nullptr, 0))
            pTag = p;
    if (!pTag) pTag = av_dict_get(lane.pFormat->metadata, "timecode", nullptr, 0);
    if (pTag) {
        QString strText = QString::fromLatin1(pTag->value);
        strText.replace(QLatin1Char(';'), QLatin1Char(':')).replace(QLatin1Char('.'), QLatin1Char(':'));
        CTimeCode tc;
        if (tc.parse(strText)) d.nTimeStamp = tc.getFrames();
    }
    std::int64_t nFrames = pStream->nb_frames;
    if (nFrames <= 0 && pStream->duration != AV_NOPTS_VALUE)
        nFrames = av_rescale_q(pStream->duration, lane.timeBase, FRAME_RATE_BASE);
    if (nFrames <= 0 && lane.pFormat->duration != AV_NOPTS_VALUE)
        nFrames = av_rescale_q(lane.pFormat->duration, AVRational{1, AV_TIME_BASE}, FRAME_RATE_BASE);
    d.nFrameCount = int(std::clamp<std::int64_t>(nFrames, 0, CTimeCode::FRAMES_PER_DAY));
    return true;
}

bool CFrameReader::findNextShot(CTimeCode& position, int nThreshold, const std::atomic<bool>* pbStop) {
    if (!isOpen()) return false;
    Impl& d = *m_p;
    int nFrame = std::max(0, position.getFrames() - d.nTimeStamp);
    int nExamined = 0, nPrevious = -1, nPreviousSum = 0, nPreviousChange = 0;
    for (;;) {
        if (pbStop && pbStop->load(std::memory_order_relaxed)) return false;
        if (d.nEnd >= 0 && nFrame > d.nEnd) return false;
        const int nState = d.state(nFrame);
        if (nState == STATE_UNKNOWN || (nState == STATE_FIRST && nExamined > 0)) {
            // Not compared yet with the frame before: decode on from the last frame examined.
            const int nFrom = nExamined > 0 ? nPrevious : nFrame;
            if (!d.fill(nFrom, pbStop)) {
                m_log.Log("Error : DecompressImage\n");
                return false;
            }
            const int nAfter = d.state(nFrame);
            if (nAfter == STATE_UNKNOWN || (nAfter == STATE_FIRST && nExamined > 0)) {
                if (pbStop && pbStop->load(std::memory_order_relaxed)) return false;
                if (d.nEnd < 0 || nFrame <= d.nEnd) return false; // the file gives nothing more
            }
            continue;
        }
        if (nState == STATE_MISSING) {
            ++nFrame;
            continue;
        }
        if (nExamined > 0) {
            const int nSum = nState;
            const int nChange = nSum - nPreviousSum;
            position.setFrames(nFrame + d.nTimeStamp);
            if (nExamined > 1 && nPreviousChange > nThreshold && nChange < -nThreshold) {
                m_log.LogIf(CTraceLog::MASK_UPDATES, "%s %i\t%i => shot\n", position.getText(), nSum,
                            nChange);
                return true;
            }
            m_log.LogIf(CTraceLog::MASK_UPDATES, "%s %i\t%i\n", position.getText(), nSum, nChange);
            nPreviousSum = nSum;
            nPreviousChange = nChange;
        }
        ++nExamined;
        nPrevious = nFrame++;
    }
}

CFrameImage CFrameReader::grabFrame(const QRect& rcCrop, const QRect* prcOutput, const CTimeCode& tc) {
    CFrameImage image;
    if (!isOpen()) return image;
    Impl& d = *m_p;
    CLane& lane = d.lanes[0];
    lane.setLoopFilter(true);
    if (!lane.moveTo(std::max(0, tc.getFrames() - d.nTimeStamp))) {
        m_log.Log("Error : GetMediaSample\n");
        return image;
    }
    // The crop rectangle scaled to the output's size: the frame is cut to the rectangle (within the
    // picture) and that part scaled, rather than scaling the whole frame up and copying from it.
    AVFrame* pSource = lane.pFrame;
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
