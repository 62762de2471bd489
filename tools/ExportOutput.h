// SPDX-License-Identifier: MIT
// What every mode of dmm-export says and writes: failures on standard error,
// output on standard output with every write checked.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

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

// Writes the blocks `next` produces to the file `output` through the atomic
// writer, or to standard output where `output` is empty. A producer whose
// recording failed sets job.cancel: no file is replaced, and the message is
// `inputFailure()`. Returns 0, or 1 after a message on standard error.
int writeOutput(const QString& output, const BlockProducer& next, JobControl& job,
                const std::function<QString()>& inputFailure);

} // namespace dmm::exporttool
