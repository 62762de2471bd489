// SPDX-License-Identifier: MIT
#include "FunctionTexts.h"

#include "MeterFunction.h"

#include "NumberText.h"

namespace dmm {

int GetPrefixExp(int function, std::string_view exponentText)
{
    const auto parsed = parseInteger(exponentText);
    if (!parsed)
        return 0;
    const int c = *parsed;
    switch (asFunction(function)) {
    case MeterFunction::AcVolts:
    case MeterFunction::DcVolts:
    case MeterFunction::AcDcVolts:
        return (c == -2 || c == -1) ? -3 : 1; // 1 selects no prefix
    case MeterFunction::Capacitance:
        if (c >= -3 && c <= 0)
            return -9;
        if (c >= 1 && c <= 3)
            return -6;
        return c == 4 ? -3 : 0;
    case MeterFunction::Ohms:
    case MeterFunction::OhmsFlag100:
    case MeterFunction::Frequency:
        return (c / 3) * 3; // C++ division truncates toward zero
    case MeterFunction::AcAmperes:
    case MeterFunction::DcAmperes:
    case MeterFunction::AcDcAmperes:
        if (c == -4 || c == -3)
            return -6;
        return (c == -2 || c == -1) ? -3 : 0;
    case MeterFunction::VoltAmperes:
        return (c >= 4 && c <= 6) ? 3 : 0;
    default:
        return 0;
    }
}

int GetPrefixText(int /*function*/, int prefixExp, FixedText<8>& destination)
{
    std::string_view text;
    switch (prefixExp) {
    case -9:
        text = "n";
        break;
    case -6:
        text = "u";
        break;
    case -3:
        text = "m";
        break;
    case 3:
        text = "K";
        break;
    case 6:
        text = "M";
        break;
    default:
        text = "";
        break;
    }
    destination = text;
    return static_cast<int>(text.size());
}

int GetUnitText(std::uint32_t functionWord, FixedText<8>& destination)
{
    std::string_view text;
    switch (quantityOf(functionOfWord(functionWord))) {
    case Quantity::Volts:
        text = "V";
        break;
    case Quantity::Farads:
    case Quantity::Fahrenheit:
        text = "F";
        break;
    case Quantity::Celsius:
        text = "C";
        break;
    case Quantity::Ohms: // the Symbol face draws W as the ohm sign
        text = "W";
        break;
    case Quantity::Amperes:
        text = "A";
        break;
    case Quantity::VoltAmperes:
        text = "VA";
        break;
    case Quantity::Hertz:
        text = "Hz";
        break;
    case Quantity::None:
        text = "";
        break;
    }
    destination = text;
    return static_cast<int>(text.size());
}

std::string_view acDcText(int function)
{
    switch (asFunction(function)) {
    case MeterFunction::AcDcVolts:
    case MeterFunction::AcDcAmperes:
        return "DC+AC";
    case MeterFunction::DcVolts:
    case MeterFunction::DcAmperes:
        return "DC";
    case MeterFunction::AcVolts:
    case MeterFunction::AcAmperes:
        return "AC";
    default:
        return {};
    }
}

} // namespace dmm
