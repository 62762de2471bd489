// SPDX-License-Identifier: MIT
// Long work off the UI thread: the work runs on a thread of its own while
// this thread's events go on, so a window never freezes behind it.
#pragma once

#include <functional>

namespace dmm {

// Runs `work` on another thread and returns once it has ended. Meanwhile the
// event loop runs, and `tick` is called on this thread every 50 ms. `work`
// must not throw and must not touch widgets.
void runInBackground(const std::function<void()>& work, const std::function<void()>& tick);

} // namespace dmm
