// SPDX-License-Identifier: MIT
#include "RecordLoad.h"

#include <new>

namespace dmm {

LoadEnd loadRecords(RecordFileReader& reader, RecordBuffer& buffer, JobControl* job)
{
    try {
        while (!reader.atEnd()) {
            if (job && job->cancel.load(std::memory_order_relaxed))
                return LoadEnd::Cancelled;
            if (reader.readSome(buffer, RecordFileReader::kBlockRecords) == 0)
                break;
            if (job)
                job->done.store(reader.recordsRead(), std::memory_order_relaxed);
        }
    } catch (const std::bad_alloc&) {
        return LoadEnd::OutOfMemory;
    }
    return reader.truncated() ? LoadEnd::Truncated : LoadEnd::Complete;
}

} // namespace dmm
