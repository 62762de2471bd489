// SPDX-License-Identifier: MIT
#include "ExportPages.h"

#include <algorithm>

#include "RecordSummary.h"

namespace dmm {

PageSlots pageSlots(std::size_t count, int lastPage, int page, int pageSize)
{
    // The recorder's own page rule, so the export shows what its chart shows.
    const PageSlice slice = pageSlice(count, lastPage, page, pageSize);
    PageSlots slots;
    slots.entries = {slice.first, slice.first + static_cast<std::size_t>(slice.count)};
    slots.leadingEmpty = slice.emptySlots;
    return slots;
}

PageRange limitPages(PageRange requested, int lastPage)
{
    return {std::max(requested.first, 1), std::min(requested.last, lastPage)};
}

EntryRange pageRangeEntries(std::size_t count, int lastPage, PageRange pages, int pageSize)
{
    if (pages.empty())
        return {};
    const EntryRange first = pageSlots(count, lastPage, pages.first, pageSize).entries;
    const EntryRange last = pageSlots(count, lastPage, pages.last, pageSize).entries;
    if (last.end <= first.begin)
        return {};
    return {first.begin, last.end};
}

} // namespace dmm
