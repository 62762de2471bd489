// SPDX-License-Identifier: MIT
#include "RecordRuns.h"

#include <array>
#include <semaphore>
#include <system_error>
#include <thread>
#include <vector>

#include "RecordFile.h"

namespace dmm {

// A recording read ahead, a run at a time, into a ring of small buffers.
class RecordRuns::FileRuns
{
public:
    explicit FileRuns(RecordFileReader& reader) : m_reader(reader)
    {
        try {
            m_thread = std::thread([this] { readAhead(); });
        } catch (const std::system_error&) {
            // No thread to be had: the runs are read on the caller's thread.
        }
    }
    ~FileRuns()
    {
        if (!m_thread.joinable())
            return;
        m_job.cancel = true;
        m_free.release(); // a thread waiting for a free buffer sees the stop
        m_thread.join();
    }
    FileRuns(const FileRuns&) = delete;
    FileRuns& operator=(const FileRuns&) = delete;

    // The next run and the file index of its first record.
    std::span<const TARecord> next(std::size_t& first)
    {
        if (m_ended)
            return {};
        if (!m_thread.joinable()) {
            Run& run = m_runs[0];
            first = std::size_t(m_reader.recordsRead());
            run.size = std::size_t(m_reader.read(run.records));
            m_ended = run.size == 0;
            return std::span<const TARecord>(run.records).first(run.size);
        }
        if (m_holding)
            m_free.release(); // the run given last is done with
        m_filled.acquire();
        const Run& run = m_runs[m_next];
        m_next = (m_next + 1) % kRuns;
        first = run.first;
        m_holding = run.size > 0;
        m_ended = run.size == 0;
        return std::span<const TARecord>(run.records).first(run.size);
    }

private:
    static constexpr std::size_t kRuns = 4;
    struct Run
    {
        std::vector<TARecord> records = std::vector<TARecord>(kFileRunRecords);
        std::size_t first = 0;
        std::size_t size = 0;
    };

    void readAhead()
    {
        for (std::size_t i = 0;; i = (i + 1) % kRuns) {
            m_free.acquire();
            if (m_job.cancel)
                return;
            Run& run = m_runs[i];
            run.first = std::size_t(m_reader.recordsRead());
            run.size = std::size_t(m_reader.read(run.records));
            const bool end = run.size == 0;
            m_filled.release();
            if (end)
                return;
        }
    }

    RecordFileReader& m_reader;
    std::array<Run, kRuns> m_runs;
    std::counting_semaphore<> m_filled{0};
    std::counting_semaphore<> m_free{kRuns};
    JobControl m_job;
    std::size_t m_next = 0; // the run next() gives next
    bool m_holding = false; // next() gave a run the thread may not refill yet
    bool m_ended = false;
    std::thread m_thread; // started once everything it uses exists; none: read on the caller's
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
    if (!m_file)
        return nextInMemory();
    const std::span<const TARecord> run = m_file->next(m_first);
    if (run.empty() && m_stopOnTruncation && m_reader->truncated())
        m_stopOnTruncation->cancel = true;
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
