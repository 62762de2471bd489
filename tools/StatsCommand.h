// SPDX-License-Identifier: MIT
// dmm-export --stats: recordings as statistics per interval (StatsTable.h),
// streamed record by record from each file, so memory does not grow with the
// recordings.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

#include "TableExport.h"

namespace dmm::exporttool {

struct StatsRequest
{
    QStringList recordings;
    QString output; // empty: standard output; a name ending in .xlsx: a workbook
    TableFormat format;
    // The intervals' length; none: one interval over each recording.
    std::optional<std::chrono::milliseconds> every;
};

// Writes the statistics and one closing line on standard error saying how
// many readings and rows they hold. Returns 0, or 1 after a message on
// standard error.
int writeStats(const StatsRequest& request);

} // namespace dmm::exporttool
