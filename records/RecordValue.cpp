// SPDX-License-Identifier: MIT
#include "RecordValue.h"

#include "MeterFunction.h"

#include <cmath>
#include <string_view>

#include "NumberText.h"

namespace dmm {

namespace {

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// The value logged for an overload: just past the top of the meter's range in
// the shown exponent, or a fixed value where the range does not depend on it.
std::optional<double> overloadValue(int function, const std::string& exponentText)
{
    double mantissa = 0.0;
    switch (asFunction(function)) {
    case MeterFunction::Celsius:
    case MeterFunction::Fahrenheit:
        return 1100.0;
    case MeterFunction::OhmsFlag100:
        return 1000.0;
    case MeterFunction::AcVolts:
    case MeterFunction::DcVolts:
    case MeterFunction::AcDcVolts:
    case MeterFunction::AcAmperes:
    case MeterFunction::DcAmperes:
    case MeterFunction::AcDcAmperes:
        mantissa = 6.6;
        break;
    case MeterFunction::Capacitance:
        mantissa = 5.5;
        break;
    case MeterFunction::Ohms:
    case MeterFunction::Frequency:
        mantissa = 9.9;
        break;
    default:
        return std::nullopt;
    }
    const auto e = parseInteger(exponentText);
    if (!e)
        return std::nullopt;
    return mantissa * std::pow(10.0, *e);
}

} // namespace

bool isOverloadDisplay(std::string_view sDigits)
{
    return sDigits.find('L') != std::string_view::npos;
}

std::optional<float> recordValue(const std::string& sDigits, const std::string& sExponent,
                                 int iFunction)
{
    const std::string text = std::string(trimBlanks(sDigits)) + "E" + sExponent;
    if (const auto value = parseDecimal(text, '.'))
        return static_cast<float>(*value);

    if (!isOverloadDisplay(sDigits))
        return std::nullopt;
    auto value = overloadValue(iFunction, sExponent);
    if (!value)
        return std::nullopt;
    if (sDigits.find('-') != std::string::npos)
        *value = -*value;
    return static_cast<float>(*value);
}

} // namespace dmm
