// SPDX-License-Identifier: MIT
// The program's pictures are vector artwork; the windows need them as pixmaps
// of exact pixel sizes.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace dmm {

// ":/art/NAME.svg" rendered to exactly `size` logical pixels at the given
// device pixel ratio. A missing or broken picture gives a plain grey field of
// the same size, so a window never lacks its geometry.
QPixmap artworkPixmap(const QString& name, QSize size, qreal devicePixelRatio = 1.0);

// A window or button icon from the artwork, rendered at the usual icon sizes;
// `disabledName` is the picture's own greyed-out look for a disabled button.
QIcon artworkIcon(const QString& name, const QString& disabledName = {});

} // namespace dmm
