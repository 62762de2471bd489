// SPDX-License-Identifier: MIT
#include "LostRuns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

#include "FileLocks.h"
#include "StringTable.h"

namespace dmm {

namespace {

constexpr int kTempFilePrefixEntry = 6; // "~KOPLX"

std::optional<TARecord> readRecordAt(QFile& file, qint64 index)
{
    std::array<std::uint8_t, kARecordSize> bytes{};
    if (!file.seek(index * static_cast<qint64>(kARecordSize)) ||
        file.read(reinterpret_cast<char*>(bytes.data()), kARecordSize) !=
            static_cast<qint64>(kARecordSize))
        return std::nullopt;
    return decodeARecord(bytes);
}

QString timeText(const std::optional<TARecord>& record)
{
    return record ? QString::fromStdString(record->timeStamp.str()).trimmed() : QString();
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
    QFile file(path);
    if (run.readings == 0 || !info.isFile() || !file.open(QIODevice::ReadOnly))
        return run;
    run.first = readRecordAt(file, 0);
    run.last = readRecordAt(file, run.readings - 1);
    return run;
}

QList<LostRun> findLostRuns(const QString& directory)
{
    const QDir dir(directory);
    const QString pattern = tableString(kTempFilePrefixEntry) + QStringLiteral("*.TMP");
    QList<LostRun> runs;
    for (const QFileInfo& info : dir.entryInfoList({pattern}, QDir::Files)) {
        // The name filter ignores case; the program writes exactly this form.
        if (!info.fileName().startsWith(tableString(kTempFilePrefixEntry)) ||
            !info.fileName().endsWith(QStringLiteral(".TMP")) || !info.isFile() ||
            isHeldByAnotherProgram(info.filePath()))
            continue;
        runs.append(describeLostRun(info.filePath()));
    }
    // Written in the same second: the higher number is the later run.
    const auto number = [](const LostRun& run) {
        const QString name = QFileInfo(run.path).completeBaseName();
        return name.mid(tableString(kTempFilePrefixEntry).size()).toLongLong();
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
    return tableString(8188).arg(name, QString::number(run.readings), timeText(run.first),
                                 timeText(run.last), written);
}

} // namespace dmm
