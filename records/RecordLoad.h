// SPDX-License-Identifier: MIT
// Loading a recording: the one read of a record file that the recorder's Open
// and the export tool share. A load may run on another thread; it fills a
// buffer of its own that its caller takes over once it has ended.
#pragma once

#include <QtGlobal>

#include <atomic>
#include <span>
#include <vector>

#include "RecordBuffer.h"
#include "RecordFile.h"
#include "RecordSummary.h"

namespace dmm {

// What a thread running a job shares with the one that waits for it.
struct JobControl
{
    std::atomic<bool> cancel{false};
    std::atomic<qint64> done{0}; // records read, or bytes written
};

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

// Hands every remaining record to `each(index, record)` in file order, with
// memory for one block of records only; stops early when `each` returns false
// (the result is then Cancelled).
template <typename Each> LoadEnd forEachRecord(RecordFileReader& reader, Each&& each)
{
    std::vector<TARecord> block(std::size_t(RecordFileReader::kBlockRecords));
    std::size_t index = std::size_t(reader.recordsRead());
    while (const qint64 n = reader.read(block)) {
        for (qint64 i = 0; i < n; ++i)
            if (!each(index++, block[std::size_t(i)]))
                return LoadEnd::Cancelled;
    }
    return reader.truncated() ? LoadEnd::Truncated : LoadEnd::Complete;
}

} // namespace dmm
