// SPDX-License-Identifier: MIT
#include "FunctionTexts.h"

#include "NumberText.h"

namespace dmm {

int GetPrefixExp(int function, std::string_view exponentText)
{
    const auto parsed = parseInteger(exponentText);
    if (!parsed)
        return 0;
    const int c = *parsed;
    switch (function) {
    case 5:
    case 6:
    case 7:
        return (c == -2 || c == -1) ? -3 : 1; // 1 selects no prefix
    case 8:
        if (c >= -3 && c <= 0)
            return -9;
        if (c >= 1 && c <= 3)
            return -6;
        return c == 4 ? -3 : 0;
    case 128:
    case 384:
    case 1024:
        return (c / 3) * 3; // C++ division truncates toward zero
    case 513:
    case 514:
    case 515:
        if (c == -4 || c == -3)
            return -6;
        return (c == -2 || c == -1) ? -3 : 0;
    case 516:
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
    switch (functionWord & 0x7FFFFFFFu) {
    case 4:
    case 5:
    case 6:
    case 7:
        text = "V";
        break;
    case 8:
        text = "F";
        break;
    case 32:
        text = "C";
        break;
    case 64:
        text = "F";
        break;
    case 128:
    case 384:
        text = "W";
        break;
    case 513:
    case 514:
    case 515:
        text = "A";
        break;
    case 516:
        text = "VA";
        break;
    case 1024:
        text = "Hz";
        break;
    default:
        text = "";
        break;
    }
    destination = text;
    return static_cast<int>(text.size());
}

std::string_view acDcText(std::uint32_t functionWord)
{
    switch (functionWord & 0x7FFFFFFFu) {
    case 7:
    case 515:
        return "DC+AC";
    case 6:
    case 514:
        return "DC";
    case 5:
    case 513:
        return "AC";
    default:
        return {};
    }
}

} // namespace dmm
