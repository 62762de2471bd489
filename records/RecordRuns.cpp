// SPDX-License-Identifier: MIT
#include "RecordRuns.h"

#include <vector>

#include "RecordFile.h"

namespace dmm {

// A recording read a run at a time into one small buffer, on the caller's
// thread: the records it then looks at are in its own core's cache, warm from
// the copy out of the page cache. (A thread reading ahead into a ring of
// buffers saved no processor time: the caller's first touch of each record
// then fetched it from the other core's cache, which cost more than the
// overlap gained.)
class RecordRuns::FileRuns
{
public:
    explicit FileRuns(RecordFileReader& reader) : m_reader(reader) {}

    // The next run and the file index of its first record.
    std::span<const TARecord> next(std::size_t& first)
    {
        if (m_ended)
            return {};
        first = std::size_t(m_reader.recordsRead());
        const std::size_t size = std::size_t(m_reader.read(m_records));
        m_ended = size == 0;
        return std::span<const TARecord>(m_records).first(size);
    }

private:
    RecordFileReader& m_reader;
    std::vector<TARecord> m_records = std::vector<TARecord>(kFileRunRecords);
    bool m_ended = false;
};

RecordRuns::RecordRuns(RecordFileReader& reader, JobControl* stopOnTruncation)
    : m_reader(&reader), m_stopOnTruncation(stopOnTruncation),
      m_first(std::size_t(reader.recordsRead()))
{
    m_file = std::make_unique<FileRuns>(reader);
}

RecordRuns::RecordRuns(const RecordBuffer& buffer) : m_buffer(&buffer) {}

RecordRuns::RecordRuns(RecordBuffer::Snapshot snapshot) : m_snapshot(std::move(snapshot)) {}

RecordRuns::~RecordRuns() = default;

std::span<const TARecord> RecordRuns::next()
{
    if (!m_rest.empty()) {
        // What nextRecord() left of its run comes first.
        const std::span<const TARecord> rest = m_rest;
        m_rest = {};
        return rest;
    }
    const std::span<const TARecord> run = m_file ? m_file->next(m_first) : nextInMemory();
    if (m_file && run.empty() && m_stopOnTruncation && m_reader->truncated())
        m_stopOnTruncation->cancel = true;
    if (m_observer && !run.empty())
        m_observer(m_first + run.size());
    return run;
}

std::span<const TARecord> RecordRuns::nextInMemory()
{
    const std::size_t size = m_buffer ? m_buffer->size() : m_snapshot.size();
    if (m_index >= size)
        return {};
    m_first = m_index;
    const std::span<const TARecord> run =
        m_buffer ? m_buffer->run(m_index) : m_snapshot.run(m_index);
    m_index += run.size();
    return run;
}

} // namespace dmm
