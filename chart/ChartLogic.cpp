// SPDX-License-Identifier: MIT
#include "ChartLogic.h"

#include <algorithm>
#include <cmath>

namespace dmm::chart {

namespace {

// Room between two neighbouring X labels, in pixels.
constexpr double kLabelGap = 14.0;

long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

int labelStep(double visiblePoints, double axisPixels, double labelPixels)
{
    if (!(visiblePoints > 0.0))
        return 1;
    const double needed = std::max(labelPixels, 1.0) + kLabelGap;
    // Without room for even one label, one label per view is all that fits.
    const double perPoint = axisPixels / visiblePoints;
    const double minimum = perPoint > 0.0 ? needed / perPoint : visiblePoints;
    for (long long decade = 1; decade <= 1'000'000'000LL; decade *= 10) {
        for (const long long factor : {10LL, 20LL, 25LL, 50LL}) {
            // 2.5 only from 20 on: a step of 2.5 points does not exist.
            const long long step = decade * factor / 10;
            if (factor == 25 && decade < 10)
                continue;
            if (static_cast<double>(step) >= minimum)
                return static_cast<int>(std::min<long long>(step, 1'000'000'000LL));
        }
    }
    return 1'000'000'000;
}

QVector<int> labelledPoints(double lower, double upper, int pointCount, int step, int anchor)
{
    QVector<int> points;
    if (pointCount <= 0 || step <= 0 || !(lower <= upper))
        return points;
    const double firstVisible = std::max(0.0, std::ceil(lower));
    const double lastVisible = std::min(double(pointCount - 1), std::floor(upper));
    if (firstVisible > lastVisible)
        return points;
    const auto first = static_cast<long long>(firstVisible);
    const auto last = static_cast<long long>(lastVisible);
    long long p = anchor + floorDiv(first - anchor + step - 1, step) * step;
    for (; p <= last; p += step)
        points.append(static_cast<int>(p));
    return points;
}

std::pair<double, double> autoScale(double low, double high)
{
    if (!(low <= high) || !std::isfinite(low) || !std::isfinite(high))
        return {-1.0, 1.0};
    const double span = high - low;
    if (span <= std::abs(high) * 1e-12 || span == 0.0) {
        const double pad = low == 0.0 ? 1.0 : std::abs(low) * 0.1;
        return {low - pad, high + pad};
    }
    return {low - span / 20.0, high + span / 20.0};
}

QSize hundredthsToPixels(QSize hundredths, int dpi)
{
    const auto convert = [dpi](int v) {
        return std::max(1, int(std::lround(double(v) / 2540.0 * dpi)));
    };
    return {convert(hundredths.width()), convert(hundredths.height())};
}

QSize pixelsToHundredths(QSize pixels, int dpi)
{
    const auto convert = [dpi](int v) { return std::max(1, int(std::lround(v * 2540.0 / dpi))); };
    return {convert(pixels.width()), convert(pixels.height())};
}

QSize printImageSize(QSize actionSize, int dpi)
{
    if (actionSize.width() < 2000 && actionSize.height() < 2000)
        return pixelsToHundredths(actionSize, dpi);
    return actionSize;
}

const char* bitmapFileFormat(const QString& fileName)
{
    return fileName.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) ? "png" : "bmp";
}

} // namespace dmm::chart
