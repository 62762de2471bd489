// SPDX-License-Identifier: MIT
// The meter's 15-byte display frame and what it decodes to.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dmm {

inline constexpr int kFrameSize = 15;
using Frame = std::array<std::uint8_t, kFrameSize>;

struct DecodedFrame
{
    std::string display;        // sDigits: "1.234", "-OL", "    ", ...
    std::string exponent;       // sExponent: signed decimal integer text
    std::uint32_t function = 0; // dwRawFunction, bit 31 = low battery

    bool operator==(const DecodedFrame&) const = default;
};

} // namespace dmm
