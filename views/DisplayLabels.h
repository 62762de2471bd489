// SPDX-License-Identifier: MIT
// The meters' black panels with lime characters, and how a prefix or unit
// text is put into one in the face its function code asks for.
#pragma once

#include <QFont>
#include <QString>
#include <Qt>

#include "PanelFaces.h"

class QLabel;
class QWidget;

namespace dmm {

QLabel* makeDisplayLabel(QWidget* parent, const char* objectName, const QFont& font,
                         Qt::Alignment alignment = Qt::AlignCenter);

// Sets the face, the alignment and the text as `style` says; touches the label
// only where something changed, so an unchanged reading repaints nothing.
void showInFace(QLabel* label, const QString& text, const PanelStyle& style);

} // namespace dmm
