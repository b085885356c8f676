#pragma once

#include "vare/TimeCode.h"

// The clock's and the player's units. Media time counts 1/600 s, so that a frame of every usual rate
// is a whole number of units; rates count 1/24 of normal speed.
namespace MediaUnits {
constexpr int PER_SECOND = CTimeCode::MEDIA_TIME_SCALE;
constexpr double PER_SECOND_F = PER_SECOND;
// One frame of a 25 fps programme, the rate a movie is taken to have until it says otherwise.
constexpr int FRAME_25 = PER_SECOND / 25;
} // namespace MediaUnits

namespace Rate {
constexpr int STOPPED = 0;
constexpr int NORMAL = 24;
constexpr float NORMAL_F = NORMAL;
constexpr int FAST = 3 * NORMAL;
} // namespace Rate
