// SPDX-License-Identifier: MIT
#include "RecordSlices.h"

#include "RecordFile.h"

namespace dmm {

RecordSlices::RecordSlices(RecordFileReader& reader)
    : m_reader(reader), m_records(kSliceRecords), m_first(std::size_t(reader.recordsRead()))
{
}

std::span<const TARecord> RecordSlices::next()
{
    m_first = std::size_t(m_reader.recordsRead());
    const qint64 got = m_reader.read(m_records);
    return std::span<const TARecord>(m_records).first(std::size_t(got));
}

} // namespace dmm
