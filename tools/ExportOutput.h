// SPDX-License-Identifier: MIT
// What every mode of dmm-export says and writes: failures on standard error,
// output on standard output with every write checked.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

#include "AtomicFile.h"

namespace dmm {
class RecordFileReader;
}

namespace dmm::exporttool {

// "dmm-export: MESSAGE" on standard error; returns the failure exit status 1.
int failure(const QString& message);

// Why a reader stopped before the end its file's size promised.
QString truncationReason(const RecordFileReader& reader);

// False with the system's reason when standard output takes not every byte.
bool writeStdout(const QByteArray& bytes, QString* error);
bool flushStdout(QString* error);

// SIGINT and SIGTERM while an output file is written (for as long as one of
// these lives) stop the write through job.cancel, so that the atomic writer
// removes its temporary file and leaves the old file as it was. The handler
// only stores to lock-free atomics. Outside a write the signals end the
// program as they always do; one ignored from the start stays ignored. One
// write at a time.
class StopOnSignals
{
public:
    explicit StopOnSignals(JobControl& job);
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // When a signal stopped the write: "OUTPUT: not written, stopped by
    // SIGINT (...)" on standard error and the exit status 1; else none.
    std::optional<int> reportStop(const QString& output) const;
};

// Writes the blocks `next` produces to the file `output` through the atomic
// writer, or to standard output where `output` is empty. A producer whose
// recording failed sets job.cancel: no file is replaced, and the message is
// `inputFailure()`. A file write stops on SIGINT and SIGTERM (StopOnSignals).
// Returns 0, or 1 after a message on standard error.
int writeOutput(const QString& output, const BlockProducer& next, JobControl& job,
                const std::function<QString()>& inputFailure);

} // namespace dmm::exporttool
