// SPDX-License-Identifier: MIT
// What the simulator does, one step at a time: write a frame, write some other
// bytes, keep the line quiet, or change the time between writes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "FrameDecoder.h"

namespace dmm::sim {

struct SimStep
{
    enum class Kind
    {
        Frame,  // 15 bytes in one write; counts towards --count
        Bytes,  // any other write: a partial frame, line noise
        Wait,   // quiet for `milliseconds`, on top of the period after the last write
        Period, // from here on, `milliseconds` of quiet follow every write
    };

    Kind kind = Kind::Frame;
    std::vector<std::uint8_t> bytes;
    int milliseconds = 0;

    bool isWrite() const { return kind == Kind::Frame || kind == Kind::Bytes; }
    bool operator==(const SimStep&) const = default;
};

using SimSteps = std::vector<SimStep>;

SimStep frameStep(const Frame& frame);
SimStep bytesStep(std::span<const std::uint8_t> bytes);
SimStep waitStep(int milliseconds);
SimStep periodStep(int milliseconds);

} // namespace dmm::sim
