// SPDX-License-Identifier: MIT
// Runs that did not end normally: the recorder's temporary files ~KOPLXn.TMP
// left in the start-up directory by a program that crashed or was killed.
// A file that a running program holds (it locks its temporary files for as
// long as it lives) belongs to that program and is not a lost run.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

#include "Record.h"

namespace dmm {

struct LostRun
{
    QString path;
    qint64 readings = 0;         // whole records; a partial tail does not count
    QDateTime lastWritten;       // the file's modification time
    std::optional<TARecord> first; // the oldest and the newest whole record
    std::optional<TARecord> last;
};

// Reads the file's size and its first and last whole record.
LostRun describeLostRun(const QString& path);

// The lost runs in `directory`, newest (last written) first. Only regular
// files count; those another program holds are left out.
QList<LostRun> findLostRuns(const QString& directory);

// The newest run that holds readings, or nothing.
std::optional<LostRun> newestWithReadings(const QList<LostRun>& runs);

// One line per run: "~KOPLX2.TMP: 1234 readings, 14:03:22.5 to 15:10:01.0,
// last written 2026-12-07 15:10".
QString lostRunLine(const LostRun& run);

// Whether `records` (the first `count` of them read by `at`) still begin with
// the run: its count fits and its first and last records are equal. Cheap
// enough for any size, and a different run never matches both ends.
template <typename RecordAt>
bool beginsWithRun(const LostRun& run, qint64 count, RecordAt at)
{
    if (!run.first || !run.last || run.readings == 0 || count < run.readings)
        return false;
    return at(0) == *run.first && at(run.readings - 1) == *run.last;
}

} // namespace dmm
