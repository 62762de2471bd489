// SPDX-License-Identifier: MIT
// An open recording read a slice of records at a time into a few small
// buffers that stay in the processor's cache, for the exports and tools that
// look at each record once and keep none: reading into a large buffer costs
// more than the copy from the page cache itself once the buffer no longer
// fits the cache. A thread of its own reads the next slices while the caller
// works on one, so the copy from the page cache and the caller's work overlap
// (where no thread can be had, the caller's own thread reads them).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <semaphore>
#include <span>
#include <thread>
#include <vector>

#include "JobControl.h"
#include "Record.h"

namespace dmm {

class RecordFileReader;

class RecordSlices
{
public:
    // Records per slice: 76 KB of 76-byte records.
    static constexpr std::size_t kSliceRecords = 1024;

    // The reader is used by the reading thread alone until next() gave the
    // end or this is destroyed.
    explicit RecordSlices(RecordFileReader& reader);
    ~RecordSlices();
    RecordSlices(const RecordSlices&) = delete;
    RecordSlices& operator=(const RecordSlices&) = delete;

    // The next records in file order, valid until the next call; empty at the
    // end of the file, or where it ended before its size promised (the
    // reader's truncated()).
    std::span<const TARecord> next();

    // The 0-based index in the file of the first record next() gave last.
    std::size_t firstIndex() const { return m_first; }

private:
    static constexpr std::size_t kSlices = 4;
    struct Slice
    {
        std::vector<TARecord> records = std::vector<TARecord>(kSliceRecords);
        std::size_t first = 0;
        std::size_t size = 0;
    };

    void readAhead();

    RecordFileReader& m_reader;
    std::array<Slice, kSlices> m_slices;
    std::counting_semaphore<> m_filled{0};
    std::counting_semaphore<> m_free{kSlices};
    JobControl m_job;
    std::size_t m_next = 0; // the slice next() gives next
    bool m_holding = false; // next() gave a slice the thread may not refill yet
    bool m_ended = false;
    std::size_t m_first = 0;
    std::thread m_thread; // started once everything it uses exists; none: read on the caller's
};

} // namespace dmm
