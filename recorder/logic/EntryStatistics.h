// SPDX-License-Identifier: MIT
// The recorder's figures per function over entries of its buffer: count,
// overloads, minimum and maximum with the entries they are at, mean and
// sample standard deviation (FunctionStats, Welford's sums). Entries are
// added in order, so the whole buffer's figures grow reading by reading and
// never take a pass over the buffer; a page's are made afresh from its 200.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "IntervalStats.h"
#include "Record.h"
#include "RecordBuffer.h"
#include "StatsTable.h"

namespace dmm {

class EntryStatistics
{
public:
    // `records` are the entries from index `firstIndex`; the next call
    // goes on from counted(), their end.
    void add(std::span<const TARecord> records, std::size_t firstIndex);
    // Entries [counted(), end) of the buffer or a snapshot of it.
    template <class Entries> void addUpTo(const Entries& entries, std::size_t end)
    {
        end = std::min(end, entries.size());
        while (m_counted < end) {
            const std::span<const TARecord> run = entries.run(m_counted);
            add(run.first(std::min(run.size(), end - m_counted)), m_counted);
        }
    }

    // In the order the functions first came. minTime.ms and maxTime.ms hold
    // the index of the entry at the extreme.
    const std::vector<FunctionStats>& functions() const { return m_functions; }
    // Entries added so far (the next index).
    std::size_t counted() const { return m_counted; }

private:
    std::vector<FunctionStats> m_functions;
    std::size_t m_counted = 0;
    int m_lastFunction = 0;
    std::size_t m_lastIndex = 0;
    bool m_lastKnown = false;
    RecordNumbers m_numbers;
};

// The time of an entry as the statistics show it: the local date and time of
// its date stamp to the millisecond ("2026-12-07 14:05:09.312"), else the
// time text it was logged with ("14:05:09.3").
std::string entryTimeText(const TARecord& record);

} // namespace dmm
