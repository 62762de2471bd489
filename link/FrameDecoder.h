// SPDX-License-Identifier: MIT
// Decoding of the meter's 15-byte display frames.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "MeterFrame.h"
#include "MeterFunction.h"

namespace dmm {

// The character that a seven-segment pattern shows; "?" for a pattern the meter never sends.
char SegmentToChar(std::uint8_t segments);

// Decodes up to 15 bytes in any rotation. Positions that are missing count as 0,
// a repeated position takes the later byte. No value when the identifier nibble is not 0xA.
std::optional<DecodedFrame> decodeFrame(std::span<const std::uint8_t> bytes);

// The read rules around one frame read: a read of 1 to 14 bytes decodes the last
// complete read again, an empty or failed read gives nothing. Keeps the last
// complete read for the whole run.
class FrameDecoder
{
public:
    std::optional<DecodedFrame> ReadMeterFrame(std::span<const std::uint8_t> bytesRead,
                                               bool readFailed = false);
    const Frame& lastCompleteRead() const { return m_lastRead; }

private:
    Frame m_lastRead{};
};

} // namespace dmm
