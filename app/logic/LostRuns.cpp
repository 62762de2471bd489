// SPDX-License-Identifier: MIT
#include "LostRuns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <algorithm>

#include "FileChecks.h"
#include "FileLocks.h"
#include "RecordAppender.h"
#include "RecordDates.h"
#include "StringTable.h"
#include "TempFiles.h"

namespace dmm {

namespace {

constexpr int kStrRunLine = 8188;
constexpr int kStrOneReadingRunLine = 8194;
constexpr int kStrTimeUnknown = 8195;

// The record's time as logged; anything else (an empty, zero-filled or
// garbled text) is not shown as it is.
QString timeText(const std::optional<TARecord>& record)
{
    if (!record || !isLoggedTimeText(record->timeStamp.view()))
        return tableString(kStrTimeUnknown);
    return QString::fromStdString(record->timeStamp.str()).trimmed();
}

} // namespace

LostRun describeLostRun(const QString& path)
{
    LostRun run;
    run.path = path;
    const QFileInfo info(path);
    run.lastWritten = info.lastModified();
    run.readings = info.size() / static_cast<qint64>(kARecordSize);
    // Only a regular file is opened: a FIFO of that name would block.
    if (run.readings == 0 || !info.isFile())
        return run;
    QString error;
    const int fd = openRegularFileForReading(path, &error);
    if (fd < 0)
        return run;
    int readError = 0;
    const auto ends = readEndRecords(fd, info.size(), &readError);
    ::close(fd);
    if (ends) {
        run.first = decodeARecord(ends->first);
        run.last = decodeARecord(ends->last);
    }
    return run;
}

QList<LostRun> findLostRuns(const QString& directory)
{
    const QDir dir(directory);
    QList<LostRun> runs;
    for (const QFileInfo& info : dir.entryInfoList({tempFileNameFilter()}, QDir::Files)) {
        // The name filter ignores case; the program writes exactly this form.
        if (!isTempFileName(info.fileName()) || !info.isFile() ||
            isHeldByAnotherProgram(info.filePath()))
            continue;
        runs.append(describeLostRun(info.filePath()));
    }
    // Written in the same second: the higher number is the later run.
    const auto number = [](const LostRun& run) {
        return tempFileNumber(QFileInfo(run.path).fileName());
    };
    std::stable_sort(runs.begin(), runs.end(), [&](const LostRun& a, const LostRun& b) {
        if (a.lastWritten != b.lastWritten)
            return a.lastWritten > b.lastWritten;
        return number(a) > number(b);
    });
    return runs;
}

std::optional<LostRun> newestWithReadings(const QList<LostRun>& runs)
{
    for (const LostRun& run : runs)
        if (run.readings > 0)
            return run;
    return std::nullopt;
}

QString lostRunLine(const LostRun& run)
{
    const QString name = QFileInfo(run.path).fileName();
    const QString written = run.lastWritten.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!run.first)
        return tableString(8192).arg(name, written);
    return tableString(run.readings == 1 ? kStrOneReadingRunLine : kStrRunLine)
        .arg(name, QString::number(run.readings), timeText(run.first), timeText(run.last),
             written);
}

} // namespace dmm
