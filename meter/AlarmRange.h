// SPDX-License-Identifier: MIT
// An alarm on a reading's range: the limits as the user writes them
// ("LOW:HIGH", "NAME=LOW:HIGH", either side may be left open), the hysteresis
// that keeps a noisy reading at a limit from flapping, and the state machine
// low / normal / high that follows the readings.
//
// The limits are in the reading's SI unit (volts, ohms, farads), the unit of
// the first reading the machine is given; a reading in another unit (the
// meter switched to another function) leaves the state as it is. A reading
// equal to a limit is inside, as on the comparator. Leaving the range takes
// any step past a limit; coming back takes the hysteresis more: a high state
// ends at HIGH - h or below, a low state at LOW + h or above. An overload
// counts as beyond the range in its direction (+inf or -inf).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dmm {

enum class AlarmState
{
    Low,
    Normal,
    High,
};

// "low", "normal", "high".
std::string_view alarmStateName(AlarmState state);

struct AlarmRange
{
    std::optional<double> low;
    std::optional<double> high;
    bool operator==(const AlarmRange&) const = default;
};

// "LOW:HIGH", ":HIGH" or "LOW:" with decimal numbers ("4.2", "-1e-3").
// Errors: no colon, a side that is no number, both sides empty, LOW not
// below HIGH.
struct AlarmRangeResult
{
    std::optional<AlarmRange> range;
    std::string error;
};
AlarmRangeResult parseAlarmRange(std::string_view text);

// "[NAME=]LOW:HIGH"; NAME is empty when not given (the only meter).
struct AlarmArgument
{
    std::string name;
    AlarmRange range;
};
struct AlarmArgumentResult
{
    std::optional<AlarmArgument> alarm;
    std::string error;
};
AlarmArgumentResult parseAlarmArgument(std::string_view text);

// The hysteresis as given: an amount in the reading's unit ("0.05") or a
// percentage ("2%") of the range's width, or with one side open of the
// limit's size.
struct AlarmHysteresis
{
    double amount = 1.0;
    bool percent = true;
};
inline constexpr AlarmHysteresis kDefaultAlarmHysteresis{1.0, true}; // 1 %
std::optional<AlarmHysteresis> parseAlarmHysteresis(std::string_view text);

// The hysteresis in the reading's unit. A percentage is of HIGH - LOW, or
// with one side open of |LIMIT|: so a lone limit of 0 has none (1 % of 0 is
// 0) and the state follows each crossing of 0; give an amount there. None,
// with `error` set, when the amount would leave no way back inside (it must
// be below HIGH - LOW).
std::optional<double> alarmHysteresis(const AlarmRange& range, const AlarmHysteresis& given,
                                      std::string* error);

// The state after a reading of `value` (in the limits' unit; +-inf for an
// overload) in state `state`.
AlarmState nextAlarmState(AlarmState state, double value, const AlarmRange& range,
                          double hysteresis);

// The state of one meter's readings. It begins normal: a first reading
// beyond the range is a change.
class AlarmMachine
{
public:
    AlarmMachine(AlarmRange range, double hysteresis) : m_range(range), m_hysteresis(hysteresis) {}

    // Takes a reading; true when the state changed. A reading in another unit
    // than the first one (or without a unit), or NaN, changes nothing.
    bool take(double value, std::string_view unit);

    AlarmState state() const { return m_state; }
    // The unit the limits apply to; empty before the first reading.
    const std::string& unit() const { return m_unit; }
    const AlarmRange& range() const { return m_range; }
    double hysteresis() const { return m_hysteresis; }

private:
    AlarmRange m_range;
    double m_hysteresis = 0;
    AlarmState m_state = AlarmState::Normal;
    std::string m_unit;
};

} // namespace dmm
