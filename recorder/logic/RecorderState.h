// SPDX-License-Identifier: MIT
// The recorder's shared state: what the chart, the status bar, the files and
// the commands read. The store keeps it and changes it only through its own
// operations. Start values are those of a freshly started program.
#pragma once

#include "RecordSummary.h"

namespace dmm {

struct RecorderState
{
    static constexpr int pageSize = kPageSize; // points on one chart page

    bool manualMode = false;  // Manual (true) or Automatic acquisition
    int logIntervalMs = 500;  // 500 is Full Speed, else whole seconds x 1000
    bool recording = false;   // a timed run is active
    bool bufferEmpty = true;  // the buffer holds no reading
    bool unsavedData = false; // readings logged or loaded since the last save
    bool logTickPending = false;
    int lastPage = 1;  // number of pages, also the page of the newest reading
    int shownPage = 1; // the page the chart shows
    int readingCount = 0;
    int maxIndex = 0;
    int minIndex = 0;
    float scaleMaxY = 100.0f;
    float scaleMinY = -100.0f;

    // Everything but the mode, the interval and the buffer's entries.
    void reset()
    {
        recording = false;
        unsavedData = false;
        logTickPending = false;
        bufferEmpty = true;
        lastPage = 1;
        shownPage = 1;
        readingCount = 0;
        maxIndex = 0;
        minIndex = 0;
        scaleMaxY = 100.0f;
        scaleMinY = -100.0f;
    }
};

} // namespace dmm
