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

} // namespace dmm
