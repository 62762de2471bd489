// SPDX-License-Identifier: MIT
#include "TableCommand.h"

#include <cstdio>

#include "ExportOutput.h"
#include "RecordFile.h"
#include "TableFile.h"
#include "TerminalProgress.h"

namespace dmm::exporttool {

std::optional<QDate> recordingFirstDate(const QString& path, const std::optional<QDate>& given,
                                        QString* reason, bool* fromStamp)
{
    if (given)
        return given;
    RecordFileReader counter;
    if (!counter.open(path, reason))
        return std::nullopt;
    RecordRuns counted(counter);
    return firstRecordDate(counted, fileModificationDate(path), fromStamp);
}

int writeTable(const TableRequest& request)
{
    const QString& path = request.recording;
    RecordFileReader reader;
    QString reason;
    if (!reader.open(path, &reason))
        return failure(path + QStringLiteral(": ") + reason);

    bool fromStamp = false;
    const std::optional<QDate> firstDate =
        recordingFirstDate(path, request.firstDate, &reason, &fromStamp);
    if (!firstDate)
        return failure(path + QStringLiteral(": ") + reason);

    JobControl job;
    RecordRuns records(reader, &job); // a file ended early: no output replaced
    TerminalProgress progress(reader.recordCount(), request.quiet);
    records.observeRuns([&progress](std::size_t end) { progress.update(qint64(end)); });
    TableFileResult written;
    if (!request.output.isEmpty()) {
        const StopOnSignals stop(job);
        const auto error =
            writeTableFile(request.output, request.format, *firstDate, records, &job, &written);
        progress.finish();
        if (const auto stopped = error ? stop.reportStop(request.output) : std::nullopt)
            return *stopped;
        if (job.cancel)
            return failure(path + QStringLiteral(": ") + truncationReason(reader));
        if (error)
            return failure(request.output + QStringLiteral(": ") + *error);
    } else {
        TableProducer table(request.format, *firstDate, records);
        if (const int status = writeOutput(
                {},
                [&](QByteArray& block) {
                    const bool more = table.nextBlock(block);
                    if (!more)
                        progress.finish();
                    return more;
                },
                job, [&] { return path + QStringLiteral(": ") + truncationReason(reader); }))
            return status;
        written = {table.rows(), table.datesInferred()};
    }
    const qint64 rows = written.rows;
    const bool datesInferred = written.datesInferred;

    QString closing = QStringLiteral("dmm-export: %1 readings").arg(rows);
    if (!datesInferred)
        closing += QStringLiteral(", each with its recorded date");
    else if (fromStamp)
        closing += QStringLiteral("; dates inferred (readings without a date stamp) from the "
                                  "stamped readings next to them");
    else if (request.firstDate)
        closing += QStringLiteral("; dates inferred (readings without a date stamp) from "
                                  "--date %1 for the first reading")
                       .arg(firstDate->toString(Qt::ISODate));
    else
        closing += QStringLiteral("; dates inferred (readings without a date stamp) from the "
                                  "file's modification date, %1, for the last reading")
                       .arg(fileModificationDate(path).toString(Qt::ISODate));
    std::fprintf(stderr, "%s\n", qPrintable(closing));
    return 0;
}

} // namespace dmm::exporttool
