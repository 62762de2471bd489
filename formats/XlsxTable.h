// SPDX-License-Identifier: MIT
// The table of TableExport.h as an .xlsx workbook with typed cells, for
// spreadsheets that misread CSV (a comma locale, a legacy charset): time as
// a date-time cell shown to the millisecond, value as a number in SI base
// units (empty for an overload), unit, display and sub-display as UTF-8
// text. The header row is frozen and filtered; rows past a sheet's limit
// go on the next sheet ("Table 2", ...); a last sheet "Summary" has one row
// per unit. Written in libxlsxwriter's constant-memory mode (its temporary
// files in the output's folder) and replaced atomically (AtomicFile.h).
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>

#include "JobControl.h"
#include "RecordDates.h"

namespace dmm {

// A sheet's rows below its header: 1,048,576 in all.
inline constexpr std::size_t kXlsxSheetRows = 1'048'575;

// A name the table is written as a workbook to: ending in ".xlsx", any case.
bool isXlsxName(const QString& path);

struct XlsxTableResult
{
    qint64 rows = 0;
    bool datesInferred = false;
};

// Writes the workbook of `records` to `path`; the reason when anything fails
// or job->cancel is set (then `path` is left as it was). `rowsPerSheet` is
// kXlsxSheetRows except in tests.
std::optional<QString> writeXlsxTable(const QString& path, bool utc, QDate firstRecordDate,
                                      RecordRuns& records, JobControl* job, XlsxTableResult* result,
                                      std::size_t rowsPerSheet = kXlsxSheetRows);

class JoinedRows;

// The joined table of several recordings (TableJoin.h) as a workbook: the
// columns of MeterTable.h as typed cells, and a Summary row per meter and
// function ("volts: DC V").
std::optional<QString> writeXlsxJoinedTable(const QString& path, bool utc, const QStringList& names,
                                            JoinedRows& rows, JobControl* job,
                                            std::size_t rowsPerSheet = kXlsxSheetRows);

} // namespace dmm
