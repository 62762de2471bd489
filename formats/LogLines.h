// SPDX-License-Identifier: MIT
// What dmm-log makes of one reading: the recorder's record, the CSV line, the
// line on standard output, and the end-of-run summary.
#pragma once

#include <QDateTime>

#include <chrono>
#include <optional>
#include <string>

#include "CurrentReading.h"
#include "Record.h"
#include "TableExport.h"

namespace dmm::logtool {

// The record the recorder makes of `reading` at `time`; none when the reading
// gives no value to log (a blank display, an overload of a function without an
// overload value), which the recorder skips as well.
std::optional<TARecord> makeLogRecord(const CurrentReading& reading, const QDateTime& time);

// "2024-05-01T09:05:03.456": local date and time, milliseconds always shown.
std::string isoLocalTime(const QDateTime& time);

// The float as the shortest text that reads back as the same float.
std::string floatText(float value);

std::string csvHeader(const TableFormat& format = {});
// The table's row (TableExport.h): time, value in SI units, SI unit, value
// text with prefix, sub-display text; ends in '\n'.
std::string csvLine(const QDateTime& time, const TARecord& record, const TableFormat& format = {});

// "2024-05-01T09:05:03.456  12.34 mV  0.01234"; ends in '\n'.
std::string consoleLine(const QDateTime& time, const TARecord& record);

// "4.5 s", "3 min 04.5 s", "2 h 03 min 04.5 s".
std::string spanText(std::chrono::milliseconds span);

// "1 reading", "123 readings".
std::string readingsText(long long readings);

// "123 readings logged from <first> to <last> (<span>)", or "0 readings logged".
std::string summaryText(long long readings, const QDateTime& first, const QDateTime& last);

} // namespace dmm::logtool
