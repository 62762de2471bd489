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

// A black panel with text in `colour`, `width` wide (0: any width).
QLabel* makeColouredPanel(QWidget* parent, const char* objectName, const QColor& colour,
                          const QFont& font, int width, Qt::Alignment alignment = Qt::AlignCenter);
// A bold caption in `colour` ("Max." in red, "Min." in fuchsia).
QLabel* makeColouredCaption(QWidget* parent, const QString& text, const QColor& colour);

// Sets the face, the alignment and the text as `style` says; touches the label
// only where something changed, so an unchanged reading repaints nothing.
void showInFace(QLabel* label, const QString& text, const PanelStyle& style);

} // namespace dmm
