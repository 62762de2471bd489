// SPDX-License-Identifier: MIT
// A length of time as people type it on a command line: "2h", "30m", "45s",
// "1h30m", "3.5s", or a bare number of seconds. dmm-log's --duration and the
// statistics' --every read it alike.
#pragma once

#include <QStringView>

#include <chrono>
#include <optional>

namespace dmm {

// None for a zero, negative, malformed or absurdly long (over 100 years)
// duration.
std::optional<std::chrono::milliseconds> parseDuration(QStringView text);

} // namespace dmm
