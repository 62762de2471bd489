// SPDX-License-Identifier: MIT
#include "RecordLoad.h"

#include <new>

namespace dmm {

LoadEnd loadRecords(RecordFileReader& reader, RecordBuffer& buffer, JobControl* job,
                    RecordTally* tally)
{
    try {
        while (!reader.atEnd()) {
            if (job && job->cancel.load(std::memory_order_relaxed))
                return LoadEnd::Cancelled;
            const std::size_t first = buffer.size();
            if (reader.readSome(buffer, RecordFileReader::kBlockRecords) == 0)
                break;
            if (tally)
                for (std::size_t i = first; i < buffer.size(); ++i)
                    tally->add(buffer.at(i).fValue);
            if (job)
                job->done.store(reader.recordsRead(), std::memory_order_relaxed);
        }
    } catch (const std::bad_alloc&) {
        return LoadEnd::OutOfMemory;
    }
    return reader.truncated() ? LoadEnd::Truncated : LoadEnd::Complete;
}

} // namespace dmm
