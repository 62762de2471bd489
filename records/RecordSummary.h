// SPDX-License-Identifier: MIT
// What a run of records adds up to: the chart's Y scale, the indices of the
// largest and smallest value, and the pages of 200 readings counted back from
// the newest. The recorder keeps it up to date reading by reading; a load and
// dmm-export count a file with the same rules, so their numbers agree.
#pragma once

#include <cstddef>

namespace dmm {

class RecordBuffer;

// Points on one chart page; never changed.
inline constexpr int kPageSize = 200;

// The number of pages over `readings` readings, which is also the page of the
// newest one: readings / 200 + 1, so 200 readings make two pages, the second
// one empty until the next reading arrives.
int lastPageFor(long long readings);

// Page p of L over N entries: `count` entries from `first`, drawn after
// `emptySlots` empty points. Only the oldest page can be partial; a page
// number that does not exist gives an empty page.
struct PageSlice
{
    std::size_t first = 0;
    int count = 0;
    int emptySlots = 0;
};
PageSlice pageSlice(std::size_t entries, int lastPage, int page, int pageSize);

// Widens the scale to keep a third of headroom over the largest magnitudes
// seen; the first reading into an empty buffer (readingCount 0) sets it
// afresh. A value that is no finite number (from a damaged file) is not
// counted, so it cannot spoil the scale.
void updateScale(float& scaleMaxY, float& scaleMinY, int readingCount, float value);

// The indices of the largest and smallest value after the entry with index
// readingCount and `value` is added; ties move to the newest. readingCount 0
// resets both to 0. Non-finite values never become an extreme, and an extreme
// that is one gives way to the next finite value.
void updateMaxMin(int& maxIndex, int& minIndex, const RecordBuffer& buffer, int readingCount,
                  float value);

// The same rule for a reader that keeps no buffer: the values at the two
// extremes are kept beside their indices.
struct Extremes
{
    int maxIndex = 0;
    int minIndex = 0;
    float atMax = 0.0f;
    float atMin = 0.0f;
};
void updateMaxMin(Extremes& extremes, int readingCount, float value);

// The scale and the extremes over values taken in order, as appending them
// one by one leaves them: what counting a loaded file works out, on any
// thread, before the recorder takes it over.
struct RecordTally
{
    int count = 0;
    // An empty recorder's scale; the first value sets it afresh.
    float scaleMaxY = 100.0f;
    float scaleMinY = -100.0f;
    Extremes extremes;

    void add(float value)
    {
        updateScale(scaleMaxY, scaleMinY, count, value);
        updateMaxMin(extremes, count, value);
        ++count;
    }
    // Pages over the readings counted so far; after a load the newest is shown.
    int lastPage() const { return lastPageFor(count); }
};

} // namespace dmm
