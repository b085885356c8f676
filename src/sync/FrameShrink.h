#pragma once

#include <cstdint>
#include <vector>

struct AVFrame;

// Reduces a decoded picture to a small square of 24-bit RGB (rows of 3 x side bytes, top row first), each
// pixel the average of the area of the picture it covers (pixels an area's edge cuts through count for
// the part inside it): what the cut search compares.
//
// Works straight on 8-bit planar YUV (every chroma subsampling, limited or full range, BT.601 or BT.709
// colours): the planes are averaged over each area and only the averages are converted to RGB, which
// costs a fraction of a general scaler's pass over the whole picture. Other pixel formats are refused
// (false) and left to a general scaler.
//
// The buffers are kept from one picture to the next: after the first picture of a size, shrinking
// allocates nothing.
class CFrameShrinker {
public:
    explicit CFrameShrinker(int nSide);

    static bool canShrink(const AVFrame* pFrame);
    // Full-range levels (0-255): MJPEG's "J" formats, or a frame that says so.
    static bool isFullRange(const AVFrame* pFrame);
    bool shrink(const AVFrame* pFrame, std::uint8_t* pRgb);

private:
    // The pixels one area covers along an axis: whole ones, and the two its edges cut through.
    struct CSpan {
        int nFirstWhole = 0, nEndWhole = 0;  // [first, end)
        int nFirstPart = -1, nLastPart = -1; // -1 when the edge falls between two pixels
        float fFirstPart = 0, fLastPart = 0; // the parts of those pixels inside the area
        float fSize = 1;                     // the area's length in pixels
    };

    // Averages of one plane over the side x side areas into m_means[nPlane].
    void averagePlane(const std::uint8_t* pData, int nLineSize, int nWidth, int nHeight, int nPlane);
    void setSpans(std::vector<CSpan>& spans, int n) const;
    template <typename Value> static double weightedSum(const Value* pValues, const CSpan& span);

    int m_nSide;
    std::vector<std::uint32_t> m_columns; // a band's whole rows summed column by column
    std::vector<double> m_sums;           // a band's area sums
    std::vector<float> m_means[3];        // per plane, side x side area averages
    std::vector<CSpan> m_rows, m_cols;
};
