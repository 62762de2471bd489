// SPDX-License-Identifier: MIT
// What every mode of dmm-export says and writes: failures on standard error,
// output on standard output with every write checked.
#pragma once

#include <QByteArray>
#include <QString>

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

} // namespace dmm::exporttool
