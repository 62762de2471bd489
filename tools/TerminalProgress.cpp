// SPDX-License-Identifier: MIT
#include "TerminalProgress.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "ProgressLine.h"

namespace dmm::exporttool {

namespace {

qint64 silentMs()
{
    const char* text = std::getenv("DMM_PROGRESS_AFTER_MS");
    char* end = nullptr;
    const long long ms = text ? std::strtoll(text, &end, 10) : -1;
    return text && *text && end && *end == '\0' && ms >= 0 ? qint64(ms) : kProgressAfterMs;
}

// The line written at once, unbuffered: a terminal shows it as it comes.
void put(std::string_view bytes)
{
    std::fflush(stderr);
    // A progress line that does not reach the terminal loses nothing: its
    // write is not checked.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, bytes.data(), bytes.size());
}

} // namespace

TerminalProgress::TerminalProgress(qint64 total, bool quiet)
    : m_total(total), m_wanted(progressWanted(::isatty(STDERR_FILENO) == 1, quiet)),
      m_afterMs(silentMs())
{
    m_clock.start();
}

void TerminalProgress::update(qint64 done)
{
    if (!m_wanted)
        return;
    const qint64 elapsed = m_clock.elapsed();
    if (!progressDue(elapsed, m_lastDrawnMs, done >= m_total, m_afterMs))
        return;
    m_lastDrawnMs = elapsed;
    put(progressRedraw(progressText(done, m_total, elapsed)));
}

void TerminalProgress::finish()
{
    if (!m_lastDrawnMs)
        return;
    m_lastDrawnMs.reset();
    put(kProgressClear);
}

} // namespace dmm::exporttool
