// SPDX-License-Identifier: MIT
#include "JoinCommand.h"

#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <vector>

#include "ExportOutput.h"
#include "RecordFile.h"
#include "TableCommand.h"
#include "TableJoin.h"
#include "XlsxTable.h"

namespace dmm::exporttool {

QStringList joinNames(const QStringList& recordings, QString* error)
{
    QStringList names;
    for (const QString& path : recordings) {
        const QString name = QFileInfo(path).completeBaseName();
        if (name.isEmpty() || name.contains(u'\n') || name.contains(u'"')) {
            *error = path + QStringLiteral(": the file's name cannot head a column");
            return {};
        }
        if (const qsizetype at = names.indexOf(name); at >= 0) {
            *error = QStringLiteral("%1 and %2 would both be the columns %3; give one of them "
                                    "another name")
                         .arg(recordings[at], path, name);
            return {};
        }
        names << name;
    }
    return names;
}

int writeJoinedTable(const JoinRequest& request)
{
    QString error;
    const QStringList names = joinNames(request.recordings, &error);
    if (names.isEmpty())
        return failure(error);
    std::optional<std::pair<int, int>> power;
    if (!request.power.isEmpty()) {
        const QStringList pair = request.power.split(u'*');
        const int volts = pair.size() == 2 ? int(names.indexOf(pair[0])) : -1;
        const int amperes = pair.size() == 2 ? int(names.indexOf(pair[1])) : -1;
        if (volts < 0 || amperes < 0 || volts == amperes) {
            std::fprintf(stderr,
                         "dmm-export: --power %s: needs two of the recordings' names as "
                         "VOLTS*AMPERES (the names: %s)\n",
                         qPrintable(request.power), qPrintable(names.join(QStringLiteral(", "))));
            return 2;
        }
        power = std::pair{volts, amperes};
    }

    JobControl job;
    std::vector<std::unique_ptr<RecordFileReader>> readers;
    std::vector<std::unique_ptr<RecordRuns>> runs;
    std::vector<JoinInput> inputs;
    for (const QString& path : request.recordings) {
        QString reason;
        auto& reader = readers.emplace_back(std::make_unique<RecordFileReader>());
        if (!reader->open(path, &reason))
            return failure(path + QStringLiteral(": ") + reason);
        // As the one-recording table.
        const std::optional<QDate> firstDate = recordingFirstDate(path, request.firstDate, &reason);
        if (!firstDate)
            return failure(path + QStringLiteral(": ") + reason);
        runs.push_back(std::make_unique<RecordRuns>(*reader, &job));
        inputs.push_back({runs.back().get(), *firstDate});
    }
    // Which recording ended early, for the message.
    const auto truncated = [&] {
        for (std::size_t i = 0; i < readers.size(); ++i)
            if (readers[i]->truncated())
                return request.recordings[qsizetype(i)] + QStringLiteral(": ") +
                       truncationReason(*readers[i]);
        return QString();
    };

    JoinedRows rows(std::move(inputs), power);
    if (isXlsxName(request.output)) {
        const StopOnSignals stop(job);
        const auto problem =
            writeXlsxJoinedTable(request.output, request.format.utc, names, rows, &job);
        if (const auto stopped = problem ? stop.reportStop(request.output) : std::nullopt)
            return *stopped;
        if (job.cancel)
            return failure(truncated());
        if (problem)
            return failure(request.output + QStringLiteral(": ") + *problem);
    } else {
        JoinedTableProducer table(request.format, names, rows);
        if (const int status = writeOutput(
                request.output, [&](QByteArray& block) { return table.nextBlock(block); }, job,
                truncated))
            return status;
    }
    std::fprintf(stderr, "dmm-export: %lld rows joined from %lld recordings%s\n",
                 static_cast<long long>(rows.rows()), static_cast<long long>(names.size()),
                 rows.datesInferred() ? "; some dates inferred (readings without a date stamp)"
                                      : ", each reading with its recorded date");
    return 0;
}

} // namespace dmm::exporttool
