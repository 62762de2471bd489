// SPDX-License-Identifier: MIT
#include "RecordBuffer.h"

namespace dmm {

static_assert(sizeof(TARecord) == kARecordSize, "records are stored in their file layout size");

void RecordBuffer::append(const TARecord& record)
{
    if (m_size == m_chunks.size() * kChunkRecords)
        m_chunks.push_back(std::make_unique_for_overwrite<TARecord[]>(kChunkRecords));
    m_chunks[m_size / kChunkRecords][m_size % kChunkRecords] = record;
    ++m_size;
}

void RecordBuffer::clear()
{
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_size = 0;
}

std::size_t RecordBuffer::memoryBytes() const
{
    return m_chunks.size() * kChunkRecords * sizeof(TARecord) +
           m_chunks.capacity() * sizeof(m_chunks[0]);
}

} // namespace dmm
