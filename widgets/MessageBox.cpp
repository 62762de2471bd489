// SPDX-License-Identifier: MIT
#include "MessageBox.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <memory>

#include "StringTable.h"
#include "WindowMetrics.h"

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

// A box whose short detail is a list: QMessageBox wraps its informative text
// at about 500 pixels, which breaks each entry in the middle. Here the box is
// widened, each time QMessageBox has sized it, until the longest line fits,
// as far as the screen allows.
class WholeLinesBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    bool event(QEvent* event) override
    {
        const bool handled = QMessageBox::event(event);
        if (event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest)
            fitLongestLine();
        return handled;
    }

private:
    void fitLongestLine()
    {
        auto* detail = findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        if (!detail || !isVisible() || !layout())
            return;
        const QFontMetrics metrics(detail->font());
        int longest = 0;
        for (const QString& line : detail->text().split(QLatin1Char('\n')))
            longest = std::max(longest, metrics.horizontalAdvance(line));
        const QMargins margins = detail->contentsMargins();
        int lineWidth = longest + margins.left() + margins.right() + 2 * detail->margin();
        detail->setMinimumWidth(lineWidth);
        layout()->activate();
        int boxWidth = layout()->totalMinimumSize().width();
        const QMargins frame = frameMargins(this);
        const int widest = (screen() ? screen()->availableGeometry().width() : boxWidth) -
                           frame.left() - frame.right();
        if (boxWidth > widest) {
            // Longer than the screen is wide: such a line wraps after all.
            lineWidth -= boxWidth - widest;
            detail->setMinimumWidth(std::max(0, lineWidth));
            boxWidth = widest;
        }
        if (boxWidth > width()) {
            layout()->activate();
            setFixedSize(boxWidth, layout()->hasHeightForWidth()
                                       ? layout()->totalHeightForWidth(boxWidth)
                                       : layout()->totalMinimumSize().height());
        }
        // Sized: QMessageBox would size it afresh for the new minimum.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    }
};

} // namespace

void setMessageBoxHandler(MessageBoxHandler h)
{
    handler() = std::move(h);
}

int showMessageBox(QWidget* owner, const MessageBoxRequest& request)
{
    if (handler())
        return handler()(request);
    std::unique_ptr<QMessageBox> shown =
        request.wholeDetailLines
            ? std::make_unique<WholeLinesBox>(request.icon, request.caption, request.text,
                                              request.buttons, owner)
            : std::make_unique<QMessageBox>(request.icon, request.caption, request.text,
                                            request.buttons, owner);
    QMessageBox& box = *shown;
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
