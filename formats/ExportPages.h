// SPDX-License-Identifier: MIT
// The recorder's pages as the export and the charts read them. Pages are
// counted back from the newest reading: page lastPage ends with the newest
// entry, and only the oldest page can be partial.
#pragma once

#include <cstddef>

#include "RecordSummary.h"

namespace dmm {

// Pages first … last; empty when first > last.
struct PageRange
{
    int first = 1;
    int last = 0;
    bool empty() const { return first > last; }
};

// Buffer indices begin … end - 1.
struct EntryRange
{
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t size() const { return end > begin ? end - begin : 0; }
    bool empty() const { return end <= begin; }
};

// One page on the chart: `leadingEmpty` empty points, then the entries.
// A full page has no empty points; the partial oldest page shows its entries
// at the right end.
struct PageSlots
{
    EntryRange entries;
    int leadingEmpty = 0;
};

// With a = count - (lastPage - page) * pageSize: a full page holds entries
// a - pageSize … a - 1 when a / pageSize is not 0, otherwise the partial page
// holds 0 … a - 1. Indices outside the buffer are left out, so a page number
// that does not exist gives an empty page.
PageSlots pageSlots(std::size_t count, int lastPage, int page, int pageSize = kPageSize);

// The requested pages that exist (1 … lastPage); what lies outside is dropped,
// so a request wholly outside gives an empty range.
PageRange limitPages(PageRange requested, int lastPage);

// The entries of pages first … last, oldest first. Consecutive pages hold
// consecutive entries, so this is one range.
EntryRange pageRangeEntries(std::size_t count, int lastPage, PageRange pages,
                            int pageSize = kPageSize);

} // namespace dmm
