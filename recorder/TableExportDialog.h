// SPDX-License-Identifier: MIT
// Where the recorder's table goes and how it is written: the save dialog with
// the separator and decimal-comma choices under the file list.
#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "TableExport.h"

class QWidget;

namespace dmm {

struct TableTarget
{
    QString path;
    TableFormat format;
};

// Default extension csv, `proposedName` in the name box; the choices start from the
// user's locale. None when the user cancels.
std::optional<TableTarget> chooseTableTarget(QWidget* parent, const QString& proposedName);

} // namespace dmm
