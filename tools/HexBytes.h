// SPDX-License-Identifier: MIT
// Bytes written as hexadecimal text, as the tools read and print frames.
#pragma once

#include <cstdint>
#include <istream>
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

// One line of `in` into `line`, without its end. Keeping stops once the line
// holds a 16th byte's digits (32 digits, more than any read) or 4096 characters;
// the rest of that line is skipped unread, so an endless line costs no memory.
// False at the end of input with nothing read.
bool readHexLine(std::istream& in, std::string& line);

// "0A 14 20": upper-case pairs separated by single blanks.
std::string hexText(std::span<const std::uint8_t> bytes);

} // namespace dmm::sim
