#include "sync/FrameShrink.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

CFrameShrinker::CFrameShrinker(int nSide) : m_nSide(std::max(1, nSide)) {
    for (auto& means : m_means)
        means.resize(size_t(m_nSide) * size_t(m_nSide));
    m_rows.resize(size_t(m_nSide));
    m_cols.resize(size_t(m_nSide));
    m_sums.resize(size_t(m_nSide));
}

bool CFrameShrinker::canShrink(const AVFrame* pFrame) {
    if (!pFrame || pFrame->width <= 0 || pFrame->height <= 0) return false;
    const AVPixFmtDescriptor* pDesc = av_pix_fmt_desc_get(AVPixelFormat(pFrame->format));
    if (!pDesc || pDesc->nb_components != 3) return false;
    constexpr unsigned NOT_YUV = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL |
                                 AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_FLOAT |
                                 AV_PIX_FMT_FLAG_ALPHA;
    if ((pDesc->flags & NOT_YUV) || !(pDesc->flags & AV_PIX_FMT_FLAG_PLANAR)) return false;
    for (int i = 0; i < 3; ++i) {
        const AVComponentDescriptor& comp = pDesc->comp[i];
        if (comp.plane != i || comp.depth != 8 || comp.step != 1 || comp.shift != 0 || comp.offset != 0)
            return false;
        if (!pFrame->data[i] || pFrame->linesize[i] <= 0) return false;
    }
    return true;
}

bool CFrameShrinker::isFullRange(const AVFrame* pFrame) {
    switch (AVPixelFormat(pFrame->format)) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return pFrame->color_range == AVCOL_RANGE_JPEG;
    }
}

namespace {
// Adds a row of pixels to the column sums of a band. Kept simple so that the compiler vectorises it.
template <typename Sum>
void addRow(Sum* __restrict pColumns, const std::uint8_t* __restrict pRow, int nWidth) {
    for (int x = 0; x < nWidth; ++x)
        pColumns[x] = Sum(pColumns[x] + pRow[x]);
}

template <typename Sum>
void sumRows(Sum* pColumns, const std::uint8_t* pData, int nLineSize, int nWidth, int y0, int y1) {
    std::fill(pColumns, pColumns + nWidth, Sum(0));
    for (int y = y0; y < y1; ++y)
        addRow(pColumns, pData + std::ptrdiff_t(y) * nLineSize, nWidth);
}
} // namespace

void CFrameShrinker::setSpans(std::vector<CSpan>& spans, int n) const {
    // Area i covers [i n / side, (i + 1) n / side): in units of 1 / side pixel, [i n, (i + 1) n).
    const std::int64_t side = m_nSide;
    for (int i = 0; i < m_nSide; ++i) {
        const std::int64_t a = i * std::int64_t(n), b = a + n;
        CSpan& span = spans[size_t(i)];
        span.nFirstWhole = int((a + side - 1) / side);
        span.nEndWhole = int(b / side);
        span.nFirstPart = a % side ? int(a / side) : -1;
        span.fFirstPart =
            span.nFirstPart < 0 ? 0.f : float(std::min(b, (a / side + 1) * side) - a) / float(side);
        // The last pixel, cut by the area's end, unless it is the first one again.
        span.nLastPart = b % side && b / side != span.nFirstPart ? int(b / side) : -1;
        span.fLastPart = span.nLastPart < 0 ? 0.f : float(b % side) / float(side);
        span.fSize = float(n) / float(side);
    }
}

template <typename Value> double CFrameShrinker::weightedSum(const Value* pValues, const CSpan& span) {
    std::uint32_t nWhole = 0;
    for (int x = span.nFirstWhole; x < span.nEndWhole; ++x)
        nWhole += pValues[x];
    double sum = nWhole;
    if (span.nFirstPart >= 0) sum += double(span.fFirstPart) * pValues[span.nFirstPart];
    if (span.nLastPart >= 0) sum += double(span.fLastPart) * pValues[span.nLastPart];
    return sum;
}

void CFrameShrinker::averagePlane(const std::uint8_t* pData, int nLineSize, int nWidth, int nHeight,
                                  int nPlane) {
    setSpans(m_rows, nHeight);
    setSpans(m_cols, nWidth);
    m_columns.resize(size_t(nWidth));
    std::vector<double>& sums = m_sums;
    for (int r = 0; r < m_nSide; ++r) {
        const CSpan& rows = m_rows[size_t(r)];
        std::fill(sums.begin(), sums.end(), 0.0);
        // The rows wholly inside the band, summed column by column: the bulk of the work. Bands of up to
        // 257 rows fit 16-bit sums (257 x 255 < 65536): every picture up to 15,420 rows high.
        const int nWholeRows = rows.nEndWhole - rows.nFirstWhole;
        if (nWholeRows > 0) {
            if (nWholeRows <= 257) {
                auto* pShort = reinterpret_cast<std::uint16_t*>(m_columns.data());
                sumRows(pShort, pData, nLineSize, nWidth, rows.nFirstWhole, rows.nEndWhole);
                for (int c = 0; c < m_nSide; ++c)
                    sums[size_t(c)] = weightedSum(pShort, m_cols[size_t(c)]);
            } else {
                sumRows(m_columns.data(), pData, nLineSize, nWidth, rows.nFirstWhole, rows.nEndWhole);
                for (int c = 0; c < m_nSide; ++c)
                    sums[size_t(c)] = weightedSum(m_columns.data(), m_cols[size_t(c)]);
            }
        }
        // The rows the band's edges cut through count for the part inside it.
        for (const auto& [nRow, fWeight] :
             {std::pair{rows.nFirstPart, rows.fFirstPart}, std::pair{rows.nLastPart, rows.fLastPart}}) {
            if (nRow < 0) continue;
            const std::uint8_t* pRow = pData + std::ptrdiff_t(nRow) * nLineSize;
            for (int c = 0; c < m_nSide; ++c)
                sums[size_t(c)] += double(fWeight) * weightedSum(pRow, m_cols[size_t(c)]);
        }
        float* pMeans = m_means[nPlane].data() + r * m_nSide;
        for (int c = 0; c < m_nSide; ++c)
            pMeans[c] = float(sums[size_t(c)] / (double(m_cols[size_t(c)].fSize) * double(rows.fSize)));
    }
}

bool CFrameShrinker::shrink(const AVFrame* pFrame, std::uint8_t* pRgb) {
    if (!canShrink(pFrame)) return false;
    const AVPixFmtDescriptor* pDesc = av_pix_fmt_desc_get(AVPixelFormat(pFrame->format));
    const int nWidth = pFrame->width, nHeight = pFrame->height;
    const int nChromaWidth = -((-nWidth) >> pDesc->log2_chroma_w);
    const int nChromaHeight = -((-nHeight) >> pDesc->log2_chroma_h);
    averagePlane(pFrame->data[0], pFrame->linesize[0], nWidth, nHeight, 0);
    averagePlane(pFrame->data[1], pFrame->linesize[1], nChromaWidth, nChromaHeight, 1);
    averagePlane(pFrame->data[2], pFrame->linesize[2], nChromaWidth, nChromaHeight, 2);

    const bool bFull = isFullRange(pFrame);
    // BT.709 when the frame says so, BT.601 otherwise (as a general scaler assumes).
    const bool b709 = pFrame->colorspace == AVCOL_SPC_BT709;
    const float kr = b709 ? 0.2126f : 0.299f, kb = b709 ? 0.0722f : 0.114f, kg = 1.f - kr - kb;
    const float fLuma = bFull ? 1.f : 255.f / 219.f, fChroma = bFull ? 1.f : 255.f / 224.f;
    const float fLumaOffset = bFull ? 0.f : 16.f;
    const float rv = 2.f * (1.f - kr) * fChroma, bu = 2.f * (1.f - kb) * fChroma;
    const float gu = 2.f * kb * (1.f - kb) / kg * fChroma, gv = 2.f * kr * (1.f - kr) / kg * fChroma;
    const auto toByte = [](float f) { return std::uint8_t(std::clamp(std::lround(f), 0L, 255L)); };
    const size_t nCount = size_t(m_nSide) * size_t(m_nSide);
    for (size_t i = 0; i < nCount; ++i) {
        const float y = (m_means[0][i] - fLumaOffset) * fLuma;
        const float u = m_means[1][i] - 128.f, v = m_means[2][i] - 128.f;
        pRgb[3 * i] = toByte(y + rv * v);
        pRgb[3 * i + 1] = toByte(y - gu * u - gv * v);
        pRgb[3 * i + 2] = toByte(y + bu * u);
    }
    return true;
}
