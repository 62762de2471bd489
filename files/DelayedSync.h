// SPDX-License-Identifier: MIT
// Files written record by record reach the disk itself (fdatasync) right
// after each write, on a thread of their own: the caller never waits for the
// disk, and a record is on the disk long before the next poll brings another
// (a power cut loses at most the record being written). Writes that come
// while a sync runs are taken by the next one.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "JobControl.h"

namespace dmm {

class DelayedSync
{
public:
    DelayedSync();
    ~DelayedSync();
    DelayedSync(const DelayedSync&) = delete;
    DelayedSync& operator=(const DelayedSync&) = delete;

    // Bytes were written to `fd`: the thread syncs it now, or right after the
    // sync under way.
    void written(int fd);
    // Syncs `fd` now, waiting for the disk; 0 or the errno of a failed sync
    // (this one or a delayed one since the last look).
    int syncNow(int fd);
    // Before `fd` is closed: it is dropped, once a sync under way has ended.
    void forget(int fd);
    // The errno of a delayed sync of `fd` that failed since the last look, or 0.
    int takeError(int fd);

    // Syncs done on the thread, for the benchmark.
    long long syncCount() const;

    // Tests put a failing fdatasync in place (nullptr: the real one again).
    using SyncFunction = int (*)(int fd);
    static void setSyncFunctionForTests(SyncFunction function);

private:
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<int> m_dirty;
    std::set<int> m_inFlight;
    std::map<int, int> m_errors;
    long long m_syncs = 0;
    JobControl m_job; // cancelled under the mutex, so that the waits see it
    std::thread m_thread;
};

} // namespace dmm
