// SPDX-License-Identifier: MIT
// One line of the data list: the entry's number, its time stamp and its value
// with prefix and unit, and the sub-display when there is one.
#pragma once

#include <cstddef>
#include <string>

#include "Record.h"

namespace dmm {

// "1, 14:05:09.3  ,1.234mV": index + 1, ",", time stamp, ",", value text,
// prefix text, " Ohm" for the resistance functions (128, 384) or else the
// unit text, then " ,PF=" and the sub-display text only when that is not
// empty. The texts are taken as stored, without trimming.
std::string dataListLine(std::size_t index, const TARecord& record);

// The longest such line: a 20-digit number and every text as long as its
// field allows.
inline constexpr std::size_t kMaxDataListLine = 20 + 1 + 15 + 1 + 15 + 7 + 7 + 5 + 7;

// The same line written at `out`, which has room for kMaxDataListLine
// characters; returns the end of what it wrote. For writers that fill a block
// without a string per line.
char* writeDataListLine(char* out, std::size_t index, const TARecord& record);

} // namespace dmm
