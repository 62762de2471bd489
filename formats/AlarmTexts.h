// SPDX-License-Identifier: MIT
// What dmm-log says of an alarm state: the line on standard error, the
// retained JSON of PREFIX/NAME/alarm and the environment of the --on-alarm
// command. A payload:
//   {"state":"high","value":4.31,"unit":"V","time":"2026-12-07T14:33:16.077+01:00",
//    "overload":false,"previous":"normal"}
// value and unit as a reading's payload (MqttMessages.h): SI units, null for
// an overload; previous is null for the first state of a run (a run begins
// normal, so a first reading beyond the range has "previous":"normal").
#pragma once

#include <QDateTime>
#include <QProcessEnvironment>
#include <QString>

#include <optional>
#include <string>

#include "AlarmRange.h"
#include "Record.h"

namespace dmm::logtool {

struct AlarmEvent
{
    QString name; // the meter's
    AlarmState state = AlarmState::Normal;
    std::optional<AlarmState> previous; // none: no change, the run's first state
    QDateTime time;                     // of the reading
    std::string value; // SI value text ("4.31", "2.399e-08"); "inf" or "-inf" for an overload
    bool overload = false;
    std::string unit; // UTF-8 SI symbol
};

// The reading's value in its SI unit, +-inf for an overload (its sign);
// NaN for a record without a number.
double alarmValue(const TARecord& record);

// The event `record` makes, taken at `time`, for the machine's new state.
AlarmEvent alarmEvent(const QString& name, AlarmState state, std::optional<AlarmState> previous,
                      const QDateTime& time, const TARecord& record);

// "2026-12-07T14:33:16.077 alarm bench: high, 4.31 V (was normal)"; an
// overload: "high, overload V"; no line end.
QString alarmLine(const AlarmEvent& event);

std::string alarmPayload(const AlarmEvent& event);

// DMM_ALARM (low, normal, high), DMM_VALUE (as in the payload, "inf" or
// "-inf" for an overload), DMM_UNIT, DMM_TIME (as in the payload), DMM_NAME,
// added to `base`.
QProcessEnvironment alarmEnvironment(const AlarmEvent& event, QProcessEnvironment base);

} // namespace dmm::logtool
