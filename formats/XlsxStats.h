// SPDX-License-Identifier: MIT
// The statistics table of StatsTable.h as an .xlsx workbook with typed cells:
// times as date-time cells shown to the millisecond, counts and values as
// numbers, names and units as text, an empty cell where the CSV has an empty
// field. The header row is frozen; rows past a sheet's limit go on the next
// sheet ("Statistics 2", ...). With `utc` the times are UTC and their headers
// say so ("start (UTC)"). Written in libxlsxwriter's constant-memory mode and
// replaced atomically (AtomicFile.h).
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string_view>

#include "IntervalStats.h"
#include "JobControl.h"

namespace dmm {

// Gets the intervals to write, each with the name of its recording (for the
// "file" column where `fileColumn`).
using StatsRowAdder = std::function<void(std::string_view file, const StatsInterval& interval)>;
// Feeds every interval to `add` in order; the reason when its input fails.
using StatsFeeder = std::function<std::optional<QString>(const StatsRowAdder& add)>;

// Writes the workbook to `path`; the reason when anything fails or
// job->cancel is set (then `path` is left as it was).
std::optional<QString> writeXlsxStats(const QString& path, bool utc, bool fileColumn,
                                      const StatsFeeder& feed, JobControl* job = nullptr);

} // namespace dmm
