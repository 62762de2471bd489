// SPDX-License-Identifier: MIT
#include "RecordBuffer.h"

#include "JobControl.h"

#include <malloc.h>
#include <sys/mman.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

namespace dmm {

static_assert(sizeof(TARecord) == kARecordSize, "records are stored in their file layout size");
// Chunk memory holds records without their constructors having run: what is
// read is written over it whole.
static_assert(std::is_trivially_copyable_v<TARecord> && std::is_trivially_destructible_v<TARecord>);

namespace {

constexpr std::size_t kChunkBytes = RecordBuffer::kChunkRecords * sizeof(TARecord);
constexpr std::size_t kChunksReleasedInPlace = 16; // about 20 MB

void releaseChunks(std::vector<RecordBuffer::Chunk>& chunks)
{
    chunks.clear();
    // What the process freed on the heap meanwhile goes back too.
    ::malloc_trim(0);
}

// The system takes a while to take back hundreds of megabytes (10^7 records
// hold 760 MB), so a large buffer's chunks go back on a worker of their own,
// never on the caller's thread, which may be the window's. The worker lives
// as long as the program and is joined at its end, once it has handed back
// what it was given.
class ChunkReleaser
{
public:
    static ChunkReleaser& instance()
    {
        static ChunkReleaser releaser;
        return releaser;
    }

    void release(std::vector<RecordBuffer::Chunk>& chunks)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(chunks));
        }
        m_wake.notify_one();
    }

    ~ChunkReleaser()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_job.cancel = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

private:
    ChunkReleaser() = default;

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_job.cancel || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            std::vector<RecordBuffer::Chunk> chunks = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            releaseChunks(chunks);
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::vector<RecordBuffer::Chunk>> m_queue;
    JobControl m_job;                        // cancelled under the mutex, so that the wait sees it
    std::thread m_thread{[this] { run(); }}; // last: starts once the rest is in place
};

} // namespace

// A mapping of its own per chunk, which the system takes back at once when
// the chunk goes (heap memory freed in the middle of the heap would stay with
// the process). Its pages are all made at once: a chunk is about to be filled,
// and one call costs less than a fault per page.
RecordBuffer::Chunk RecordBuffer::newChunk()
{
    void* memory = ::mmap(nullptr, kChunkBytes, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    try {
        return RecordBuffer::Chunk(static_cast<TARecord*>(memory),
                                   [](TARecord* chunk) { ::munmap(chunk, kChunkBytes); });
    } catch (...) {
        ::munmap(memory, kChunkBytes);
        throw;
    }
}

RecordBuffer::RecordBuffer(RecordBuffer&& other) noexcept
    : m_chunks(std::move(other.m_chunks)), m_size(std::exchange(other.m_size, 0))
{
}

RecordBuffer& RecordBuffer::operator=(RecordBuffer&& other) noexcept
{
    m_chunks = std::move(other.m_chunks);
    m_size = std::exchange(other.m_size, 0);
    other.m_chunks.clear();
    return *this;
}

RecordBuffer::~RecordBuffer() = default;

void RecordBuffer::append(const TARecord& record)
{
    room()[0] = record;
    ++m_size;
}

std::span<TARecord> RecordBuffer::room()
{
    if (m_size == m_chunks.size() * kChunkRecords) {
        Chunk chunk = m_chunkSource ? m_chunkSource() : nullptr;
        m_chunks.push_back(chunk ? std::move(chunk) : newChunk());
    }
    const std::size_t used = m_size % kChunkRecords;
    return {m_chunks.back().get() + used, kChunkRecords - used};
}

void RecordBuffer::commit(std::size_t count)
{
    m_size += count;
}

void RecordBuffer::clear()
{
    std::vector<Chunk> chunks = std::exchange(m_chunks, {});
    m_size = 0;
    if (chunks.size() > kChunksReleasedInPlace) {
        try {
            ChunkReleaser::instance().release(chunks);
            return;
        } catch (const std::system_error&) {
            // No thread to spare: they go back here.
        }
    }
    releaseChunks(chunks);
}

RecordBuffer::Snapshot RecordBuffer::snapshot() const
{
    Snapshot snapshot;
    snapshot.m_chunks.assign(m_chunks.begin(), m_chunks.end());
    snapshot.m_size = m_size;
    return snapshot;
}

std::size_t RecordBuffer::memoryBytes() const
{
    return m_chunks.size() * kChunkBytes + m_chunks.capacity() * sizeof(m_chunks[0]);
}

} // namespace dmm
