// SPDX-License-Identifier: MIT
// The recorder buffer: every logged or loaded reading, index 0 the oldest.
// Records sit in fixed-size chunks, so appending never moves old records and
// memory stays at about one record's 76 bytes per entry, however long the
// run (a single growing vector would briefly need twice that while it moves).
// Chunks are mapped from the system directly: they are handed back as soon as
// the buffer is emptied, and a file is read straight into them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "Record.h"

namespace dmm {

class RecordBuffer
{
public:
    static constexpr std::size_t kChunkRecords = 16384; // about 1.2 MB per chunk
    using Chunk = std::shared_ptr<TARecord[]>;

    // What a writer on another thread reads: the entries there were when it
    // was taken. It shares the chunks, which never move and whose records
    // below that count are never written again, so the buffer may go on
    // appending, or be emptied, meanwhile.
    class Snapshot
    {
    public:
        Snapshot() = default;
        std::size_t size() const { return m_size; }
        const TARecord& at(std::size_t index) const
        {
            return m_chunks[index / kChunkRecords][index % kChunkRecords];
        }
        // The entries from `index` that lie one after another in memory: up
        // to the end of its chunk or of the snapshot.
        std::span<const TARecord> run(std::size_t index) const
        {
            const std::size_t inChunk = index % kChunkRecords;
            const std::size_t count = std::min(kChunkRecords - inChunk, m_size - index);
            return {m_chunks[index / kChunkRecords].get() + inChunk, count};
        }

    private:
        friend class RecordBuffer;
        std::vector<std::shared_ptr<const TARecord[]>> m_chunks;
        std::size_t m_size = 0;
    };

    RecordBuffer() = default;
    RecordBuffer(RecordBuffer&&) noexcept;
    RecordBuffer& operator=(RecordBuffer&&) noexcept;
    ~RecordBuffer();

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // The entry at a 0-based index; the index must be below size().
    const TARecord& at(std::size_t index) const
    {
        return m_chunks[index / kChunkRecords][index % kChunkRecords];
    }
    // The entries from `index` (below size()) that lie one after another in
    // memory: up to the end of its chunk or of the buffer.
    std::span<const TARecord> run(std::size_t index) const
    {
        const std::size_t inChunk = index % kChunkRecords;
        const std::size_t count = std::min(kChunkRecords - inChunk, m_size - index);
        return {m_chunks[index / kChunkRecords].get() + inChunk, count};
    }

    void append(const TARecord& record);
    // Uninitialised room for the next entries, in one chunk (a new one when
    // the last is full): whoever fills a prefix of it makes those entries
    // part of the buffer with commit(). Throws std::bad_alloc.
    std::span<TARecord> room();
    void commit(std::size_t count);

    // A new chunk from the system, its memory ready to be written.
    // Throws std::bad_alloc.
    static Chunk newChunk();
    // Where room() takes its next chunk from when the last is full: by
    // default newChunk(); a load may have chunks made ahead on another
    // thread. A source that gives a null chunk falls back to newChunk().
    using ChunkSource = std::function<Chunk()>;
    void setChunkSource(ChunkSource source) { m_chunkSource = std::move(source); }

    // Empties the buffer and gives its memory back to the system.
    void clear();
    Snapshot snapshot() const;

    // Bytes held by the records (chunk storage and the chunk table).
    std::size_t memoryBytes() const;

private:
    std::vector<Chunk> m_chunks;
    std::size_t m_size = 0;
    ChunkSource m_chunkSource; // not moved with the records
};

} // namespace dmm
