// SPDX-License-Identifier: MIT
#include "DurationText.h"

#include <QRegularExpression>
#include <QString>

#include <cmath>

namespace dmm {

namespace {

using namespace std::chrono_literals;

constexpr auto kMaxDuration = std::chrono::hours(24 * 366 * 100);

} // namespace

std::optional<std::chrono::milliseconds> parseDuration(QStringView text)
{
    // Whole numbers or up to three decimals ("1.5h", "3.5s"), so that the
    // millisecond result is exact enough and never rounds a short run to 0.
    static const QRegularExpression bareSeconds(QStringLiteral("^\\d{1,12}(?:\\.\\d{1,3})?$"));
    static const QRegularExpression withUnits(
        QStringLiteral("^(?:\\d{1,12}(?:\\.\\d{1,3})?[hms])+$"));
    static const QRegularExpression part(QStringLiteral("(\\d{1,12}(?:\\.\\d{1,3})?)([hms])"));

    const QString trimmed = text.trimmed().toString();
    double seconds = 0;
    if (bareSeconds.match(trimmed).hasMatch()) {
        seconds = trimmed.toDouble();
    } else if (withUnits.match(trimmed).hasMatch()) {
        for (auto it = part.globalMatch(trimmed); it.hasNext();) {
            const auto match = it.next();
            const double amount = match.captured(1).toDouble();
            const QChar unit = match.captured(2).at(0);
            seconds += amount * (unit == u'h' ? 3600 : unit == u'm' ? 60 : 1);
        }
    } else {
        return std::nullopt;
    }
    const double ms = std::round(seconds * 1000);
    if (ms < 1 || ms > static_cast<double>(kMaxDuration / 1ms))
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<long long>(ms));
}

} // namespace dmm
