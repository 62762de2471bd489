// SPDX-License-Identifier: MIT
// The one way the program walks records: runs of consecutive records, in
// order, from an open recording, from the buffer or from a snapshot of it.
//
// A recording is read a run at a time into a small buffer that stays in the
// processor's cache, for the exports and tools that look at each record once
// and keep none: reading into a large buffer costs more than the copy from
// the page cache itself once the buffer no longer fits the cache. The caller's
// own thread reads each run, so the records it looks at are warm in its own
// core's cache. The buffer and a snapshot hand out their chunks as they lie.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <utility>

#include "JobControl.h"
#include "Record.h"
#include "RecordBuffer.h"

namespace dmm {

class RecordFileReader;

class RecordRuns
{
public:
    // Records per run read from a file: 76 KB of 76-byte records.
    static constexpr std::size_t kFileRunRecords = 1024;

    // An open recording from where its reader stands. Where the file ends before its size promised
    // (the reader's truncated()), `stopOnTruncation` is cancelled at the end, so that what is
    // written from the runs replaces no file.
    explicit RecordRuns(RecordFileReader& reader, JobControl* stopOnTruncation = nullptr);
    // The buffer's entries, up to its size when each run is asked for.
    explicit RecordRuns(const RecordBuffer& buffer);
    explicit RecordRuns(RecordBuffer::Snapshot snapshot);
    ~RecordRuns();
    RecordRuns(const RecordRuns&) = delete;
    RecordRuns& operator=(const RecordRuns&) = delete;

    // The next records, valid until the next call; empty at the end.
    std::span<const TARecord> next();

    // The next record alone, or null at the end, for walks that take one at
    // a time; it walks through the same runs next() gives.
    const TARecord* nextRecord()
    {
        if (m_rest.empty()) {
            m_rest = next();
            if (m_rest.empty())
                return nullptr;
        }
        const TARecord* record = m_rest.data();
        m_rest = m_rest.subspan(1);
        return record;
    }

    // The 0-based index of the first record next() gave last.
    std::size_t firstIndex() const { return m_first; }

    // Called with the index past the run's last record each time a run is
    // taken from the source, on the caller's thread: for a progress display.
    void observeRuns(std::function<void(std::size_t end)> observer)
    {
        m_observer = std::move(observer);
    }

private:
    class FileRuns;
    std::span<const TARecord> nextInMemory();

    std::unique_ptr<FileRuns> m_file;
    RecordFileReader* m_reader = nullptr;
    JobControl* m_stopOnTruncation = nullptr;
    const RecordBuffer* m_buffer = nullptr;
    RecordBuffer::Snapshot m_snapshot;
    std::size_t m_index = 0; // in the buffer or the snapshot: the next run's first
    std::size_t m_first = 0;
    std::span<const TARecord> m_rest; // of the run nextRecord() walks
    std::function<void(std::size_t)> m_observer;
};

} // namespace dmm
