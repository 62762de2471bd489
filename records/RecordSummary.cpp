// SPDX-License-Identifier: MIT
#include "RecordSummary.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "RecordBuffer.h"

namespace dmm {

int lastPageFor(long long readings)
{
    return static_cast<int>(readings / kPageSize + 1);
}

namespace {

constexpr double kHeadroom = 1.33;
constexpr double kInverseHeadroom = 0.7518796992481203; // 1 / 1.33 as the comparison uses it

float widened(float value, float whenZero)
{
    // The largest floats have no third of headroom left: the scale stops at
    // the largest float rather than overflowing.
    const double result = std::min(std::fabs(static_cast<double>(value)) * kHeadroom,
                                   static_cast<double>(std::numeric_limits<float>::max()));
    return result == 0.0 ? whenZero : static_cast<float>(result);
}

} // namespace

void updateScale(float& scaleMaxY, float& scaleMinY, int readingCount, float value)
{
    if (!std::isfinite(value)) {
        if (readingCount == 0) {
            scaleMaxY = 1.0f;
            scaleMinY = -1.0f;
        }
        return;
    }
    if (readingCount == 0) {
        scaleMaxY = widened(value, 1.0f);
        scaleMinY = -widened(value, 1.0f);
        return;
    }
    if (value >= scaleMaxY * kInverseHeadroom)
        scaleMaxY = widened(value, 1.0f);
    if (value <= scaleMinY * kInverseHeadroom)
        scaleMinY = -widened(value, 1.0f);
}

void updateMaxMin(int& maxIndex, int& minIndex, const RecordBuffer& buffer, int readingCount,
                  float value)
{
    Extremes extremes{maxIndex, minIndex, 0.0f, 0.0f};
    if (readingCount > 0) {
        extremes.atMax = buffer.at(static_cast<std::size_t>(maxIndex)).fValue;
        extremes.atMin = buffer.at(static_cast<std::size_t>(minIndex)).fValue;
    }
    updateMaxMin(extremes, readingCount, value);
    maxIndex = extremes.maxIndex;
    minIndex = extremes.minIndex;
}

void updateMaxMin(Extremes& extremes, int readingCount, float value)
{
    if (readingCount == 0) {
        extremes = {0, 0, value, value};
        return;
    }
    if (!std::isfinite(value))
        return;
    const bool minGivesWay = !std::isfinite(extremes.atMin);
    if (!std::isfinite(extremes.atMax) || !(extremes.atMax > value)) {
        extremes.maxIndex = readingCount;
        extremes.atMax = value;
        if (minGivesWay) {
            extremes.minIndex = readingCount;
            extremes.atMin = value;
        }
    } else if (minGivesWay || value <= extremes.atMin) {
        extremes.minIndex = readingCount;
        extremes.atMin = value;
    }
}

PageSlice pageSlice(std::size_t entries, int lastPage, int page, int pageSize)
{
    PageSlice slice;
    if (pageSize <= 0)
        return slice;
    // a in 64 bits, since page numbers can come from what a user typed.
    const long long n = static_cast<long long>(entries);
    const long long a = n - (static_cast<long long>(lastPage) - page) * pageSize;
    const auto clamped = [n](long long index) { return std::clamp(index, 0LL, n); };
    // A full page ends at a; the partial oldest page holds 0 .. a - 1. Indices
    // outside the buffer are left out, so a page that does not exist is empty.
    const long long first = a / pageSize != 0 && a > 0 ? clamped(a - pageSize) : 0;
    const long long end = clamped(a);
    slice.first = static_cast<std::size_t>(first);
    slice.count = static_cast<int>(std::max(0LL, end - first));
    slice.emptySlots = pageSize - slice.count;
    return slice;
}

} // namespace dmm
