// SPDX-License-Identifier: MIT
// The program-wide number <-> text conversions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dmm {

// The decimal separator used by formatGeneral and parseDecimal when none is
// given. It starts as the user's locale separator and becomes '.' with the
// first decoded frame, for the rest of the run.
char decimalSeparator();
void setDecimalSeparator(char separator);
void useLocaleDecimalSeparator(); // from QLocale::system(); called once at start-up

// General conversion: at most `precision` significant digits, trailing zeros
// dropped, fixed notation when 0.0001 <= |v| and the integer digits fit the
// precision, otherwise mantissa "E" exponent (1E-5, 1.5E20). -0 gives "0".
std::string formatGeneral(double value, int precision = 15, char separator = decimalSeparator());

// Decimal text to number; surrounding blanks allowed, anything else that is not
// a plain decimal number (optionally with an exponent) fails.
std::optional<double> parseDecimal(std::string_view text, char separator = decimalSeparator());

// Rewrites the C library's decimal point in a snprintf result as '.', so the
// fixed formats do not depend on the process's LC_NUMERIC.
void normalizeCDecimalPoint(char* buffer);

// Decimal integer text to int; surrounding blanks allowed, out of range fails.
std::optional<int> parseInteger(std::string_view text);

} // namespace dmm
