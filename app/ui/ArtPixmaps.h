// SPDX-License-Identifier: MIT
// The program's pictures: SVG artwork rendered at the exact sizes the windows use.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace dmm {

// ":/art/<name>.svg" rendered at `size`; a neutral grey tile when the picture is missing.
QPixmap artPixmap(const QString& name, QSize size);
// An icon with the picture at the usual icon sizes; `disabledName` gives its disabled look.
QIcon artIcon(const QString& name, const QString& disabledName = {});

} // namespace dmm
