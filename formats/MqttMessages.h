// SPDX-License-Identifier: MIT
// What dmm-log publishes, as text: the topics under PREFIX/NAME and the JSON
// payloads. A reading:
//   {"time":"2026-12-07T14:33:16.077+01:00","value":79.9,"unit":"Ω",
//    "display":"079.9","function":128,"functionName":"Ω","overload":false,
//    "seq":1234}
// time as the CSV's (LogLines.h) with the offset from UTC, value and unit as
// the CSV's (TableExport.h; null for an overload), value always with a
// decimal point or an exponent, display the value text with its prefix,
// function the meter's function code as in the records, functionName what
// the digital meter shows for it ("DC V", "Ω"), seq the reading's number
// from the start of the process.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

#include "Record.h"

namespace dmm::logtool {

struct MqttTopics
{
    std::string reading; // PREFIX/NAME/reading, QoS 1
    std::string status;  // retained: statusPayload(), also the last will
    std::string meta;    // retained: version, run, port, interval, files
    std::string dropped; // retained: readings this run dropped from a full queue
    std::string alarm;   // retained: the alarm's state (AlarmTexts.h)
    std::string stats;   // retained: the last row of statistics (--stats)
};

MqttTopics mqttTopics(const QString& prefix, const QString& name);

// "2026-12-07T14:33:16.077+01:00".
std::string isoLocalTimeWithOffset(const QDateTime& time);

std::string readingPayload(long long seq, const QDateTime& time, const TARecord& record);

// The meter as the warnings on standard error last described it.
struct MeterState
{
    bool lowBattery = false; // the last reading came with the low-battery sign
    bool silent = false;     // no reading since the no-data warning
    bool operator==(const MeterState&) const = default;
};

// {"state":"online","run":"5f0c9a1e3b7d2c44","lowBattery":false,"silent":false};
// offline without the meter's state.
std::string statusPayload(bool online, const std::string& run, const MeterState& meter = {});

// The state and run of a status payload; none for one that is not ours.
struct StatusSeen
{
    bool online = false;
    std::string run;
};
std::optional<StatusSeen> parseStatusPayload(const QByteArray& payload);

std::string metaPayload(const QString& version, const std::string& run, const QString& port,
                        int intervalSeconds, const QStringList& files);

} // namespace dmm::logtool
