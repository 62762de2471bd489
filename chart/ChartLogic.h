// SPDX-License-Identifier: MIT
// The chart control's arithmetic, free of widgets: which points carry an X
// label, the automatic value scale and the picture sizes.
#pragma once

#include <QSize>
#include <QString>
#include <QVector>

#include <utility>

namespace dmm::chart {

// The smallest step of the series 1, 2, 5, 10, 20, 25, 50, 100, 200, 250, ...
// (in points) that leaves each X label `labelPixels` plus a gap of room on an
// axis `axisPixels` long that shows `visiblePoints` points.
int labelStep(double visiblePoints, double axisPixels, double labelPixels);

// The points in [lower, upper] (clipped to 0 .. pointCount - 1) whose distance
// from `anchor` is a multiple of `step`, ascending. Anchoring at the newest
// point keeps its label in view while the recorder scrolls.
QVector<int> labelledPoints(double lower, double upper, int pointCount, int step, int anchor);

// The value range an automatic scale shows for data from `low` to `high`:
// a twentieth of the span added on either side; a flat line gets a range
// around its value; no data at all (low > high) shows -1 .. 1.
std::pair<double, double> autoScale(double low, double high);

// Hundredths of a millimetre to pixels at `dpi` and back, at least one pixel.
QSize hundredthsToPixels(QSize hundredths, int dpi);
QSize pixelsToHundredths(QSize pixels, int dpi);

// The physical size of "print the image": the action size is in hundredths of
// a millimetre for a metafile and in pixels for a bitmap, and the chart is not
// told which. Sizes under 20 mm on both sides are taken as pixels (the bitmap
// defaults are around 1000 by 681), the rest as hundredths of a millimetre.
// Returns hundredths of a millimetre.
QSize printImageSize(QSize actionSize, int dpi);

// The format a bitmap file is written in: "png" for a name ending in .png (in
// any case), otherwise "bmp".
const char* bitmapFileFormat(const QString& fileName);

} // namespace dmm::chart
