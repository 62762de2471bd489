// SPDX-License-Identifier: MIT
// The record a logged reading becomes: the current reading's texts and code,
// its value (RecordValue.h) and the time it was logged.
#pragma once

#include <QDateTime>

#include <optional>
#include <string>

#include "CurrentReading.h"
#include "Record.h"

namespace dmm {

// With a time text as given and no date stamp; none when the reading gives no
// value to log (a blank display, an overload of a function without an
// overload value).
std::optional<TARecord> loggedRecord(const CurrentReading& reading, const std::string& timeStamp);

// Logged at `time`: the local time of day as the time text, and the date and
// time to the millisecond as the record's date stamp (RecordStamp.h).
std::optional<TARecord> loggedRecord(const CurrentReading& reading, const QDateTime& time);

} // namespace dmm
