// SPDX-License-Identifier: MIT
#include "SiUnits.h"

#include "FunctionTexts.h"
#include "MeterFunction.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace dmm {

SiUnit siUnit(int functionCode)
{
    switch (quantityOf(functionOfWord(static_cast<std::uint32_t>(functionCode)))) {
    case Quantity::Volts:
        return {0, "V"};
    case Quantity::Farads: // kept in microfarads
        return {-6, "F"};
    case Quantity::Celsius:
        return {0, "\u00B0C"};
    case Quantity::Fahrenheit:
        return {0, "\u00B0F"};
    case Quantity::Ohms:
        return {0, "\u03A9"};
    case Quantity::Amperes:
        return {0, "A"};
    case Quantity::VoltAmperes:
        return {0, "VA"};
    case Quantity::Hertz:
        return {0, "Hz"};
    case Quantity::None:
        break;
    }
    return {0, {}};
}

std::string functionName(int code)
{
    const MeterFunction function = functionOfWord(static_cast<std::uint32_t>(code));
    const std::string_view acDc = acDcText(functionCode(function));
    const std::string_view unit = siUnit(code).symbol;
    std::string name(acDc);
    if (!acDc.empty() && !unit.empty())
        name += ' ';
    return name.append(unit);
}

namespace {

// Digits d1 d2 ... dn (no point) with the value d1.d2...dn x 10^exponent,
// written in the shorter of the fixed and the scientific form (fixed on a
// tie), as std::to_chars writes its shortest form.
char* writeDecimalText(char* out, bool negative, std::string_view digits, int exponent)
{
    const int n = static_cast<int>(digits.size());
    const int magnitude = std::abs(exponent);
    const int fixedSize = exponent >= n - 1 ? exponent + 1
                          : exponent >= 0   ? n + 1
                                            : n + 1 - exponent;
    const int scientificSize = (n > 1 ? n + 1 : 1) + 2 + (magnitude < 100 ? 2 : 3);
    if (negative)
        *out++ = '-';
    if (fixedSize <= scientificSize) {
        if (exponent >= n - 1) {
            out = std::copy(digits.begin(), digits.end(), out);
            return std::fill_n(out, exponent - (n - 1), '0');
        }
        if (exponent >= 0) {
            out = std::copy_n(digits.begin(), exponent + 1, out);
            *out++ = '.';
            return std::copy(digits.begin() + exponent + 1, digits.end(), out);
        }
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -exponent - 1, '0');
        return std::copy(digits.begin(), digits.end(), out);
    }
    *out++ = digits[0];
    if (n > 1) {
        *out++ = '.';
        out = std::copy(digits.begin() + 1, digits.end(), out);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    if (magnitude < 10)
        *out++ = '0';
    return std::to_chars(out, out + 4, magnitude).ptr;
}

} // namespace

char* writeSiValueText(char* out, float stored, int decimalShift)
{
    if (decimalShift == 0 || !std::isfinite(stored) || stored == 0.0f)
        return std::to_chars(out, out + kMaxSiValueText, stored).ptr;
    // "-2.399e-02": the shortest digits of the float and their exponent.
    char text[kMaxSiValueText];
    const char* end =
        std::to_chars(text, text + sizeof text, stored, std::chars_format::scientific).ptr;
    const bool negative = text[0] == '-';
    const char* e = std::find(static_cast<const char*>(text), end, 'e');
    char digits[kMaxSiValueText];
    int n = 0;
    for (const char* c = text + (negative ? 1 : 0); c != e; ++c)
        if (*c != '.')
            digits[n++] = *c;
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    return writeDecimalText(out, negative, std::string_view(digits, std::size_t(n)),
                            exponent + decimalShift);
}

std::string siValueText(float stored, int decimalShift)
{
    char text[kMaxSiValueText];
    return std::string(text, writeSiValueText(text, stored, decimalShift));
}

} // namespace dmm
