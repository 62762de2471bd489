// SPDX-License-Identifier: MIT
// Decoding a stream of reads the way the live program does, one JSON line per
// read: the frame decoder's read rules, then the current reading, the digital
// meter's value text and the value the recorder would log.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "CurrentReading.h"
#include "FrameDecoder.h"

namespace dmm::sim {

class DecodeSession
{
public:
    // One read of 1 to 15 bytes. {"ok":false} when no frame decodes, otherwise
    // ok, display, exponent, function, value, meter, decimals, prefix, unit, logged.
    std::string feed(std::span<const std::uint8_t> bytesRead);

    const CurrentReading& reading() const { return m_reading; }

private:
    FrameDecoder m_decoder;
    CurrentReading m_reading;
    std::string m_meterText; // the digital meter's value panel
};

// {"ok":false,"error":"..."} for a line that is no read at all.
std::string errorLine(const std::string& reason);

} // namespace dmm::sim
