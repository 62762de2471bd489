// SPDX-License-Identifier: MIT
// The one current reading, overwritten field by field on every decoded frame.
#pragma once

#include <cstdint>
#include <string>

#include "FixedText.h"

namespace dmm {

struct CurrentReading
{
    std::string sDigits;             // display text from the decoder
    std::string sExponent;           // decimal exponent text
    std::uint32_t dwRawFunction = 0; // function word, bit 31 = low battery
    int iFunction = 0;               // the word without bit 31
    std::string sPfText;             // sub-display text; this meter never fills it
    double dValue = 0.0;
    int iDecimals = 0; // scale from which szValue was formatted
    int iPrefixExp = 0;
    FixedText<16> szValue;
    FixedText<8> szPrefix;
    FixedText<8> szUnit;
};

} // namespace dmm
