// SPDX-License-Identifier: MIT
// The recorder buffer: every logged or loaded reading, index 0 the oldest.
// Records sit in fixed-size chunks, so appending never moves old records and
// memory stays at about one record's 76 bytes per entry, however long the
// run (a single growing vector would briefly need twice that while it moves).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "Record.h"

namespace dmm {

class RecordBuffer
{
public:
    static constexpr std::size_t kChunkRecords = 16384; // about 1.2 MB per chunk

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // The entry at a 0-based index; the index must be below size().
    const TARecord& at(std::size_t index) const
    {
        return m_chunks[index / kChunkRecords][index % kChunkRecords];
    }

    void append(const TARecord& record);
    void clear();

    // Bytes held by the records (chunk storage and the chunk table).
    std::size_t memoryBytes() const;

private:
    std::vector<std::unique_ptr<TARecord[]>> m_chunks;
    std::size_t m_size = 0;
};

} // namespace dmm
