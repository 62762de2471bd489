// SPDX-License-Identifier: MIT
// Turning a decoded frame into the current reading: value text, scale, value,
// prefix and unit.
#pragma once

#include <optional>
#include <string>

#include "CurrentReading.h"
#include "MeterFrame.h"

namespace dmm {

// What the digital meter's value panel shows after a reading. No value means
// the panel keeps its previous text.
using MeterText = std::optional<std::string>;

// Formats sDigits/sExponent/iFunction already in `reading` into iDecimals, dValue
// and szValue. Fields the function's rule leaves alone keep the previous reading.
MeterText formatValue(CurrentReading& reading);

// Takes a decoded frame into the reading: the decoder's outputs, the value text
// and the prefix and unit texts, in the order the acquisition loop does them.
MeterText applyFrame(CurrentReading& reading, const DecodedFrame& frame);

} // namespace dmm
