// SPDX-License-Identifier: MIT
#include "MessageBox.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

#include "StringTable.h"

namespace dmm {

namespace {

// Longer details (a list of many files) scroll in a box this many lines high,
// so that the box and its buttons stay on the screen.
constexpr int kShownDetailLines = 12;

MessageBoxHandler& handler()
{
    static MessageBoxHandler instance;
    return instance;
}

// Puts `detail` under the box's text in a read-only view that scrolls; false
// when the box is not laid out as expected (the caller then shows it as text).
bool addScrollingDetail(QMessageBox& box, const QString& detail)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* text = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const int index = grid && text ? grid->indexOf(text) : -1;
    if (index < 0)
        return false;
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    if (grid->itemAtPosition(row + 1, column))
        return false;

    auto* view = new QPlainTextEdit(detail, &box);
    view->setObjectName(QStringLiteral("dmm_msgbox_detail"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setAccessibleName(box.text());
    const QFontMetrics metrics(view->font());
    int longest = 0;
    for (const QString& line : detail.split(QLatin1Char('\n')))
        longest = std::max(longest, metrics.horizontalAdvance(line));
    const int frame = 2 * view->frameWidth() + 2 * int(view->document()->documentMargin());
    const int scrollBar = view->verticalScrollBar()->sizeHint().width();
    const QScreen* screen = box.screen();
    const int widest = screen ? screen->availableGeometry().width() * 3 / 5 : 600;
    view->setFixedSize(std::min(longest + frame + scrollBar, widest),
                       kShownDetailLines * metrics.lineSpacing() + frame);
    grid->addWidget(view, row + 1, column, 1, columnSpan);
    return true;
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
    if (request.detail.count(QLatin1Char('\n')) + 1 > kShownDetailLines) {
        if (!addScrollingDetail(box, request.detail))
            box.setInformativeText(request.detail);
    } else if (!request.detail.isEmpty()) {
        box.setInformativeText(request.detail);
    }
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
