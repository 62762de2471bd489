// SPDX-License-Identifier: MIT
// A symbolic link pointed somewhere else without a moment in which its name
// stands for nothing: the new link is made beside it and renamed over it.
#pragma once

#include <QString>

#include <optional>

namespace dmm {

// Points the link `path` at `target`, replacing whatever link or file the
// name held (callers check first what they may replace). The system's reason
// when it fails; the old entry is then as it was.
std::optional<QString> replaceSymbolicLink(const QString& path, const QString& target);

} // namespace dmm
