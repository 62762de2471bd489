// SPDX-License-Identifier: MIT
// What dmm-log publishes, as text: the topics under PREFIX/NAME and the JSON
// payloads. A reading:
//   {"time":"2026-12-07T14:33:16.077+01:00","value":79.9,"unit":"Ω",
//    "display":"079.9","function":128,"overload":false,"seq":1234}
// time as the CSV's (LogLines.h) with the offset from UTC, value and unit as
// the CSV's (TableExport.h; null for an overload), display the value text with
// its prefix, function the meter's function code as in the records, seq the
// reading's number from the start of the process.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <string>

#include "Record.h"

namespace dmm::logtool {

struct MqttTopics
{
    std::string reading; // PREFIX/NAME/reading, QoS 1
    std::string status;  // retained: "online", "offline" (also the last will)
    std::string meta;    // retained: version, port, interval, files
    std::string dropped; // retained: readings dropped from a full queue, in all
};

MqttTopics mqttTopics(const QString& prefix, const QString& name);

// "2026-12-07T14:33:16.077+01:00".
std::string isoLocalTimeWithOffset(const QDateTime& time);

std::string readingPayload(long long seq, const QDateTime& time, const TARecord& record);

std::string metaPayload(const QString& version, const QString& port, int intervalSeconds,
                        const QStringList& files);

} // namespace dmm::logtool
