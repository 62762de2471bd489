// SPDX-License-Identifier: MIT
// Message boxes captioned "Error[E9001]" / "Warning[W8001]" with texts from
// the string table.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

namespace dmm {

struct MessageBoxRequest
{
    QString caption;
    QString text;
    QString detail; // the system's reason, shown as the box's detail text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    int messageId = 0;
    // Buttons whose text is the program's own ("Open the newest"), not the standard one.
    QList<QPair<QMessageBox::StandardButton, QString>> buttonTexts;
    // The detail is a list, one entry a line: each line is shown whole, in a
    // box as wide as the longest line, up to the screen's width.
    bool wholeDetailLines = false;
};

// Shows a box for `owner` (may be null: the desktop). The caption is entry
// `captionId` filled with `messageId`, the text entry `messageId`; the icon is
// the exclamation mark for the warning caption and the stop sign otherwise,
// unless `icon` says otherwise. Returns the button pressed.
int ShowMsgBox(QWidget* owner, int captionId, int messageId,
               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
               QMessageBox::Icon icon = QMessageBox::NoIcon, const QString& detail = {},
               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
               const QString& textOverride = {});

int showMessageBox(QWidget* owner, const MessageBoxRequest& request);

// Tests replace the modal box with a handler that records the request and
// answers it. An empty function restores the real boxes.
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
void setMessageBoxHandler(MessageBoxHandler handler);

} // namespace dmm
