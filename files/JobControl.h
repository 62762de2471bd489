// SPDX-License-Identifier: MIT
// The one shape of a job another thread waits for (a load, a save, an export,
// a table): the waiting thread sets cancel, the job counts what it has done.
#pragma once

#include <QtGlobal>

#include <atomic>

namespace dmm {

struct JobControl
{
    // Set to stop the job: a load keeps nothing, a write replaces nothing. A
    // producer whose input failed sets it too.
    std::atomic<bool> cancel{false};
    std::atomic<qint64> done{0}; // records read, or bytes written
};

} // namespace dmm
