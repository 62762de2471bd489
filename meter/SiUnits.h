// SPDX-License-Identifier: MIT
// The reading of every function code in SI terms: the power of ten that turns
// a record's stored value into the base unit, and the unit's symbol. Records
// keep capacitance in microfarads and the meter's panels draw the ohm sign as
// "W" in a symbol font; tables for other programs want farads and "Ω".
#pragma once

#include <string>
#include <string_view>

namespace dmm {

struct SiUnit
{
    // The stored value times 10^decimalShift is the value in `symbol`.
    int decimalShift = 0;
    // UTF-8: "V", "A", "Ω", "F", "Hz", "VA", "°C", "°F", or empty where the
    // function has no unit.
    std::string_view symbol;
};

// Bit 31 (low battery) is ignored; codes the meter does not send have no unit.
SiUnit siUnit(int functionCode);

// A function's name for people: the digital meter's AC/DC word and the SI
// unit ("DC V", "DC+AC A", "Ω", "°C"); empty where it shows neither.
std::string functionName(int functionCode);

// The stored float in the unit's base, as the shortest decimal text that
// reads back as the same float once shifted back ("0.02399" µF gives
// "2.399e-08"). The shift moves the decimal exponent of that text, so no
// digit is lost or invented. Infinities and NaN come out as "inf", "-inf",
// "nan".
std::string siValueText(float stored, int decimalShift);
// The same text written at `out`, which has room for kMaxSiValueText
// characters; returns its end.
inline constexpr int kMaxSiValueText = 48;
char* writeSiValueText(char* out, float stored, int decimalShift);

} // namespace dmm
