// SPDX-License-Identifier: MIT
// The recorder's arithmetic: the Y scale, the extremes, pages counted back
// from the newest reading, and the buffer index under the chart's cursor.
#pragma once

#include <cstddef>

namespace dmm {

class RecordBuffer;

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
    float scaleMaxY = 0.0f;
    float scaleMinY = 0.0f;
    Extremes extremes;

    void add(float value)
    {
        updateScale(scaleMaxY, scaleMinY, count, value);
        updateMaxMin(extremes, count, value);
        ++count;
    }
};

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

// The buffer index shown at chart point `cursorPoint`; negative on an empty
// slot of the partial oldest page.
long long cursorIndex(int cursorPoint, std::size_t entries, int lastPage, int shownPage,
                      int pageSize);

} // namespace dmm
