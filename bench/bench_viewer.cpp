// SPDX-License-Identifier: MIT
// The viewer's two costs: planning the points of a 1,000,000-entry buffer
// (the thinning to about 4,100 points) and loading 8,191 points with labels
// into the chart and drawing them. Prints figures (the best of a few runs, the
// machine may be shared); it is not a test. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "PEGraph.h"
#include "RecordBuffer.h"
#include "ViewerPlot.h"

using namespace dmm;

namespace {

double milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    constexpr int kRuns = 5;

    RecordBuffer buffer;
    TARecord record;
    for (int i = 0; i < 1'000'000; ++i) {
        record.fValue = float((unsigned(i) * 7919u) % 1000u);
        buffer.append(record);
    }
    double best = 1e9;
    std::size_t points = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        points = planViewerPlot(buffer, 0, 0).pointCount;
        best = std::min(best, milliseconds(start));
    }
    std::printf("viewer plan: 1,000,000 entries to %zu points in %.1f ms (best of %d)\n", points,
                best, kRuns);

    PEGraph graph;
    graph.ManualScaleControlY = PEGraph::gManualMinAndMax;
    graph.ManualMinY = -100;
    graph.ManualMaxY = 100;
    graph.CursorMode = PEGraph::gVertLine;
    graph.PointSize = PEGraph::gLargePoints;
    graph.ManualMaxPointLabel = QStringLiteral("00:00:00.000");
    graph.resize(900, 500);
    graph.show();
    QApplication::processEvents();
    const QString label = QStringLiteral(" 14:05:09.3  ");
    best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        graph.Points = graph.PointsToGraph = graph.MaxPointsToGraph = 8191;
        for (int i = 0; i < 8191; ++i) {
            graph.SetYData(0, i, 80.0 * std::sin((i + run) / 100.0));
            graph.SetPointLabel(i, label);
        }
        graph.RunAction(ChartAction::Rebuild);
        graph.SetCursorPoint(0);
        graph.RunAction(ChartAction::UndoZoom);
        QApplication::processEvents(); // the queued replot
        best = std::min(best, milliseconds(start));
    }
    std::printf("viewer chart: 8,191 points loaded and drawn in %.1f ms (best of %d)\n", best,
                kRuns);
    return 0;
}
