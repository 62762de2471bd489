// SPDX-License-Identifier: MIT
// File work off the UI thread: the work runs on a thread of its own while
// this thread's events go on, so the window never freezes behind a long save
// or export.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>

namespace dmm {

// Runs `work` on another thread and returns once it has ended. Meanwhile the
// event loop runs, and `tick` is called on this thread every 50 ms. `work`
// must not throw and must not touch widgets.
void runInBackground(const std::function<void()>& work, const std::function<void()>& tick);

} // namespace dmm

namespace dmm {

class TMsgForm;

// The progress window for work that is silent while short: it appears only
// once the work has taken half a second, and goes when this object does. Its
// Abort button shows only for `abortable` work, and then stops it without a
// question (clearing bBusy, as it does for a load): such work loses nothing.
class LateProgress
{
public:
    LateProgress(TMsgForm* window, const QString& message, bool abortable = false);
    ~LateProgress();
    LateProgress(const LateProgress&) = delete;
    LateProgress& operator=(const LateProgress&) = delete;

    // `done` of `total` (any unit); shows the window once it is due.
    void update(qint64 done, qint64 total);

private:
    TMsgForm* m_window;
    QString m_message;
    bool m_abortable;
    QElapsedTimer m_elapsed;
    bool m_shown = false;
};

} // namespace dmm
