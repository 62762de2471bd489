// SPDX-License-Identifier: MIT
// The comparator's inputs, its needle arithmetic, the alarm decision and the
// reading of the limit edits.
#pragma once

#include <optional>
#include <string_view>

#include "CurrentReading.h"
#include "FixedText.h"

namespace dmm {

// What the acquisition loop hands the comparator for every decoded frame.
struct ComparatorInputs
{
    int iFunction = 0;
    FixedText<8> prefix;
    FixedText<8> unit;
    float value = 0.0f; // the number as the meter displays it, prefix not applied
};

// Copies function, prefix and unit, and stores the value when szValue is a
// number. An overload display stores a value half a band beyond the limit on
// its side, so the needle hits the stop and the alarm sounds. Returns whether a
// value was stored, i.e. whether the comparator is to be told; any other
// non-number leaves the previous value in place.
bool handOverComparator(ComparatorInputs& in, const CurrentReading& r, double hiLimit,
                        double lowLimit);

// Needle angle in degrees: 130 at or below the lower scale end, 110 at the lower
// limit, 90 midway, 70 at the upper limit, 50 at or above the upper end. The
// intermediate values are kept in single precision, as the meter's scale was
// calibrated with them. Limits that are not ascending can only come from a
// hand-edited settings file; when they leave no number the needle rests at 130.
double comparatorNeedleAngle(float value, double hiLimit, double lowLimit);

inline constexpr double kComparatorRestAngle = 130.0;

enum class AlarmTone
{
    None,
    High,
    Low
};

// Above the upper limit: high tone; below the lower: low tone. A reading equal to
// a limit is inside. The single-precision reading is compared with the limits
// in double precision, so 0.1f is above a limit of 0.1.
AlarmTone alarmToneFor(float value, double hiLimit, double lowLimit);

// The desktop notification due as the verdict goes from `before` to `now`:
// Started when readings leave the limits (or cross to the other side),
// Ended when they come back within them, None otherwise.
enum class ComparatorNotice
{
    None,
    Started,
    Ended,
};
ComparatorNotice comparatorNotice(AlarmTone before, AlarmTone now);

// 1047 Hz (C6) for High, 523 Hz (C5) for Low, 0 for None.
int toneFrequency(AlarmTone tone);

inline constexpr int kAlarmToneMs = 100;

// A limit edit's text while the user types it.
enum class LimitTextKind
{
    Empty,      // ignored: the limit keeps its value
    Number,     // becomes the pending limit
    Incomplete, // the beginning of a number ("-", ".", "1e-"): not yet wrong
    Invalid,    // reported as a conversion error
};

struct LimitText
{
    LimitTextKind kind = LimitTextKind::Empty;
    std::optional<double> value;
};

LimitText classifyLimitText(std::string_view text, char separator);

} // namespace dmm
