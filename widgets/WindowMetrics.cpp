// SPDX-License-Identifier: MIT
#include "WindowMetrics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

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

namespace {

// The window manager's frame around a normal window, once learnt.
std::optional<QMargins> g_learntMargins;

QMargins realMargins(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

} // namespace

QMargins fixedFrameMargins(const QMargins& real)
{
    return {real.left(), real.top(), real.right(), real.left()};
}

// Once the window manager's frame is known, the frame and caption measures are
// its own; before that the style's.
int dialogFrameHeight()
{
    if (g_learntMargins)
        return g_learntMargins->left();
    return QApplication::style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
}

int sizingFrameHeight()
{
    return dialogFrameHeight();
}

int captionHeight()
{
    if (g_learntMargins)
        return std::max(0, g_learntMargins->top() - g_learntMargins->left());
    return QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

int menuBarHeight(const QMenuBar* menuBar)
{
    return menuBar ? menuBar->sizeHint().height()
                   : QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

QMargins frameMargins(const QWidget* window)
{
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    if (window->isVisible() && window->testAttribute(Qt::WA_WState_Created)) {
        const QMargins real = realMargins(window);
        if (!real.isNull())
            return real;
        if (g_learntMargins)
            return *g_learntMargins;
        return real;
    }
    if (g_learntMargins)
        return *g_learntMargins;
    const int f = dialogFrameHeight();
    return {f, f + captionHeight(), f, f};
}

void learnFrameMargins(QWidget* window)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        g_learntMargins = QMargins();
        return;
    }
    // The window manager reports its frame a little after the window is mapped.
    QElapsedTimer clock;
    clock.start();
    while (realMargins(window).isNull() && clock.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Learnt from the sides, which a resize handle never widens: the measures
    // stay the same whether the window was briefly sizeable when it was framed.
    g_learntMargins = fixedFrameMargins(realMargins(window));
}

void callWhenFramed(QWidget* window, std::function<void()> then)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        then();
        return;
    }
    auto* poll = new QTimer(window);
    poll->setInterval(20);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, tries, then] {
        if (!realMargins(window).isNull())
            then();
        else if (++*tries < 50)
            return;
        poll->deleteLater();
        poll->stop();
    });
    poll->start();
}

void setOuterGeometry(QWidget* window, int left, int top, int width, int height)
{
    const QMargins m = frameMargins(window);
    const QSize client(std::max(1, width - m.left() - m.right()),
                       std::max(1, height - m.top() - m.bottom()));
    // move() places the frame's corner, resize() sets the client area.
    window->move(left, top);
    // A fixed window goes straight from one fixed size to the next: were it
    // sizeable for a moment, the window manager would frame it with a handle.
    if (window->maximumWidth() < QWIDGETSIZE_MAX || window->maximumHeight() < QWIDGETSIZE_MAX) {
        window->setFixedSize(client);
        return;
    }
    if (window->minimumSize().width() > client.width() ||
        window->minimumSize().height() > client.height())
        window->setMinimumSize(window->minimumSize().boundedTo(client));
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

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        screen = QApplication::primaryScreen();
    if (screen)
        window->move(screen->geometry().center() - window->rect().center());
}

} // namespace dmm
