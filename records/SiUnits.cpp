// SPDX-License-Identifier: MIT
#include "SiUnits.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace dmm {

SiUnit siUnit(int functionCode)
{
    switch (functionCode & 0x7FFFFFFF) {
    case 4: // plain, AC, DC and AC+DC volts
    case 5:
    case 6:
    case 7:
        return {0, "V"};
    case 8: // kept in microfarads
        return {-6, "F"};
    case 32:
        return {0, "\u00B0C"};
    case 64:
        return {0, "\u00B0F"};
    case 128: // ohms, also with flag 0x100
    case 384:
        return {0, "\u03A9"};
    case 513: // AC, DC and AC+DC amperes
    case 514:
    case 515:
        return {0, "A"};
    case 516:
        return {0, "VA"};
    case 1024:
        return {0, "Hz"};
    default: // 0, 0x40000000 and codes the meter does not send
        return {0, {}};
    }
}

namespace {

// Digits d1 d2 ... dn (no point) with the value d1.d2...dn x 10^exponent,
// written in the shorter of the fixed and the scientific form (fixed on a
// tie), as std::to_chars writes its shortest form.
std::string decimalText(bool negative, const std::string& digits, int exponent)
{
    const int n = static_cast<int>(digits.size());
    std::string fixed;
    if (exponent >= n - 1) {
        fixed = digits + std::string(static_cast<std::size_t>(exponent - (n - 1)), '0');
    } else if (exponent >= 0) {
        fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + '.' +
                digits.substr(static_cast<std::size_t>(exponent + 1));
    } else {
        fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }

    std::string scientific = digits.substr(0, 1);
    if (n > 1)
        scientific += '.' + digits.substr(1);
    const int magnitude = std::abs(exponent);
    scientific += exponent < 0 ? "e-" : "e+";
    if (magnitude < 10)
        scientific += '0';
    scientific += std::to_string(magnitude);

    const std::string sign = negative ? "-" : "";
    return sign + (fixed.size() <= scientific.size() ? fixed : scientific);
}

} // namespace

std::string siValueText(float stored, int decimalShift)
{
    char buffer[48];
    if (decimalShift == 0 || !std::isfinite(stored) || stored == 0.0f) {
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, stored).ptr;
        return std::string(buffer, end);
    }
    // "-2.399e-02": the shortest digits of the float and their exponent.
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, stored, std::chars_format::scientific).ptr;
    const std::string text(buffer, end);
    const bool negative = text.front() == '-';
    const std::size_t e = text.find('e');
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i)
        if (text[i] != '.')
            digits += text[i];
    const int exponent = std::atoi(text.c_str() + e + 1);
    return decimalText(negative, digits, exponent + decimalShift);
}

} // namespace dmm
