// SPDX-License-Identifier: MIT
// Reading a recording, or the recorder's buffer, as a trace for the viewer.
// Runs on a worker thread: it touches no widget and stops when its job is
// cancelled.
#pragma once

#include <QDate>
#include <QString>

#include <optional>

#include "JobControl.h"
#include "RecordBuffer.h"
#include "TraceSet.h"

namespace dmm {

struct TraceLoad
{
    std::optional<TraceData> trace; // none: failed or cancelled
    QString error;                  // why it failed; empty when cancelled
    bool outOfMemory = false;
};

// The recording at `path`, named after its file. A file that cannot be
// opened (a FIFO, a folder, a missing file), or holds no reading with a time
// and a value, fails with the reason. A file that ends before its size
// promised gives the readings before that, as the recorder's Open does.
TraceLoad loadTraceFile(const QString& path, JobControl* job);

// The readings of `records` (a snapshot of the recorder's buffer); readings
// without a date stamp are dated back from `lastRecordDate`.
TraceLoad loadTraceRecords(const RecordBuffer::Snapshot& records, QDate lastRecordDate,
                           const QString& name, JobControl* job);

} // namespace dmm
