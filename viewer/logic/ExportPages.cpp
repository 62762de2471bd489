// SPDX-License-Identifier: MIT
#include "ExportPages.h"

#include <algorithm>
#include <cstdint>

namespace dmm {

namespace {

// The rule's a for `page`, in 64 bits: page numbers come from user input.
std::int64_t pageEnd(std::size_t count, int lastPage, int page, int pageSize)
{
    return static_cast<std::int64_t>(count) -
           (static_cast<std::int64_t>(lastPage) - page) * static_cast<std::int64_t>(pageSize);
}

std::size_t clampToBuffer(std::int64_t index, std::size_t count)
{
    if (index <= 0)
        return 0;
    return std::min(static_cast<std::size_t>(index), count);
}

} // namespace

PageSlots pageSlots(std::size_t count, int lastPage, int page, int pageSize)
{
    PageSlots slots;
    if (pageSize <= 0)
        return slots;
    const std::int64_t a = pageEnd(count, lastPage, page, pageSize);
    if (a / pageSize != 0 && a > 0) {
        slots.entries = {clampToBuffer(a - pageSize, count), clampToBuffer(a, count)};
        slots.leadingEmpty = pageSize - static_cast<int>(slots.entries.size());
        // A page past the newest entry is empty; its points are all empty too.
        return slots;
    }
    slots.entries = {0, clampToBuffer(a, count)};
    slots.leadingEmpty = pageSize - static_cast<int>(slots.entries.size());
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
