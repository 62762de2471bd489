// SPDX-License-Identifier: MIT
// The tool buttons that show only a picture: flat, a 16-pixel picture from the
// artwork (with its own greyed look when disabled), and their hint as tooltip
// and as the name a screen reader reads. A screen reader's Press (or Toggle)
// does what a mouse click does, once, after the reader's call has returned.
#pragma once

#include <QString>

class QToolButton;
class QWidget;

namespace dmm {

QToolButton* makePictureButton(QWidget* parent, const QString& art, const QString& hint,
                               const QString& disabledArt = {});

} // namespace dmm
