// SPDX-License-Identifier: MIT
// Work that may open a modal dialog, run once the call that asked for it has
// returned: a screen reader's Press on a button or a menu item runs inside
// the reader's call, and a dialog opened there would keep the reader waiting
// ("Did not receive a reply") until the dialog closed.
#pragma once

#include <QString>

#include <functional>

class QAction;
class QMenu;
class QObject;

namespace dmm {

// Runs `work` from the event loop of `context`'s thread, once the current
// call has returned; dropped when `context` is gone by then.
void runAfterReturn(QObject* context, std::function<void()> work);

// A menu entry whose `work` runs after the trigger has returned (a click, a
// shortcut or a screen reader's Press all trigger it), if the entry is still
// enabled then.
QAction* addCommandAfterReturn(QMenu* menu, const QString& text, QObject* context,
                               std::function<void()> work);

} // namespace dmm
