// SPDX-License-Identifier: MIT
#include "TraceLoad.h"

#include <QFileInfo>

#include <new>

#include "RecordDates.h"
#include "RecordFile.h"
#include "RecordRuns.h"

namespace dmm {

namespace {

// Cancelled or empty loads give no trace.
TraceLoad finished(TraceData&& trace, const QString& path, JobControl* job)
{
    TraceLoad load;
    if (job && job->cancel)
        return load;
    if (trace.size() == 0) {
        load.error = path + QStringLiteral(": ") +
                     QStringLiteral("no reading in it has a time and a value.");
        return load;
    }
    trace.plotted = plottedReadings(trace);
    load.trace = std::move(trace);
    return load;
}

} // namespace

TraceLoad loadTraceFile(const QString& path, JobControl* job)
{
    TraceLoad load;
    try {
        // Dates counted back from the last reading (or the first stamped one)
        // take a first pass over the texts.
        RecordFileReader counter;
        QString reason;
        if (!counter.open(path, &reason)) {
            load.error = path + QStringLiteral(": ") + reason;
            return load;
        }
        RecordRuns counted(counter);
        const QDate firstDate = firstRecordDate(counted, fileModificationDate(path));
        RecordFileReader reader;
        if (!reader.open(path, &reason)) {
            load.error = path + QStringLiteral(": ") + reason;
            return load;
        }
        RecordRuns runs(reader);
        return finished(traceFromRecords(runs, firstDate, QFileInfo(path).fileName(), job), path,
                        job);
    } catch (const std::bad_alloc&) {
        load.outOfMemory = true;
        return load;
    }
}

TraceLoad loadTraceRecords(const RecordBuffer::Snapshot& records, QDate lastRecordDate,
                           const QString& name, JobControl* job)
{
    try {
        RecordRuns counted(records);
        const QDate firstDate = firstRecordDate(counted, lastRecordDate);
        RecordRuns runs(records);
        return finished(traceFromRecords(runs, firstDate, name, job), name, job);
    } catch (const std::bad_alloc&) {
        TraceLoad load;
        load.outOfMemory = true;
        return load;
    }
}

} // namespace dmm
