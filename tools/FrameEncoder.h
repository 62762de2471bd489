// SPDX-License-Identifier: MIT
// Building the meter's 15-byte frames from what its display shows: the exact
// inverse of dmm::decodeFrame.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FrameDecoder.h"
#include "MeterFunction.h"

namespace dmm::sim {

// The values are the decoder's decimal-point code.
enum class DecimalPoint : std::uint8_t
{
    None = 0,
    BeforeFourth = 1,
    BeforeThird = 2,
    BeforeSecond = 4,
};

// The values are the decoder's multiplier code.
enum class Multiplier : std::uint8_t
{
    None = 0,
    Nano = 1,
    Milli = 2,
    Micro = 4,
    Kilo = 8,
    Mega = 16,
};

struct MeterDisplay
{
    std::array<char, 4> characters{' ', ' ', ' ', ' '};
    DecimalPoint point = DecimalPoint::None;
    bool minus = false;
    Multiplier multiplier = Multiplier::None;
    std::uint32_t flags = 0; // bits of functionBit::Annunciators; others have no place in a frame
};

// Characters of the meter's segment table: the digits, blank and
// "L C u - r F c t E n o b H A d".
bool isDisplayable(char c);
// The segment byte for a character; a character outside the table gets a
// pattern the decoder shows as "?".
std::uint8_t segmentsFor(char c);

// The 15 bytes in position order, position 0 first.
Frame encodeFrame(const MeterDisplay& display);
// The frame as a read that starts at position `start` sees it.
Frame rotated(const Frame& frame, int start);

// A display written the way the meter shows it: an optional leading "-", four
// characters with at most one "." between them, "_" for a blank character
// ("12.34", "-1.234", "_0.L_", "25.3C"). No value for anything else.
std::optional<MeterDisplay> parseDisplayText(std::string_view text);

// A display for a reading in a function: `function` is the function code word
// (its flag bits become the annunciators, bit 31 the low-battery sign) and `text`
// as for parseDisplayText. For the temperature codes 32 and 64 a text of three
// characters gets the unit letter "C" or "F" as its fourth. Examples:
// displayFor(6, "12.34", Milli) is DC 12.34 mV, displayFor(128, "1.234", Kilo)
// 1.234 kilohm, displayFor(32, "25.3") 25.3 degrees C.
std::optional<MeterDisplay> displayFor(std::uint32_t function, std::string_view text,
                                       Multiplier multiplier = Multiplier::None);

// The overload display "0L" with the given point: the decoder reads it as "OL",
// "OL.", "O.L" or ".OL" (each with "-" in front when negative). For the
// temperature codes 32 and 64 the fourth character is the unit letter.
MeterDisplay overloadDisplay(std::uint32_t function, DecimalPoint point, bool negative = false,
                             Multiplier multiplier = Multiplier::None);

// A display with every character blank (so a temperature code cannot show: its
// bits come from the fourth character).
MeterDisplay blankDisplay(std::uint32_t function = 0, bool minus = false);

} // namespace dmm::sim
