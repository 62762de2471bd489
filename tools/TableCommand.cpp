// SPDX-License-Identifier: MIT
#include "TableCommand.h"

#include <cstdio>

#include "ExportOutput.h"
#include "RecordFile.h"
#include "XlsxTable.h"

namespace dmm::exporttool {

namespace {

std::string jsonTime(const RecordTime& time)
{
    return time.text.empty() ? "null" : '"' + time.text + '"';
}

} // namespace

int writeTable(const TableRequest& request)
{
    const QString& path = request.recording;
    RecordFileReader reader;
    QString reason;
    if (!reader.open(path, &reason))
        return failure(path + QStringLiteral(": ") + reason);

    // Without --date the dates are counted back from the last reading (or the
    // first stamped one), which takes a first pass over the texts.
    QDate firstDate;
    bool fromStamp = false;
    if (request.firstDate) {
        firstDate = *request.firstDate;
    } else {
        RecordFileReader counter;
        if (!counter.open(path, &reason))
            return failure(path + QStringLiteral(": ") + reason);
        firstDate = firstRecordDate(fileRecords(counter), fileModificationDate(path), &fromStamp);
    }

    qint64 rows = 0;
    bool datesInferred = false;
    if (isXlsxName(request.output)) {
        JobControl job;
        const RecordSource source = fileRecords(reader);
        const RecordSource records = [&]() -> const TARecord* {
            const TARecord* record = source();
            if (!record)
                job.cancel = reader.truncated(); // the workbook then replaces nothing
            return record;
        };
        XlsxTableResult written;
        const StopOnSignals stop(job);
        const auto error =
            writeXlsxTable(request.output, request.format.utc, firstDate, records, &job, &written);
        if (const auto stopped = error ? stop.reportStop(request.output) : std::nullopt)
            return *stopped;
        if (job.cancel)
            return failure(path + QStringLiteral(": ") + truncationReason(reader));
        if (error)
            return failure(request.output + QStringLiteral(": ") + *error);
        rows = written.rows;
        datesInferred = written.datesInferred;
    } else {
        TableProducer table(request.format, firstDate, fileRecords(reader));
        JobControl job;
        const BlockProducer next = [&](QByteArray& block) {
            if (table.nextBlock(block))
                return true;
            job.cancel = reader.truncated(); // the writer then leaves no output file
            return false;
        };
        if (const int status = writeOutput(request.output, next, job, [&] {
                return path + QStringLiteral(": ") + truncationReason(reader);
            }))
            return status;
        rows = table.rows();
        datesInferred = table.datesInferred();
    }

    QString closing = QStringLiteral("dmm-export: %1 readings").arg(rows);
    if (!datesInferred)
        closing += QStringLiteral(", each with its recorded date");
    else if (fromStamp)
        closing += QStringLiteral("; dates inferred (readings without a date stamp) from the "
                                  "stamped readings next to them");
    else if (request.firstDate)
        closing += QStringLiteral("; dates inferred (readings without a date stamp) from "
                                  "--date %1 for the first reading")
                       .arg(firstDate.toString(Qt::ISODate));
    else
        closing += QStringLiteral("; dates inferred (readings without a date stamp) from the "
                                  "file's modification date, %1, for the last reading")
                       .arg(fileModificationDate(path).toString(Qt::ISODate));
    std::fprintf(stderr, "%s\n", qPrintable(closing));
    return 0;
}

std::string recordTimesJson(const RecordTime& first, const RecordTime& last)
{
    const auto flag = [](bool b) { return b ? std::string("true") : std::string("false"); };
    return ",\"firstTime\":" + jsonTime(first) + ",\"firstTimeStamped\":" + flag(first.stamped) +
           ",\"lastTime\":" + jsonTime(last) + ",\"lastTimeStamped\":" + flag(last.stamped);
}

} // namespace dmm::exporttool
