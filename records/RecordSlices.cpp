// SPDX-License-Identifier: MIT
#include "RecordSlices.h"

#include <system_error>

#include "RecordFile.h"

namespace dmm {

RecordSlices::RecordSlices(RecordFileReader& reader)
    : m_reader(reader), m_first(std::size_t(reader.recordsRead()))
{
    try {
        m_thread = std::thread([this] { readAhead(); });
    } catch (const std::system_error&) {
        // No thread to be had: the slices are read on the caller's thread.
    }
}

RecordSlices::~RecordSlices()
{
    if (!m_thread.joinable())
        return;
    m_job.cancel = true;
    m_free.release(); // a thread waiting for a free slice sees the stop
    m_thread.join();
}

void RecordSlices::readAhead()
{
    for (std::size_t i = 0;; i = (i + 1) % kSlices) {
        m_free.acquire();
        if (m_job.cancel)
            return;
        Slice& slice = m_slices[i];
        slice.first = std::size_t(m_reader.recordsRead());
        slice.size = std::size_t(m_reader.read(slice.records));
        const bool end = slice.size == 0;
        m_filled.release();
        if (end)
            return;
    }
}

std::span<const TARecord> RecordSlices::next()
{
    if (m_ended)
        return {};
    if (!m_thread.joinable()) {
        Slice& slice = m_slices[0];
        m_first = std::size_t(m_reader.recordsRead());
        slice.size = std::size_t(m_reader.read(slice.records));
        m_ended = slice.size == 0;
        return std::span<const TARecord>(slice.records).first(slice.size);
    }
    if (m_holding)
        m_free.release(); // the slice given last is done with
    m_filled.acquire();
    const Slice& slice = m_slices[m_next];
    m_next = (m_next + 1) % kSlices;
    m_first = slice.first;
    m_holding = slice.size > 0;
    m_ended = slice.size == 0;
    return std::span<const TARecord>(slice.records).first(slice.size);
}

} // namespace dmm
