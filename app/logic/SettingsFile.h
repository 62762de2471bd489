// SPDX-License-Identifier: MIT
// The settings file MLQDL.ini in the start-up directory: three key=value lines.
#pragma once

#include <QString>
#include <QStringList>

namespace dmm {

struct Settings
{
    int iPort = 2;
    double fHiLimit = 1.0;
    double fLowLimit = 0.0;
    // The limit dialog's "Notify the desktop": the line bNotifyDesktop=1,
    // written only when on, so that a file of a user who never chose it
    // keeps its three lines. Read apart from the three.
    bool bNotifyDesktop = false;
};

// Used when a value is missing or does not convert: all three together.
inline constexpr Settings kFallbackSettings{};

// The settings file's path: the start-up directory joined with the file name
// from the string table.
QString settingsFilePath(const QString& startupDirectory);

// All or nothing: if any of iPort, fHiLimit, fLowLimit is missing or does not
// convert, every value takes its fallback. The limits accept "." and the
// program's current separator, so a file written after a frame was decoded
// reads back in a comma locale too.
Settings parseSettings(const QStringList& lines);
// At most this much of the file is read: 64 KB.
inline constexpr qint64 kSettingsReadLimit = 64 * 1024;

// A missing or unreadable file, or anything but a regular file, gives the
// fallbacks; of a longer file only the first kSettingsReadLimit bytes count.
Settings readSettingsFile(const QString& path);

// Exactly the three lines, in the order iPort, fHiLimit, fLowLimit; then
// bNotifyDesktop=1 when that is on.
QStringList settingsLines(const Settings& settings);
// Replaces the file. On failure returns false and the system's reason.
bool writeSettingsFile(const QString& path, const Settings& settings, QString* error = nullptr);

} // namespace dmm
