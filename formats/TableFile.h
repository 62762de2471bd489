// SPDX-License-Identifier: MIT
// A table of readings written to a file: a workbook where the name ends in
// ".xlsx", comma-separated text otherwise. The one choice the recorder's
// Export table and dmm-export --table -o make.
#pragma once

#include <QDate>
#include <QString>

#include <optional>

#include "JobControl.h"
#include "RecordRuns.h"
#include "TableExport.h"

namespace dmm {

struct TableFileResult
{
    qint64 rows = 0;
    bool datesInferred = false; // some reading's date was inferred, not read from its stamp
};

// Writes the table of `records` to `path`, replacing it only once every byte
// is written; the reason when anything fails or job->cancel is set (then
// `path` is left as it was). A workbook takes only format.utc of `format`.
std::optional<QString> writeTableFile(const QString& path, const TableFormat& format,
                                      QDate firstRecordDate, RecordRuns& records, JobControl* job,
                                      TableFileResult* result);

} // namespace dmm
