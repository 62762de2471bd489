// SPDX-License-Identifier: MIT
#include "ValueFormat.h"

#include "MeterFunction.h"

#include <cmath>
#include <cstdio>

#include "FunctionTexts.h"
#include "NumberText.h"

namespace dmm {

namespace {

// The C formatting rules, cut to the 16-character field (snprintf never runs past it).
template <typename... Args> void formatInto(FixedText<16>& field, const char* format, Args... args)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, args...);
    normalizeCDecimalPoint(buffer);
    field = buffer;
}

// Remainder with the sign of the dividend: -4 rem 3 = -1 (C++ % does exactly this).
int rem(int a, int b)
{
    return a % b;
}

double scaled(int d, double value)
{
    return std::pow(10.0, d) * value;
}

bool formatsFunction(int function)
{
    switch (asFunction(function)) {
    case MeterFunction::Volts:
    case MeterFunction::AcVolts:
    case MeterFunction::DcVolts:
    case MeterFunction::Flag40000000:
    case MeterFunction::AcAmperes:
    case MeterFunction::DcAmperes:
    case MeterFunction::Ohms:
    case MeterFunction::OhmsFlag100:
    case MeterFunction::Frequency:
    case MeterFunction::Capacitance:
    case MeterFunction::Celsius:
    case MeterFunction::Fahrenheit:
    case MeterFunction::None:
        return true;
    default:
        return false;
    }
}

} // namespace

MeterText formatValue(CurrentReading& r)
{
    const int function = r.iFunction;
    if (!formatsFunction(function)) {
        r.szValue = r.sDigits;
        return std::string("----");
    }

    const int e = parseInteger(r.sExponent).value_or(0);
    int d = 0;
    switch (asFunction(function)) {
    case MeterFunction::AcAmperes:
    case MeterFunction::DcAmperes:
        d = e >= 0 ? e : rem(e, 3) + 3;
        break;
    case MeterFunction::Ohms:
    case MeterFunction::OhmsFlag100:
    case MeterFunction::Frequency:
        d = rem(e, 3);
        break;
    case MeterFunction::Capacitance:
        d = rem(e + 3, 3);
        if (d == 0)
            d = 3;
        break;
    case MeterFunction::Celsius:
    case MeterFunction::Fahrenheit:
    case MeterFunction::None:
        d = e;
        break;
    default:
        d = e < 0 ? e + 3 : e;
        break; // volts and 0x40000000
    }

    // The fourth character of a temperature display is its unit, not a digit.
    if (isTemperature(asFunction(function)) && !r.sDigits.empty() &&
        (r.sDigits.back() == 'C' || r.sDigits.back() == 'F'))
        r.sDigits.pop_back();

    // The scale depends on the exponent alone, so it is kept even when the
    // display text is no number (the analog meter's overload uses it).
    r.iDecimals = d;

    const auto dv = parseDecimal(r.sDigits, '.');
    if (!dv) {
        r.szValue = r.sDigits;
        return r.sDigits;
    }

    const bool negative = r.sDigits.find('-') != std::string::npos;
    switch (asFunction(function)) {
    case MeterFunction::Celsius:
    case MeterFunction::Fahrenheit:
        r.dValue = scaled(d, *dv);
        if (d == 2)
            formatInto(r.szValue, "%02.0f", r.dValue);
        else
            formatInto(r.szValue, "%02.1f", r.dValue);
        break;
    case MeterFunction::None:
        r.dValue = scaled(d, *dv);
        if (d != 3)
            return std::nullopt; // value text and meter keep what they had
        formatInto(r.szValue, "%03.0f", r.dValue);
        break;
    case MeterFunction::Capacitance:
        r.dValue = *dv;
        if (d == 3)
            formatInto(r.szValue, "%04.0f", scaled(3, *dv));
        else
            formatInto(r.szValue, "%05.*f", 3 - d, scaled(d, *dv));
        break;
    case MeterFunction::Ohms:
    case MeterFunction::OhmsFlag100:
    case MeterFunction::Frequency:
        r.dValue = *dv;
        formatInto(r.szValue, "%05.*f", 3 - d, scaled(d, *dv));
        break;
    default: { // volts, 0x40000000, amperes 513 and 514
        r.dValue = *dv;
        const char* format =
            negative ? (d == 3 ? "%05.*f" : "%06.*f") : (d == 3 ? "%04.*f" : "%05.*f");
        formatInto(r.szValue, format, 3 - d, scaled(d, *dv));
        break;
    }
    }
    return r.szValue.str();
}

MeterText applyFrame(CurrentReading& r, const DecodedFrame& frame)
{
    r.sDigits = frame.display;
    r.sExponent = frame.exponent;
    r.dwRawFunction = frame.function;
    r.iFunction = static_cast<int>(frame.function & ~kLowBatteryBit);
    MeterText meterText = formatValue(r);
    r.iPrefixExp = GetPrefixExp(r.iFunction, r.sExponent);
    GetPrefixText(r.iFunction, r.iPrefixExp, r.szPrefix);
    GetUnitText(r.dwRawFunction, r.szUnit);
    return meterText;
}

} // namespace dmm
