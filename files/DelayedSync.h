// SPDX-License-Identifier: MIT
// Files written record by record reach the disk itself (fdatasync) at most
// about a second after each write, on a thread of their own: the caller never
// waits for the disk, and a power cut loses at most the last second.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace dmm {

class DelayedSync
{
public:
    explicit DelayedSync(std::chrono::milliseconds interval = std::chrono::seconds(1));
    ~DelayedSync();
    DelayedSync(const DelayedSync&) = delete;
    DelayedSync& operator=(const DelayedSync&) = delete;

    // Bytes were written to `fd`: it is synced within the interval.
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

    const std::chrono::milliseconds m_interval;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<int> m_dirty;
    std::set<int> m_inFlight;
    std::map<int, int> m_errors;
    std::chrono::steady_clock::time_point m_lastSync{};
    long long m_syncs = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace dmm
