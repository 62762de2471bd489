// SPDX-License-Identifier: MIT
#include "ViewerPlot.h"

#include "RecordBuffer.h"

namespace dmm {

ViewerPlot planViewerPlot(const RecordBuffer& buffer, std::size_t maxIndex, std::size_t minIndex)
{
    return planViewerPlot(
        buffer.size(), [&buffer](std::size_t i) { return buffer.at(i).fValue; }, maxIndex,
        minIndex);
}

ViewerSeries viewerSeries(const RecordBuffer& buffer, const ViewerPlot& plot)
{
    ViewerSeries series;
    series.values.reserve(plot.pointCount);
    series.labels.reserve(static_cast<qsizetype>(plot.pointCount));
    for (std::size_t point = 0; point < plot.pointCount; ++point) {
        const std::size_t entry = plot.entryAt(point);
        if (entry >= buffer.size())
            break;
        const TARecord& record = buffer.at(entry);
        series.values.push_back(record.fValue);
        series.labels.push_back(
            QString::fromLatin1(record.timeStamp.view().data(),
                                static_cast<qsizetype>(record.timeStamp.view().size())));
    }
    return series;
}

} // namespace dmm
