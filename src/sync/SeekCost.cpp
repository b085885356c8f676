#include "sync/SeekCost.h"

#include <QFile>
#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {
struct CInput {
    AVFormatContext* p = nullptr;
    AVPacket* pPacket = av_packet_alloc();
    ~CInput() {
        av_packet_free(&pPacket);
        if (p) avformat_close_input(&p);
    }
};

// Longest run between key frames in a list of key flags in decoding order, the last run included.
class CRuns {
public:
    void add(bool bKey) {
        if (bKey) {
            if (m_nLastKey >= 0) m_nLongest = std::max(m_nLongest, m_nCount - m_nLastKey);
            m_nLastKey = m_nCount;
        }
        ++m_nCount;
    }
    int longest() const {
        if (m_nLastKey < 0) return m_nCount; // no key frame seen: at least this long
        return std::max(m_nLongest, m_nCount - m_nLastKey);
    }

private:
    int m_nCount = 0, m_nLastKey = -1, m_nLongest = 1;
};
} // namespace

bool CSeekCost::read(const QString& strPath) {
    *this = CSeekCost();
    av_log_set_level(AV_LOG_QUIET);
    CInput in;
    const QByteArray path = QFile::encodeName(strPath);
    if (!in.pPacket || avformat_open_input(&in.p, path.constData(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(in.p, nullptr) < 0) return false;
    const int nStream = av_find_best_stream(in.p, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (nStream < 0) return false;
    AVStream* pStream = in.p->streams[nStream];
    if (pStream->codecpar->width <= 0 || pStream->codecpar->height <= 0) return false;
    m_nWidth = pStream->codecpar->width;
    m_nHeight = pStream->codecpar->height;

    const AVCodecDescriptor* pDesc = avcodec_descriptor_get(pStream->codecpar->codec_id);
    if (pDesc && (pDesc->props & AV_CODEC_PROP_INTRA_ONLY)) {
        m_nKeyInterval = 1;
        return true;
    }

    // A QuickTime or MP4 index names every frame with its key flag.
    const int nEntries = avformat_index_get_entries_count(pStream);
    if (pStream->nb_frames > 1 && nEntries >= pStream->nb_frames) {
        CRuns runs;
        for (int i = 0; i < nEntries; ++i)
            if (const AVIndexEntry* e = avformat_index_get_entry(pStream, i))
                runs.add(e->flags & AVINDEX_KEYFRAME);
        m_nKeyInterval = runs.longest();
        return true;
    }

    for (unsigned i = 0; i < in.p->nb_streams; ++i)
        if (int(i) != nStream) in.p->streams[i]->discard = AVDISCARD_ALL;
    CRuns runs;
    for (int n = 0; n < MAX_SCANNED_PACKETS && av_read_frame(in.p, in.pPacket) >= 0;) {
        if (in.pPacket->stream_index == nStream) {
            runs.add(in.pPacket->flags & AV_PKT_FLAG_KEY);
            ++n;
        }
        av_packet_unref(in.pPacket);
    }
    m_nKeyInterval = std::max(1, runs.longest());
    return true;
}

bool CSeekCost::isSlow() const {
    const long long nPixels = (long long)m_nWidth * m_nHeight;
    return nPixels > MAX_FRAME_PIXELS || nPixels * m_nKeyInterval > MAX_SEEK_PIXELS;
}
