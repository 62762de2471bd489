// SPDX-License-Identifier: MIT
// What a tool shows of long work on a terminal: one line on standard error,
// rewritten in place ("\r", the text, the rest of the line cleared), from
// the first second of the work on; nothing where standard error is no
// terminal or the user asked for quiet. The rules alone, no terminal here.
#pragma once

#include <QtGlobal>

#include <optional>
#include <string>
#include <string_view>

namespace dmm::exporttool {

// Work shorter than this shows nothing; after it the line is redrawn at most
// every kProgressEveryMs.
inline constexpr qint64 kProgressAfterMs = 1000;
inline constexpr qint64 kProgressEveryMs = 250;

// Whether a progress line is shown at all.
bool progressWanted(bool stderrIsTerminal, bool quiet);

// Whether to draw the line now, `elapsedMs` into the work, the last drawn at
// `lastDrawnMs` (none yet); once every reading is read (`finished`) at once,
// so that the line does not stand at 99% while the output is finished.
bool progressDue(qint64 elapsedMs, std::optional<qint64> lastDrawnMs, bool finished,
                 qint64 afterMs = kProgressAfterMs);

// "42% (4200000 of 10000000 readings), 0:12 left": the time left from the
// pace so far, "1:02:03" past an hour; "finishing" once every reading is read.
std::string progressText(qint64 done, qint64 total, qint64 elapsedMs);

// The bytes that put `text` in place of the line shown before.
std::string progressRedraw(std::string_view text);
// The bytes that clear the line at the end, for the next output to take it.
inline constexpr std::string_view kProgressClear = "\r\x1b[K";

} // namespace dmm::exporttool
