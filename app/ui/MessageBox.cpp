// SPDX-License-Identifier: MIT
#include "MessageBox.h"

#include <QAbstractButton>

#include "StringTable.h"

namespace dmm {

namespace {

MessageBoxHandler& handler()
{
    static MessageBoxHandler instance;
    return instance;
}

} // namespace

void setMessageBoxHandler(MessageBoxHandler h)
{
    handler() = std::move(h);
}

int showMessageBox(QWidget* owner, const MessageBoxRequest& request)
{
    if (handler())
        return handler()(request);
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, owner);
    if (!request.detail.isEmpty())
        box.setInformativeText(request.detail);
    for (const auto& [button, text] : request.buttonTexts)
        if (QAbstractButton* shown = box.button(button))
            shown->setText(text);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    if (!owner)
        box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}

int ShowMsgBox(QWidget* owner, int captionId, int messageId, QMessageBox::StandardButtons buttons,
               QMessageBox::Icon icon, const QString& detail,
               QMessageBox::StandardButton defaultButton, const QString& textOverride)
{
    MessageBoxRequest request;
    request.caption = messageCaption(captionId, messageId);
    request.text = textOverride.isEmpty() ? tableString(messageId) : textOverride;
    request.detail = detail;
    request.icon =
        icon != QMessageBox::NoIcon
            ? icon
            : (captionId == kStrWarningCaption ? QMessageBox::Warning : QMessageBox::Critical);
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    request.messageId = messageId;
    return showMessageBox(owner, request);
}

} // namespace dmm
