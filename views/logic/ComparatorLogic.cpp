// SPDX-License-Identifier: MIT
#include "ComparatorLogic.h"

#include "NumberText.h"

#include <cctype>
#include <cmath>
#include <string>

namespace dmm {

bool handOverComparator(ComparatorInputs& in, const CurrentReading& r, double hiLimit,
                        double lowLimit)
{
    in.iFunction = r.iFunction;
    in.prefix = r.szPrefix.view();
    in.unit = r.szUnit.view();

    // The loop has switched the program to '.' before any of this runs.
    if (const auto number = parseDecimal(r.szValue.view(), '.')) {
        in.value = static_cast<float>(*number);
        return true;
    }
    if (r.sDigits.find('L') == std::string::npos)
        return false;
    const double halfBand = (hiLimit - lowLimit) * 0.5;
    const bool negative = r.sDigits.find('-') != std::string::npos;
    in.value = static_cast<float>(negative ? lowLimit - halfBand : hiLimit + halfBand);
    return true;
}

double comparatorNeedleAngle(float value, double hiLimit, double lowLimit)
{
    const float h = static_cast<float>((hiLimit - lowLimit) * 0.5);
    const float k = static_cast<float>(20.0 / double(h));
    const float e0 = static_cast<float>(lowLimit - double(h));
    const float e1 = static_cast<float>(hiLimit + double(h));
    float d = static_cast<float>(double(value) - double(e0));
    if (!(d >= 0.0f))
        d = 0.0f;
    if (!(double(e1) - double(e0) > double(d)))
        d = static_cast<float>(double(e1) - double(e0));
    const double angle = 180.0 - (double(d) * double(k) + 50.0);
    return std::isfinite(angle) ? angle : kComparatorRestAngle;
}

AlarmTone alarmToneFor(float value, double hiLimit, double lowLimit)
{
    const double v = value;
    if (v > hiLimit)
        return AlarmTone::High;
    if (v < lowLimit)
        return AlarmTone::Low;
    return AlarmTone::None;
}

ComparatorNotice comparatorNotice(AlarmTone before, AlarmTone now)
{
    if (now == before)
        return ComparatorNotice::None;
    return now == AlarmTone::None ? ComparatorNotice::Ended : ComparatorNotice::Started;
}

int toneFrequency(AlarmTone tone)
{
    switch (tone) {
    case AlarmTone::High:
        return 1047;
    case AlarmTone::Low:
        return 523;
    case AlarmTone::None:
        break;
    }
    return 0;
}

namespace {

// Whether `text` can still grow into a number: an optional sign, then either
// nothing, a lone separator, or a mantissa followed by an exponent letter and
// maybe its sign. Such texts pass while the user is typing; anything else that
// fails to convert is an error the user has to hear about.
bool isNumberBeginning(std::string_view text, char separator)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == separator) {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++digits;
        }
    }
    if (i == text.size())
        return digits == 0; // "-", ".", "-." (with digits it would have converted)
    if (digits == 0 || (text[i] != 'e' && text[i] != 'E'))
        return false;
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    return i == text.size();
}

} // namespace

LimitText classifyLimitText(std::string_view text, char separator)
{
    if (text.empty())
        return {LimitTextKind::Empty, std::nullopt};
    if (const auto number = parseDecimal(text, separator))
        return {LimitTextKind::Number, number};
    if (isNumberBeginning(text, separator))
        return {LimitTextKind::Incomplete, std::nullopt};
    return {LimitTextKind::Invalid, std::nullopt};
}

} // namespace dmm
