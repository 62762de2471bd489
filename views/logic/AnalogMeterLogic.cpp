// SPDX-License-Identifier: MIT
#include "AnalogMeterLogic.h"

#include "MeterFunction.h"

#include "NumberText.h"

#include <climits>
#include <cmath>
#include <string>
#include <string_view>

namespace dmm {

namespace {

// Function codes whose value text may lack a point and still be a count
// (temperatures, capacitance with d = 3, the codes the loop copies raw).
bool countWithoutPoint(int function)
{
    switch (asFunction(function)) {
    case MeterFunction::None:
    case MeterFunction::AcVolts:
    case MeterFunction::DcVolts:
    case MeterFunction::AcDcVolts:
    case MeterFunction::Capacitance:
    case MeterFunction::Celsius:
    case MeterFunction::Fahrenheit:
    case MeterFunction::AcAmperes:
    case MeterFunction::DcAmperes:
    case MeterFunction::AcDcAmperes:
    case MeterFunction::VoltAmperes:
        return true;
    default:
        return false;
    }
}

// factor * 10^exponent as an int; digit texts longer than an int's range
// saturate instead of wrapping.
int scaledPowerOfTen(int factor, int exponent)
{
    const double value = factor * std::pow(10.0, exponent);
    if (value >= double(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

} // namespace

void handOverAnalog(AnalogInputs& in, const CurrentReading& r)
{
    in.prefix = r.szPrefix.view();
    in.unit = r.szUnit.view();
    in.iFunction = r.iFunction;

    std::string_view text = r.szValue.view();
    const auto minus = text.find('-');
    in.bNegative = minus != std::string_view::npos;
    if (in.bNegative)
        text.remove_prefix(minus + 1);

    std::string digits;
    if (const auto point = text.find('.'); point != std::string_view::npos) {
        digits.assign(text.substr(0, point));
        digits.append(text.substr(point + 1));
    } else if (countWithoutPoint(in.iFunction)) {
        digits.assign(text);
    }

    const auto count = parseInteger(digits);
    if (!count) {
        if (r.sDigits.find('L') != std::string::npos) {
            in.iFullScale = 6000;
            in.iCount = 6500;
            in.iMultExp = r.iDecimals;
        }
        return;
    }

    const int n = static_cast<int>(digits.size());
    in.iCount = *count;
    in.iMultExp = r.iDecimals;
    switch (asFunction(in.iFunction)) {
    case MeterFunction::None:
    case MeterFunction::Celsius:
    case MeterFunction::Fahrenheit:
        in.iFullScale = r.iDecimals == 3 ? 2000 : 1000;
        in.iMultExp = r.iDecimals == 3 ? 2 : r.iDecimals;
        break;
    case MeterFunction::Capacitance:
        in.iFullScale = scaledPowerOfTen(2, n - 1);
        break;
    case MeterFunction::VoltAmperes:
    case MeterFunction::Frequency:
        in.iFullScale = scaledPowerOfTen(1, n);
        break;
    default:
        in.iFullScale = scaledPowerOfTen(6, n - 1);
        break;
    }
}

double analogNeedleAngle(int count, int fullScale)
{
    const double angle = 180.0 - (std::fabs(double(count)) * (120.0 / fullScale) + 30.0);
    if (!(angle >= 25.0))
        return 25.0;
    return angle;
}

int dialFaceFor(int function)
{
    switch (asFunction(function)) {
    case MeterFunction::None:
        return 15;
    case MeterFunction::Volts:
    case MeterFunction::Celsius:
    case MeterFunction::Fahrenheit:
    case MeterFunction::VoltAmperes:
    case MeterFunction::Frequency:
        return 13;
    case MeterFunction::Capacitance:
        return 14;
    default:
        return 30;
    }
}

QString multiplierText(int multExp)
{
    return QStringLiteral("x") + QString::number(std::trunc(std::pow(10.0, multExp)), 'f', 0);
}

QPoint needleEnd(double angleDegrees, int length)
{
    const double theta = angleDegrees * 0.017453292444444442;
    const double x = std::trunc(std::cos(theta) * length);
    const double y = std::trunc(-std::sin(theta) * length);
    if (!std::isfinite(x) || !std::isfinite(y))
        return {0, 0};
    return {static_cast<int>(x), static_cast<int>(y)};
}

} // namespace dmm
