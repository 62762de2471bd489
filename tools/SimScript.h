// SPDX-License-Identifier: MIT
// The simulator's script files: what to send, line by line.
//
//   # a comment; blank lines are skipped too
//   frame 0A 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4
//         one frame in one write; with fewer than 15 bytes the positions that
//         are missing follow with zero data, in position order
//   partial 0A 14 20
//         these bytes in one write, exactly as given (a short read, noise)
//   show 6 -1.234 [n|u|m|k|M] [lowbat]
//         the frame for function code 6 (decimal or 0x hex) showing -1.234:
//         four characters of the meter's segment table, "_" for a blank, at
//         most one ".", an optional leading "-" ("show 128 _0.L_" is an
//         overload, "show 32 25.3" 25.3 degrees C)
//   wait 500      no writes for 500 ms, on top of the period after the last write
//   period 100    100 ms between writes from here on
//   repeat 3      the lines up to the matching "end", three times (may nest)
//   end
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "SimSteps.h"

namespace dmm::sim {

// The steps of a script, or no value with "line N: reason" in `error`.
std::optional<SimSteps> parseScript(std::string_view text, std::string* error = nullptr);

// The format above, for --help.
const char* scriptHelp();

} // namespace dmm::sim
