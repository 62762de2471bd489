// SPDX-License-Identifier: MIT
// File work off the UI thread (runInBackground, BackgroundThread.h), so the
// window never freezes behind a long save or export, and its progress window.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include "BackgroundThread.h"

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
