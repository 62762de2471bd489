// SPDX-License-Identifier: MIT
// dmm-export --table of several recordings: one table joined by time
// (TableJoin.h), its columns named after the files, streamed from them side
// by side.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

#include "TableExport.h"

namespace dmm::exporttool {

struct JoinRequest
{
    QStringList recordings;
    QString output; // empty: standard output; a name ending in .xlsx: a workbook
    TableFormat format;
    std::optional<QDate> firstDate; // --date, for each recording's first reading
    QString power;                  // --power "a*b" of the files' names; empty: none
};

// The column names of the recordings: each file's name without its folder and
// its last extension ("logs/run-volts.g52" gives "run-volts"). Empty with
// `error` set where two are the same or a name would not do in a header.
QStringList joinNames(const QStringList& recordings, QString* error);

// Writes the table and a closing line on standard error. Returns 0, 1 after
// a message on standard error, or 2 for a --power naming no recording.
int writeJoinedTable(const JoinRequest& request);

} // namespace dmm::exporttool
