// SPDX-License-Identifier: MIT
// Screen and window-frame measures shared by every window's placement.
// Window sizes in the placement rules are outer sizes (frame included).
#pragma once

#include <QMargins>
#include <QSize>

#include <functional>

class QWidget;
class QMenuBar;

namespace dmm {

struct ScreenMetrics
{
    QSize screen;          // the whole primary screen
    int taskBarHeight = 0; // screen height - available height; 0 when nothing is reserved
};

ScreenMetrics screenMetrics();

// The frame of a window the user cannot resize, from the real frame of any
// window: the bottom edge is as wide as the sides, as a sizeable window's
// resize handle at the bottom is not part of a fixed window's frame.
QMargins fixedFrameMargins(const QMargins& real);

// Frame measures: the window manager's once learnt, before that the style's.
int dialogFrameHeight();
int sizingFrameHeight();
int captionHeight();
int menuBarHeight(const QMenuBar* menuBar);

// The frame around `window`'s client area: the window system's real margins
// once it has framed the window; before that the margins learnt from the main
// window, or failing that the style's estimate.
QMargins frameMargins(const QWidget* window);

// Waits (at most a second, events keep running) until the window manager has
// framed the shown `window`, and remembers its margins for the windows placed
// after it. Platforms without window frames return at once.
void learnFrameMargins(QWidget* window);

// Runs `then` once the window manager has framed the shown `window` (at once
// on platforms without frames; never when no frame comes within a second).
// A sizeable window's frame has a resize handle that the learnt measures leave
// out, so such a window is placed again with its real frame.
void callWhenFramed(QWidget* window, std::function<void()> then);

// Places a top-level window by its outer rectangle.
void setOuterGeometry(QWidget* window, int left, int top, int width, int height);
QSize outerSize(const QWidget* window);
int outerHeight(const QWidget* window);

// Restores a minimised window, shows a hidden one (when asked) and raises it
// above the program's other windows.
void bringToFront(QWidget* window, bool showIfHidden = true);

// Places a dialog or box in the middle of its screen (the primary one until
// it has its own).
void centreOnScreen(QWidget* window);

} // namespace dmm
