// SPDX-License-Identifier: MIT
// An open recording read a slice of records at a time into one small buffer
// that stays in the processor's cache, for the exports and tools that look at
// each record once and keep none: reading into a large buffer costs more than
// the copy from the page cache itself once the buffer no longer fits the cache.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "Record.h"

namespace dmm {

class RecordFileReader;

class RecordSlices
{
public:
    // Records per slice: 76 KB of 76-byte records.
    static constexpr std::size_t kSliceRecords = 1024;

    explicit RecordSlices(RecordFileReader& reader);

    // The next records in file order; empty at the end of the file, or where
    // it ended before its size promised (the reader's truncated()).
    std::span<const TARecord> next();

    // The 0-based index in the file of the first record next() gave last.
    std::size_t firstIndex() const { return m_first; }

private:
    RecordFileReader& m_reader;
    std::vector<TARecord> m_records;
    std::size_t m_first = 0;
};

} // namespace dmm
