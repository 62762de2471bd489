// SPDX-License-Identifier: MIT
#include "RecordLoad.h"

#include "JobControl.h"

#include <atomic>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace dmm {

namespace {

// The system clears new memory page by page at about the speed a file comes
// from the cache, so a long load has its chunks made on a thread of its own
// while it reads into the ones made before.
class ChunkMaker
{
public:
    explicit ChunkMaker(std::size_t count) : m_chunks(count), m_thread([this] { run(); }) {}
    ~ChunkMaker()
    {
        m_job.cancel = true;
        m_thread.join();
    }
    ChunkMaker(const ChunkMaker&) = delete;
    ChunkMaker& operator=(const ChunkMaker&) = delete;

    // The next chunk once it is made; null past the count or where the
    // system refused one (the buffer then asks the system itself).
    RecordBuffer::Chunk take()
    {
        if (m_taken >= m_chunks.size())
            return nullptr;
        std::size_t made = m_made.load(std::memory_order_acquire);
        while (made <= m_taken) {
            m_made.wait(made, std::memory_order_acquire);
            made = m_made.load(std::memory_order_acquire);
        }
        return std::move(m_chunks[m_taken++]);
    }

private:
    void run()
    {
        for (std::size_t i = 0; i < m_chunks.size() && !m_job.cancel; ++i) {
            try {
                m_chunks[i] = RecordBuffer::newChunk();
            } catch (const std::bad_alloc&) {
                // The rest stay null.
                m_made.store(m_chunks.size(), std::memory_order_release);
                m_made.notify_all();
                return;
            }
            m_made.store(i + 1, std::memory_order_release);
            m_made.notify_all();
        }
    }

    std::vector<RecordBuffer::Chunk> m_chunks;
    std::atomic<std::size_t> m_made{0};
    JobControl m_job;
    std::size_t m_taken = 0;
    std::thread m_thread; // last: starts once the rest is in place
};

// Chunks the buffer still needs for `more` entries.
std::size_t chunksNeeded(const RecordBuffer& buffer, qint64 more)
{
    constexpr std::size_t k = RecordBuffer::kChunkRecords;
    const std::size_t have = (buffer.size() + k - 1) / k;
    return (buffer.size() + std::size_t(std::max<qint64>(more, 0)) + k - 1) / k - have;
}

} // namespace

LoadEnd loadRecords(RecordFileReader& reader, RecordBuffer& buffer, JobControl* job,
                    RecordTally* tally)
{
    constexpr std::size_t kChunksMadeInPlace = 2;
    std::optional<ChunkMaker> maker;
    struct SourceReset
    {
        RecordBuffer& buffer;
        ~SourceReset() { buffer.setChunkSource({}); }
    } sourceReset{buffer};
    try {
        const std::size_t needed =
            chunksNeeded(buffer, reader.recordCount() - reader.recordsRead());
        if (needed > kChunksMadeInPlace) {
            try {
                maker.emplace(needed);
                buffer.setChunkSource([&maker] { return maker->take(); });
            } catch (const std::system_error&) {
                // No thread to spare: the chunks are made as they are needed.
            }
        }
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
