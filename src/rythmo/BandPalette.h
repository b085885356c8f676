#pragma once

#include <cstdint>

// The band's colours (0xAARRGGBB). "Theme" non-zero selects the warm palette, 0 the grey one; the
// other colours are shared.
struct CBandPalette {
    std::uint32_t trackBase, trackTop;       // track background, from its base to its top
    std::uint32_t activeBase, activeTop;     // the active track
    std::uint32_t grid;                      // grid lines and ticks
    std::uint32_t selectedTop, selectedBase; // the band behind the phrase being edited

    static const CBandPalette& forTheme(int nTheme) {
        static constexpr CBandPalette s_warm{0xFFC8B08D, 0xFFDAC2A4, 0xFFE5DBC7, 0xFFFEEDDC,
                                             0xFF786249, 0xFF362415, 0xFF5B4227};
        static constexpr CBandPalette s_grey{0xFF96989B, 0xFFA5A7AA, 0xFFD3D3D3, 0xFFF8F8F8,
                                             0xFF64666E, 0xFF252E36, 0xFF3E4C5A};
        return nTheme != 0 ? s_warm : s_grey;
    }

    // Whether black reads better than white on a colour (0xRRGGBB): its perceived brightness.
    static constexpr bool isPale(std::uint32_t rgb) {
        const std::uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        return 299 * r + 587 * g + 114 * b > 150000;
    }

    static constexpr std::uint32_t CLEAR = 0xFFA5A5A5;
    static constexpr std::uint32_t LOOP_EDGE = 0xFF003F7F, LOOP_CENTRE = 0xFF005FBF;
    static constexpr std::uint32_t SHOT_LOOP_EDGE = 0xFF000000, SHOT_LOOP_CENTRE = 0xFF3F3F3F;
    static constexpr std::uint32_t SHOT_EDGE = 0xFF606060, SHOT_CENTRE = 0xFF7F7F7F;
    static constexpr std::uint32_t BAR_EDGE = 0xFF7F0000, BAR_CENTRE = 0xFFC40000;
    static constexpr std::uint32_t TEXT = 0xFF000000, TEXT_EDITED = 0xFFFBF5E5;
    static constexpr std::uint32_t DETECTION_NO_ROLE = 0xFF808080;
    static constexpr std::uint32_t SELECTION_BASE = 0xFF1A42F2, SELECTION_TOP = 0xFF516FF5;
    static constexpr std::uint32_t CARET_BASE = 0xFFA6896A, CARET_TOP = 0xFFBDAD93;
    static constexpr std::uint32_t BOOKMARK_EDGE = 0xFFCC5500, BOOKMARK_SHADE = 0xFFCD5700,
                                   BOOKMARK_CENTRE = 0xFFF28500;
};
