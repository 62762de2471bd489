// SPDX-License-Identifier: MIT
#include "WindowMetrics.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace dmm {

ScreenMetrics screenMetrics()
{
    ScreenMetrics metrics;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return metrics;
    metrics.screen = screen->geometry().size();
    metrics.taskBarHeight =
        std::max(0, screen->geometry().height() - screen->availableGeometry().height());
    return metrics;
}

int dialogFrameHeight()
{
    return QApplication::style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
}

int sizingFrameHeight()
{
    return dialogFrameHeight();
}

int captionHeight()
{
    return QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

int menuBarHeight(const QMenuBar* menuBar)
{
    return menuBar ? menuBar->sizeHint().height()
                   : QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

QMargins frameMargins(const QWidget* window)
{
    if (window->isVisible() && window->testAttribute(Qt::WA_WState_Created)) {
        const QRect frame = window->frameGeometry();
        const QRect client = window->geometry();
        return {client.left() - frame.left(), client.top() - frame.top(),
                frame.right() - client.right(), frame.bottom() - client.bottom()};
    }
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    const int f = dialogFrameHeight();
    return {f, f + captionHeight(), f, f};
}

void setOuterGeometry(QWidget* window, int left, int top, int width, int height)
{
    const QMargins m = frameMargins(window);
    const QSize client(std::max(1, width - m.left() - m.right()),
                       std::max(1, height - m.top() - m.bottom()));
    // move() places the frame's corner, resize() sets the client area.
    window->move(left, top);
    if (window->minimumSize().width() > client.width() ||
        window->minimumSize().height() > client.height())
        window->setMinimumSize(window->minimumSize().boundedTo(client));
    if (window->maximumWidth() < QWIDGETSIZE_MAX || window->maximumHeight() < QWIDGETSIZE_MAX)
        window->setFixedSize(client);
    else
        window->resize(client);
}

QSize outerSize(const QWidget* window)
{
    const QMargins m = frameMargins(window);
    return window->size().grownBy(m);
}

int outerHeight(const QWidget* window)
{
    return outerSize(window).height();
}

int outerWidth(const QWidget* window)
{
    return outerSize(window).width();
}

void bringToFront(QWidget* window, bool showIfHidden)
{
    if (!window)
        return;
    if (showIfHidden && window->isHidden())
        window->show();
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}

} // namespace dmm
