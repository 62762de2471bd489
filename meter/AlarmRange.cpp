// SPDX-License-Identifier: MIT
#include "AlarmRange.h"

#include <cmath>

#include "NumberText.h"

namespace dmm {

namespace {

// A side of the range: empty, or a number; the error names the text.
bool parseSide(std::string_view text, std::optional<double>* side, std::string* error)
{
    if (text.find_first_not_of(' ') == std::string_view::npos)
        return true;
    const auto value = parseDecimal(text, '.');
    if (!value || !std::isfinite(*value)) {
        *error = "\"" + std::string(text) + "\" is no number (write 4.2, -0.5 or 1e-3)";
        return false;
    }
    *side = *value;
    return true;
}

} // namespace

std::string_view alarmStateName(AlarmState state)
{
    switch (state) {
    case AlarmState::Low:
        return "low";
    case AlarmState::High:
        return "high";
    case AlarmState::Normal:
        break;
    }
    return "normal";
}

AlarmRangeResult parseAlarmRange(std::string_view text)
{
    AlarmRangeResult result;
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos) {
        result.error = "LOW:HIGH expected, such as 3.0:4.2, :4.2 or 3.0:";
        return result;
    }
    AlarmRange range;
    if (!parseSide(text.substr(0, colon), &range.low, &result.error) ||
        !parseSide(text.substr(colon + 1), &range.high, &result.error))
        return result;
    if (!range.low && !range.high) {
        result.error = "both sides are empty: give LOW, HIGH or both";
        return result;
    }
    if (range.low && range.high && !(*range.low < *range.high)) {
        result.error = "LOW must be below HIGH";
        return result;
    }
    result.range = range;
    return result;
}

AlarmArgumentResult parseAlarmArgument(std::string_view text)
{
    AlarmArgumentResult result;
    AlarmArgument alarm;
    if (const auto equals = text.find('='); equals != std::string_view::npos) {
        alarm.name = std::string(text.substr(0, equals));
        if (alarm.name.empty()) {
            result.error = "the meter's NAME before \"=\" is empty";
            return result;
        }
        text.remove_prefix(equals + 1);
    }
    const AlarmRangeResult range = parseAlarmRange(text);
    if (!range.range) {
        result.error = range.error;
        return result;
    }
    alarm.range = *range.range;
    result.alarm = alarm;
    return result;
}

std::optional<AlarmHysteresis> parseAlarmHysteresis(std::string_view text)
{
    AlarmHysteresis given{0, false};
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '%') {
        given.percent = true;
        text.remove_suffix(1);
    }
    const auto value = parseDecimal(text, '.');
    if (!value || !std::isfinite(*value) || *value < 0)
        return std::nullopt;
    given.amount = *value;
    return given;
}

std::optional<double> alarmHysteresis(const AlarmRange& range, const AlarmHysteresis& given,
                                      std::string* error)
{
    double amount = given.amount;
    if (given.percent) {
        const double base = range.low && range.high
                                ? *range.high - *range.low
                                : std::fabs(range.low ? *range.low : *range.high);
        amount = base * given.amount / 100;
    }
    if (range.low && range.high && amount >= *range.high - *range.low) {
        *error = "the hysteresis must be smaller than HIGH - LOW";
        return std::nullopt;
    }
    return amount;
}

AlarmState nextAlarmState(AlarmState state, double value, const AlarmRange& range,
                          double hysteresis)
{
    if (range.high && value > *range.high)
        return AlarmState::High;
    if (range.low && value < *range.low)
        return AlarmState::Low;
    // Inside the range: a state beyond it lasts until the hysteresis is crossed.
    if (state == AlarmState::High && range.high && value > *range.high - hysteresis)
        return AlarmState::High;
    if (state == AlarmState::Low && range.low && value < *range.low + hysteresis)
        return AlarmState::Low;
    return AlarmState::Normal;
}

bool AlarmMachine::take(double value, std::string_view unit)
{
    if (unit.empty() || std::isnan(value))
        return false;
    if (m_unit.empty())
        m_unit = std::string(unit);
    else if (unit != m_unit)
        return false;
    const AlarmState next = nextAlarmState(m_state, value, m_range, m_hysteresis);
    if (next == m_state)
        return false;
    m_state = next;
    return true;
}

} // namespace dmm
