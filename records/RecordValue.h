// SPDX-License-Identifier: MIT
// The value a logged reading is stored with: the reading in base units as a
// single-precision float.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dmm {

// The display text (blanks trimmed) read with its exponent ("1.234" and "-3" give
// 0.001234). An overload display ("OL", "-O.L", ...) gives the function's overload
// value instead, negated when the display carries a minus sign. No value when
// neither applies: such a reading is not logged.
// An overload display: the meter shows "OL", "-O.L" and the like.
bool isOverloadDisplay(std::string_view sDigits);

std::optional<float> recordValue(const std::string& sDigits, const std::string& sExponent,
                                 int iFunction);

} // namespace dmm
