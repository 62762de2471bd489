// SPDX-License-Identifier: MIT
#include "SimSteps.h"

namespace dmm::sim {

SimStep frameStep(const Frame& frame)
{
    return {SimStep::Kind::Frame, {frame.begin(), frame.end()}, 0};
}

SimStep bytesStep(std::span<const std::uint8_t> bytes)
{
    return {SimStep::Kind::Bytes, {bytes.begin(), bytes.end()}, 0};
}

SimStep waitStep(int milliseconds)
{
    return {SimStep::Kind::Wait, {}, milliseconds};
}

SimStep periodStep(int milliseconds)
{
    return {SimStep::Kind::Period, {}, milliseconds};
}

} // namespace dmm::sim
