#include "sync/FrameShrink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace {
constexpr int SIDE = 60;

struct CFrameDeleter {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
using FramePtr = std::unique_ptr<AVFrame, CFrameDeleter>;

FramePtr makeFrame(AVPixelFormat format, int nWidth, int nHeight) {
    FramePtr pFrame(av_frame_alloc());
    pFrame->format = format;
    pFrame->width = nWidth;
    pFrame->height = nHeight;
    if (av_frame_get_buffer(pFrame.get(), 0) < 0) return nullptr;
    return pFrame;
}

// A plane's size: chroma planes are the picture's size divided by the subsampling, rounded up.
std::pair<int, int> planeSize(const AVFrame* pFrame, int nPlane) {
    const AVPixFmtDescriptor* pDesc = av_pix_fmt_desc_get(AVPixelFormat(pFrame->format));
    if (nPlane == 0) return {pFrame->width, pFrame->height};
    return {-((-pFrame->width) >> pDesc->log2_chroma_w), -((-pFrame->height) >> pDesc->log2_chroma_h)};
}

// A picture with what makes areas differ: smooth ramps, thin stripes, a hard-edged block and grain.
void paint(AVFrame* pFrame) {
    std::uint32_t seed = 12345;
    for (int plane = 0; plane < 3; ++plane) {
        const auto [w, h] = planeSize(pFrame, plane);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* pRow = pFrame->data[plane] + y * pFrame->linesize[plane];
            for (int x = 0; x < w; ++x) {
                seed = seed * 1664525u + 1013904223u;
                int v = plane == 0 ? 40 + 180 * x / w : 90 + 80 * y / h;
                if ((x / 3) % 2 == 0 && y < h / 2) v += 30 * (plane == 0 ? 1 : -1);
                if (x > w / 3 && x < w / 2 && y > h / 3 && y < 2 * h / 3)
                    v = plane == 0 ? 220 : 60 + 100 * plane;
                v += int(seed >> 28) - 8;
                pRow[x] = std::uint8_t(std::clamp(v, 0, 255));
            }
        }
    }
}

// The exact area average, in floating point: pixels the edge of an area cuts through count for the part
// inside it. Then the same colour equations, written out.
std::vector<std::uint8_t> exactAverage(const AVFrame* pFrame, bool bFull, bool b709) {
    std::vector<double> means[3];
    for (int plane = 0; plane < 3; ++plane) {
        const auto [w, h] = planeSize(pFrame, plane);
        means[plane].resize(SIDE * SIDE);
        for (int r = 0; r < SIDE; ++r)
            for (int c = 0; c < SIDE; ++c) {
                const double x0 = double(c) * w / SIDE, x1 = double(c + 1) * w / SIDE;
                const double y0 = double(r) * h / SIDE, y1 = double(r + 1) * h / SIDE;
                double sum = 0, weight = 0;
                for (int y = int(y0); y < int(std::ceil(y1)); ++y)
                    for (int x = int(x0); x < int(std::ceil(x1)); ++x) {
                        const double wx = std::min(x1, x + 1.0) - std::max(x0, double(x));
                        const double wy = std::min(y1, y + 1.0) - std::max(y0, double(y));
                        sum += wx * wy * pFrame->data[plane][y * pFrame->linesize[plane] + x];
                        weight += wx * wy;
                    }
                means[plane][size_t(r * SIDE + c)] = sum / weight;
            }
    }
    const double kr = b709 ? 0.2126 : 0.299, kb = b709 ? 0.0722 : 0.114, kg = 1 - kr - kb;
    std::vector<std::uint8_t> rgb(SIDE * SIDE * 3);
    const auto byte = [](double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
    for (size_t i = 0; i < SIDE * SIDE; ++i) {
        const double y = bFull ? means[0][i] : (means[0][i] - 16) * 255 / 219;
        const double u = (means[1][i] - 128) * (bFull ? 1 : 255.0 / 224);
        const double v = (means[2][i] - 128) * (bFull ? 1 : 255.0 / 224);
        rgb[3 * i] = byte(y + 2 * (1 - kr) * v);
        rgb[3 * i + 1] = byte(y - 2 * kb * (1 - kb) / kg * u - 2 * kr * (1 - kr) / kg * v);
        rgb[3 * i + 2] = byte(y + 2 * (1 - kb) * u);
    }
    return rgb;
}

struct CComparison {
    int nMax = 0;
    double dMean = 0;
};

CComparison compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    CComparison result;
    for (size_t i = 0; i < a.size(); ++i) {
        const int d = std::abs(int(a[i]) - int(b[i]));
        result.nMax = std::max(result.nMax, d);
        result.dMean += d;
    }
    result.dMean /= double(a.size());
    return result;
}
} // namespace

TEST(FrameShrinkTest, AveragesEachAreaOfPlanarYuv) {
    struct CCase {
        AVPixelFormat format;
        int nWidth, nHeight;
        AVColorRange range;
        AVColorSpace space;
    };
    const CCase cases[] = {
        {AV_PIX_FMT_YUV420P, 1920, 1080, AVCOL_RANGE_MPEG, AVCOL_SPC_UNSPECIFIED},
        {AV_PIX_FMT_YUV420P, 1440, 1080, AVCOL_RANGE_MPEG, AVCOL_SPC_BT709},
        {AV_PIX_FMT_YUV420P, 1920, 1080, AVCOL_RANGE_MPEG, AVCOL_SPC_BT709},
        {AV_PIX_FMT_YUVJ420P, 320, 240, AVCOL_RANGE_UNSPECIFIED, AVCOL_SPC_UNSPECIFIED},
        {AV_PIX_FMT_YUV422P, 720, 576, AVCOL_RANGE_JPEG, AVCOL_SPC_SMPTE170M},
        {AV_PIX_FMT_YUV444P, 1280, 720, AVCOL_RANGE_MPEG, AVCOL_SPC_BT709},
        // Areas that end inside pixels; odd sizes, chroma planes rounded up.
        {AV_PIX_FMT_YUV420P, 333, 177, AVCOL_RANGE_MPEG, AVCOL_SPC_UNSPECIFIED},
        {AV_PIX_FMT_YUV411P, 721, 480, AVCOL_RANGE_MPEG, AVCOL_SPC_UNSPECIFIED},
    };
    CFrameShrinker shrinker(SIDE);
    for (const CCase& c : cases) {
        const std::string strCase = std::string(av_get_pix_fmt_name(c.format)) + " " +
                                    std::to_string(c.nWidth) + "x" + std::to_string(c.nHeight);
        FramePtr pFrame = makeFrame(c.format, c.nWidth, c.nHeight);
        ASSERT_TRUE(pFrame) << strCase;
        pFrame->color_range = c.range;
        pFrame->colorspace = c.space;
        paint(pFrame.get());
        std::vector<std::uint8_t> rgb(SIDE * SIDE * 3);
        ASSERT_TRUE(shrinker.shrink(pFrame.get(), rgb.data())) << strCase;

        const bool bFull = c.range == AVCOL_RANGE_JPEG || c.format == AV_PIX_FMT_YUVJ420P;
        const std::vector<std::uint8_t> reference =
            exactAverage(pFrame.get(), bFull, c.space == AVCOL_SPC_BT709);
        ASSERT_EQ(reference.size(), rgb.size());
        const CComparison diff = compare(rgb, reference);
        // Rounding apart, the same averages.
        EXPECT_LE(diff.nMax, 1) << strCase;
        EXPECT_LT(diff.dMean, 0.05) << strCase;
    }
}

TEST(FrameShrinkTest, ConvertsKnownColoursExactly) {
    struct CCase {
        AVPixelFormat format;
        AVColorSpace space;
        int y, u, v;
        int r, g, b;
    };
    const CCase cases[] = {
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, 235, 128, 128, 255, 255, 255},  // limited white
        {AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED, 16, 128, 128, 0, 0, 0},         // limited black
        {AV_PIX_FMT_YUVJ420P, AVCOL_SPC_UNSPECIFIED, 128, 128, 128, 128, 128, 128}, // full-range grey
        {AV_PIX_FMT_YUV444P, AVCOL_SPC_UNSPECIFIED, 81, 90, 240, 255, 0, 0},        // BT.601 red
        {AV_PIX_FMT_YUV444P, AVCOL_SPC_BT709, 63, 102, 240, 255, 0, 0},             // BT.709 red
        {AV_PIX_FMT_YUV444P, AVCOL_SPC_BT709, 173, 42, 26, 0, 255, 0},              // BT.709 green
    };
    CFrameShrinker shrinker(SIDE);
    for (const CCase& c : cases) {
        // A picture smaller than the square is spread over it.
        FramePtr pFrame = makeFrame(c.format, 24, 18);
        ASSERT_TRUE(pFrame);
        pFrame->colorspace = c.space;
        const int values[3] = {c.y, c.u, c.v};
        for (int plane = 0; plane < 3; ++plane)
            for (int y = 0; y < 18; ++y)
                std::fill_n(pFrame->data[plane] + y * pFrame->linesize[plane], 24,
                            std::uint8_t(values[plane]));
        std::vector<std::uint8_t> rgb(SIDE * SIDE * 3, 7);
        ASSERT_TRUE(shrinker.shrink(pFrame.get(), rgb.data()));
        for (int i = 0; i < SIDE * SIDE; ++i) {
            ASSERT_NEAR(rgb[3 * i], c.r, 2) << c.y << "," << c.u << "," << c.v << " pixel " << i;
            ASSERT_NEAR(rgb[3 * i + 1], c.g, 2) << c.y << "," << c.u << "," << c.v << " pixel " << i;
            ASSERT_NEAR(rgb[3 * i + 2], c.b, 2) << c.y << "," << c.u << "," << c.v << " pixel " << i;
        }
    }
}

TEST(FrameShrinkTest, LeavesOtherPixelFormatsToTheScaler) {
    CFrameShrinker shrinker(SIDE);
    std::vector<std::uint8_t> rgb(SIDE * SIDE * 3);
    for (const AVPixelFormat format :
         {AV_PIX_FMT_NV12, AV_PIX_FMT_RGB24, AV_PIX_FMT_YUV420P10LE, AV_PIX_FMT_YUVA420P, AV_PIX_FMT_GRAY8}) {
        FramePtr pFrame = makeFrame(format, 64, 48);
        ASSERT_TRUE(pFrame) << av_get_pix_fmt_name(format);
        EXPECT_FALSE(shrinker.shrink(pFrame.get(), rgb.data())) << av_get_pix_fmt_name(format);
    }
    EXPECT_FALSE(shrinker.shrink(nullptr, rgb.data()));
}
