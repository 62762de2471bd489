// SPDX-License-Identifier: MIT
// The about box's lines.
#pragma once

#include <QString>
#include <QStringList>

namespace dmm {

// "System: Linux 6.1": the platform family and its major.minor version.
QString systemLine(const QString& kernelType, const QString& kernelVersion);
// Model, title, version, date, the two lines of the rights notice, the system line.
QStringList aboutLines();

} // namespace dmm
