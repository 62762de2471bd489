// SPDX-License-Identifier: MIT
#include "DelayedSync.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

namespace dmm {

namespace {

std::atomic<DelayedSync::SyncFunction> g_syncFunction{nullptr};

int syncDescriptor(int fd)
{
    const DelayedSync::SyncFunction sync = g_syncFunction.load();
    int rc;
    do
        rc = sync ? sync(fd) : ::fdatasync(fd);
    while (rc != 0 && errno == EINTR);
    // A null device or a pipe cannot be synced: nothing is lost by that.
    return rc == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
}

} // namespace

DelayedSync::DelayedSync() : m_thread([this] { run(); }) {}

DelayedSync::~DelayedSync()
{
    {
        std::lock_guard lock(m_mutex);
        m_job.cancel = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void DelayedSync::written(int fd)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_dirty.insert(fd).second)
            return;
    }
    m_changed.notify_all();
}

int DelayedSync::syncNow(int fd)
{
    {
        std::unique_lock lock(m_mutex);
        m_dirty.erase(fd);
        m_changed.wait(lock, [&] { return !m_inFlight.contains(fd); });
    }
    const int error = syncDescriptor(fd);
    const int earlier = takeError(fd);
    return error != 0 ? error : earlier;
}

void DelayedSync::forget(int fd)
{
    std::unique_lock lock(m_mutex);
    m_dirty.erase(fd);
    m_changed.wait(lock, [&] { return !m_inFlight.contains(fd); });
    m_errors.erase(fd);
}

int DelayedSync::takeError(int fd)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_errors.find(fd);
    if (it == m_errors.end())
        return 0;
    const int error = it->second;
    m_errors.erase(it);
    return error;
}

void DelayedSync::setSyncFunctionForTests(SyncFunction function)
{
    g_syncFunction.store(function);
}

long long DelayedSync::syncCount() const
{
    std::lock_guard lock(m_mutex);
    return m_syncs;
}

void DelayedSync::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_job.cancel || !m_dirty.empty(); });
        if (m_job.cancel)
            return;
        const std::vector<int> fds(m_dirty.begin(), m_dirty.end());
        m_dirty.clear();
        m_inFlight.insert(fds.begin(), fds.end());
        lock.unlock();
        std::vector<std::pair<int, int>> failures;
        for (const int fd : fds)
            if (const int error = syncDescriptor(fd))
                failures.emplace_back(fd, error);
        lock.lock();
        for (const auto& [fd, error] : failures)
            m_errors[fd] = error;
        for (const int fd : fds)
            m_inFlight.erase(fd);
        m_syncs += static_cast<long long>(fds.size());
        m_changed.notify_all();
    }
}

} // namespace dmm
