// SPDX-License-Identifier: MIT
// Loading a recording: the one read of a record file that the recorder's Open
// and the export tool share. A load may run on another thread; it fills a
// buffer of its own that its caller takes over once it has ended.
#pragma once

#include <QtGlobal>

#include "JobControl.h"
#include "RecordBuffer.h"
#include "RecordFile.h"
#include "RecordSummary.h"

namespace dmm {

enum class LoadEnd
{
    Complete,
    Truncated, // the file ended before its size promised: the records before that count
    Cancelled,
    OutOfMemory,
};

// Reads the rest of the open `reader` into `buffer`, which nobody else may use
// until this returns. With a `tally`, every record read is counted into it
// while it is still in the cache.
LoadEnd loadRecords(RecordFileReader& reader, RecordBuffer& buffer, JobControl* job = nullptr,
                    RecordTally* tally = nullptr);

} // namespace dmm
