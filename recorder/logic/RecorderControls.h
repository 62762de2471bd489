// SPDX-License-Identifier: MIT
// Which of the recorder's commands are enabled in which state, the status
// bar's texts, and the interval the option dialog accepts.
#pragma once

#include <QString>

#include <optional>

namespace dmm {

struct RecorderControls
{
    bool startStopButtons = false; // sbtnRecordStart, sbtnRecordStop
    bool menuStart = false;
    bool menuStop = false;
    bool manual = false;       // sbtnManualLogging and its entry
    bool openOption = false;   // interval, open, printer set-up, import
    bool saveAndPrint = false; // save, print this page, clear, export
    bool pageBack = false;     // first page, page up, fit all data
    bool pageForward = false;  // page down, last page
};

// The state after a command: the newest page is the one shown.
RecorderControls recorderControls(bool recording, bool manualMode, bool busy, bool bufferEmpty,
                                  int lastPage);

// Status bar panel 3: "Manual", "Full Speed" or "Interval in second(s):5S".
QString recorderModeText(bool manualMode, int logIntervalMs);

// The clock panel: two blanks, AM or PM, a blank, hh:mm:ss on the 12-hour
// clock and a double quote.
QString recorderClockText(int hour, int minute, int second, const QString& am, const QString& pm);

// The longest custom interval whose milliseconds still fit 32 bits.
inline constexpr int kMaxIntervalSeconds = 2147483;

// The option dialog's input box text as seconds: no value for a text that is
// no whole number; negative numbers are returned (the box asks again).
std::optional<long long> parseIntervalSeconds(const QString& text);

} // namespace dmm
