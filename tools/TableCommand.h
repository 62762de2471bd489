// SPDX-License-Identifier: MIT
// dmm-export --table: a recording as the table of TableExport.h, streamed
// record by record from the file.
#pragma once

#include <QDate>
#include <QString>

#include <optional>
#include <string>

#include "RecordBuffer.h"
#include "TableExport.h"

namespace dmm::exporttool {

struct TableRequest
{
    QString recording;
    QString output; // empty: standard output
    TableFormat format;
    // The date of the first reading, for readings without a date stamp;
    // none: the file's modification date is the date of the last reading.
    std::optional<QDate> firstDate;
    bool quiet = false; // no progress line on a terminal
};

// Writes the table and one closing line on standard error saying how many
// readings were written and whether dates were inferred. Returns 0, or 1
// after a message on standard error.
int writeTable(const TableRequest& request);

// The date of the recording's first reading: `given` (--date), else counted
// back from the last reading or the first stamped one, which takes a first
// pass over the texts (`fromStamp` tells which). None with the reason when
// the file cannot be read.
std::optional<QDate> recordingFirstDate(const QString& path, const std::optional<QDate>& given,
                                        QString* reason, bool* fromStamp = nullptr);

} // namespace dmm::exporttool
