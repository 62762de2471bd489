// SPDX-License-Identifier: MIT
// Which buffer entries the graph viewer plots. Below 8192 entries every entry
// is a point of its own. From 8192 on the buffer is cut into groups of
// count / 2048 entries, and each group gives its smallest and largest entry in
// time order, so spikes survive and the chart holds 4096 to 5120 points.
#pragma once

#include <QStringList>

#include <cstddef>
#include <vector>

namespace dmm {

class RecordBuffer;

inline constexpr std::size_t kDirectPlotLimit = 8192;
inline constexpr std::size_t kViewerGroups = 2048;

struct ViewerPlot
{
    bool direct = true;
    std::size_t pointCount = 0;
    // Not direct: the entry each point shows, in plotting order.
    std::vector<std::size_t> indices;
    // The points that show the entries at maxIndex and minIndex (direct: the
    // indices themselves).
    std::size_t maxPosition = 0;
    std::size_t minPosition = 0;

    std::size_t entryAt(std::size_t point) const { return direct ? point : indices[point]; }
};

// `valueAt(i)` gives entry i's value (a float). In each group the earliest of
// equal maxima and the earliest of equal minima win; both are appended, the
// earlier index first, and a group whose extremes are one entry (all values
// equal, or a single entry) gives that entry twice. The recorder keeps the
// newest of equal extremes, which a group may then not plot: the position is
// then that of the point showing its group's extreme, which has the same value.
template <typename ValueAt>
ViewerPlot planViewerPlot(std::size_t count, ValueAt&& valueAt, std::size_t maxIndex,
                          std::size_t minIndex)
{
    ViewerPlot plot;
    if (count < kDirectPlotLimit) {
        plot.direct = true;
        plot.pointCount = count;
        plot.maxPosition = maxIndex;
        plot.minPosition = minIndex;
        return plot;
    }
    plot.direct = false;
    const std::size_t group = count / kViewerGroups;
    plot.indices.reserve(2 * ((count + group - 1) / group));
    for (std::size_t start = 0; start < count; start += group) {
        const std::size_t end = start + group < count ? start + group : count;
        std::size_t hi = start;
        std::size_t lo = start;
        float hiValue = valueAt(start);
        float loValue = hiValue;
        for (std::size_t i = start + 1; i < end; ++i) {
            const float v = valueAt(i);
            if (v > hiValue) {
                hi = i;
                hiValue = v;
            }
            if (v < loValue) {
                lo = i;
                loValue = v;
            }
        }
        // Minimum first when both are one entry.
        const bool loFirst = lo <= hi;
        const std::size_t firstPoint = plot.indices.size();
        plot.indices.push_back(loFirst ? lo : hi);
        plot.indices.push_back(loFirst ? hi : lo);
        const std::size_t hiPoint = (loFirst ? firstPoint + 1 : firstPoint);
        const std::size_t loPoint = (lo == hi  ? firstPoint + 1
                                     : loFirst ? firstPoint
                                               : firstPoint + 1);
        const auto positionOf = [&](std::size_t index, std::size_t fallback) {
            if (index == hi)
                return hiPoint;
            return index == lo ? loPoint : fallback;
        };
        if (maxIndex >= start && maxIndex < end)
            plot.maxPosition = positionOf(maxIndex, hiPoint);
        if (minIndex >= start && minIndex < end)
            plot.minPosition = positionOf(minIndex, loPoint);
    }
    plot.pointCount = plot.indices.size();
    return plot;
}

ViewerPlot planViewerPlot(const RecordBuffer& buffer, std::size_t maxIndex, std::size_t minIndex);

// The chart's data for a plan: each point's value and time stamp text.
struct ViewerSeries
{
    std::vector<double> values;
    QStringList labels;
};
ViewerSeries viewerSeries(const RecordBuffer& buffer, const ViewerPlot& plot);

} // namespace dmm
