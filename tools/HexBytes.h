// SPDX-License-Identifier: MIT
// Bytes written as hexadecimal text, as the tools read and print frames.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dmm::sim {

// "0A 14 20" or "0A1420": pairs of hex digits, blanks between pairs allowed.
// No value, with the reason in `error`, for anything else.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text,
                                                       std::string* error = nullptr);

// "0A 14 20": upper-case pairs separated by single blanks.
std::string hexText(std::span<const std::uint8_t> bytes);

} // namespace dmm::sim
