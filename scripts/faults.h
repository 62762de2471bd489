// SPDX-License-Identifier: MIT
// The switch behind every fault that scripts/faults.py compiles into its own
// copy of the sources; force-included (-include) into every file of that build
// and never into the real one. DMM_FAULT=N in the environment, read once per
// process, turns on fault N; nothing else changes. DMM_FAULT_TRACE=DIR makes
// every process note each fault it reaches in DIR/<pid>, one number a line,
// the moment it first reaches it, so a process killed with SIGKILL still tells.
// Child processes inherit both variables: a fault in dmm-log counts for the
// test that started it.
#pragma once

#ifdef __cplusplus

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace dmm_fault {

inline constexpr int kMaxFaults = 1 << 14;

struct Switch
{
    int active = -1;
    int traceFd = -1;
};

inline const Switch& currentSwitch()
{
    static const Switch s = [] {
        Switch read;
        if (const char* id = std::getenv("DMM_FAULT"))
            read.active = std::atoi(id);
        if (const char* dir = std::getenv("DMM_FAULT_TRACE")) {
            char path[4096];
            std::snprintf(path, sizeof path, "%s/%ld", dir, static_cast<long>(::getpid()));
            read.traceFd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        }
        return read;
    }();
    return s;
}

inline std::atomic<bool> g_reached[kMaxFaults];

inline bool on(int id)
{
    const Switch& s = currentSwitch();
    if (s.traceFd >= 0 && id >= 0 && id < kMaxFaults &&
        !g_reached[id].exchange(true, std::memory_order_relaxed)) {
        char line[16];
        const int n = std::snprintf(line, sizeof line, "%d\n", id);
        [[maybe_unused]] const ssize_t written = ::write(s.traceFd, line, static_cast<size_t>(n));
    }
    return id == s.active;
}

} // namespace dmm_fault

#define DMM_FAULT(id) (::dmm_fault::on(id))

#endif
