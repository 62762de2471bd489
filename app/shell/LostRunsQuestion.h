// SPDX-License-Identifier: MIT
// The questions about runs that did not end normally: what to do with them at
// start-up, the second confirmation before deleting, and whether to delete a
// run's file once its readings are saved.
#pragma once

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

#include "LostRuns.h"

class QWidget;

namespace dmm {

enum class LostRunsAnswer
{
    OpenNewest,
    OpenAnother, // one the user picks (chooseLostRun)
    Leave,
    Delete
};

// Names every run, newest first, and offers to open the newest (when one holds
// readings) or another one (when several do), to leave them, or to delete
// them. Closing the box or pressing Enter leaves them.
LostRunsAnswer askAboutLostRuns(QWidget* owner, const QString& directory,
                                const QList<LostRun>& runs);

// The runs that hold readings to pick one from, newest first and preselected;
// nothing when the user cancels.
std::optional<LostRun> chooseLostRun(QWidget* owner, const QList<LostRun>& runs);
// Tests answer the pick themselves: the index in `lines`, or -1 for Cancel.
void setLostRunChooser(std::function<int(const QStringList& lines)> chooser);

// The second question before deleting: true only for an explicit Yes.
bool confirmDeletingLostRuns(QWidget* owner, const QList<LostRun>& runs);

// Offered after the readings of `run` were saved: true only for an explicit Yes.
bool askDeletingSavedRun(QWidget* owner, const LostRun& run);

} // namespace dmm
