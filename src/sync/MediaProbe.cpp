#include "sync/MediaProbe.h"

#include <QFile>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace {
struct CFormatContext {
    AVFormatContext* p = nullptr;
    ~CFormatContext() {
        if (p) avformat_close_input(&p);
    }
};

QByteArray timeCodeTag(AVDictionary* pDict) {
    const AVDictionaryEntry* pEntry = av_dict_get(pDict, "timecode", nullptr, 0);
    return pEntry && pEntry->value ? QByteArray(pEntry->value) : QByteArray();
}
} // namespace

bool CMediaProbe::open(const QString& strPath) {
    *this = CMediaProbe();
    if (strPath.isEmpty()) return false;
    av_log_set_level(AV_LOG_QUIET); // a reader of untrusted files reports by its result, not on stderr
    CFormatContext ctx;
    const QByteArray path = QFile::encodeName(strPath);
    if (avformat_open_input(&ctx.p, path.constData(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(ctx.p, nullptr) < 0) return false;
    m_bOpened = true;

    const AVStream* pVideo = nullptr;
    for (unsigned i = 0; i < ctx.p->nb_streams; ++i) {
        const AVStream* pStream = ctx.p->streams[i];
        const AVCodecParameters* pPar = pStream->codecpar;
        const QByteArray tc = timeCodeTag(pStream->metadata);
        if (!tc.isEmpty()) m_timeCode = tc;
        switch (pPar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (pStream->disposition & AV_DISPOSITION_ATTACHED_PIC) {
                m_trackTypes.append("data");
                break;
            }
            m_trackTypes.append("vide");
            m_bHasVideo = true;
            pVideo = pStream;
            break;
        case AVMEDIA_TYPE_AUDIO:
            m_trackTypes.append("soun");
            if (!m_bHasAudio) {
                m_nAudioChannels = pPar->ch_layout.nb_channels;
                if (pPar->ch_layout.order == AV_CHANNEL_ORDER_NATIVE) m_nChannelMask = pPar->ch_layout.u.mask;
            }
            m_bHasAudio = true;
            break;
        case AVMEDIA_TYPE_DATA:
            m_trackTypes.append(tc.isEmpty() ? "data" : "tmcd");
            break;
        default:
            m_trackTypes.append("data");
            break;
        }
    }
    if (m_timeCode.isEmpty()) m_timeCode = timeCodeTag(ctx.p->metadata);

    if (ctx.p->duration != AV_NOPTS_VALUE) m_dDuration = double(ctx.p->duration) / AV_TIME_BASE;
    if (pVideo) {
        AVRational rate = pVideo->avg_frame_rate;
        if (rate.num <= 0 || rate.den <= 0) rate = pVideo->r_frame_rate;
        if (rate.num > 0 && rate.den > 0) {
            m_nFrameRateNum = rate.num;
            m_nFrameRateDen = rate.den;
        }
        if (pVideo->duration != AV_NOPTS_VALUE && pVideo->duration > 0)
            m_dDuration = double(pVideo->duration) * av_q2d(pVideo->time_base);
    }
    return true;
}
