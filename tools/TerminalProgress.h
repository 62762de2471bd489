// SPDX-License-Identifier: MIT
// The progress line of ProgressLine.h on standard error, for a tool's long
// work: decided once whether it shows (standard error a terminal, not
// --quiet), drawn as readings are read, cleared when the work ends.
#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

#include <optional>

namespace dmm::exporttool {

class TerminalProgress
{
public:
    // `total` readings to go through. The environment variable
    // DMM_PROGRESS_AFTER_MS, where set, replaces the first second of silence
    // (for tests and demonstrations).
    TerminalProgress(qint64 total, bool quiet);
    ~TerminalProgress() { finish(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // `done` readings of the total are through; draws the line when it is due.
    void update(qint64 done);
    // Clears the line if one was drawn, before the tool's closing words.
    void finish();

private:
    qint64 m_total;
    bool m_wanted;
    qint64 m_afterMs;
    QElapsedTimer m_clock;
    std::optional<qint64> m_lastDrawnMs;
};

} // namespace dmm::exporttool
