#include "sync/ui/ControlTheme.h"

namespace {
// Indexed by CControlTheme::ERole.
constexpr QRgb METAL[CControlTheme::ROLE_COUNT] = {0x242C34, 0xE4F1FF, 0xE4F1FF, 0x606873,
                                                   0xABBAC7, 0x88B9F6, 0x606873};
constexpr QRgb PAPER[CControlTheme::ROLE_COUNT] = {0x2F1E0E, 0xFBF5E5, 0xFBF5E5, 0x8C7255,
                                                   0xDAC2A4, 0xF75210, 0x8C7255};
} // namespace

CControlTheme::CControlTheme(int nTheme) : m_bPaper(nTheme != 0) {}

QColor CControlTheme::color(ERole eRole) const {
    if (eRole < 0 || eRole >= ROLE_COUNT) eRole = BACKGROUND;
    return QColor::fromRgb((m_bPaper ? PAPER : METAL)[eRole]);
}
