// SPDX-License-Identifier: MIT
// Engineering prefix and unit texts for a decoded reading.
#pragma once

#include <cstdint>
#include <string_view>

#include "FixedText.h"

namespace dmm {

// Prefix exponent (-9, -6, -3, 0, 1, 3, 6, ...) from the function code and the exponent text.
int GetPrefixExp(int function, std::string_view exponentText);
// "n", "u", "m", "K", "M" or empty; returns the length.
int GetPrefixText(int function, int prefixExp, FixedText<8>& destination);
// "V", "A", "F", "C", "W" (ohm), "Hz", "VA" or empty; bit 31 is ignored. Returns the length.
int GetUnitText(std::uint32_t functionWord, FixedText<8>& destination);
// The digital meter's AC/DC word: "DC+AC" (7, 515), "DC" (6, 514), "AC" (5,
// 513), empty for every other function code (plain volts 4 included).
std::string_view acDcText(int function);

} // namespace dmm
