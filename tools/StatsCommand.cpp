// SPDX-License-Identifier: MIT
#include "StatsCommand.h"

#include <cstdio>
#include <memory>
#include <string>

#include "ExportOutput.h"
#include "FileChecks.h"
#include "RecordDates.h"
#include "RecordFile.h"
#include "RecordRuns.h"
#include "StatsTable.h"
#include "XlsxStats.h"
#include "XlsxTable.h"

namespace dmm::exporttool {

namespace {

// Blocks of about 64 KB of rows.
constexpr std::size_t kBlockBytes = 64 * 1024;

// The recordings one after the other, each read once and added up into
// intervals; the rows of each closed interval go to `rows`.
class StatsWalk
{
public:
    using Rows = std::function<void(std::string_view file, const StatsInterval& interval)>;

    StatsWalk(const StatsRequest& request, JobControl& job) : m_request(request), m_job(job) {}

    void setRows(Rows rows) { m_rows = std::move(rows); }

    // Adds up records until `enough()` or the end; false at the end of every
    // recording or when one failed (then job.cancel is set and failure() says why).
    bool step(const std::function<bool()>& enough)
    {
        while (!enough()) {
            if (!m_runs && !openNext())
                return false;
            const TARecord* record = m_runs->nextRecord();
            if (!record) {
                m_stats->finish();
                m_readings += m_stats->readings();
                m_untimed += m_stats->untimed();
                m_inferred = m_inferred || m_stats->datesInferred();
                m_runs.reset();
                if (m_job.cancel) {
                    m_failure = m_path + QStringLiteral(": ") + truncationReason(*m_reader);
                    return false;
                }
                continue;
            }
            m_stats->add(*record);
        }
        return true;
    }

    const QString& failure() const { return m_failure; }
    qint64 readings() const { return m_readings; }
    qint64 untimed() const { return m_untimed; }
    bool datesInferred() const { return m_inferred; }

private:
    bool openNext()
    {
        if (m_next >= m_request.recordings.size() || m_job.cancel)
            return false;
        m_path = m_request.recordings[m_next++];
        m_reader = std::make_unique<RecordFileReader>();
        QString reason;
        // The dates of readings without a stamp, as --table infers them: a
        // pass up to the first stamped record, over the whole file where none
        // is. It runs beside the statistics where their intervals allow.
        auto counter = std::make_shared<RecordFileReader>();
        if (!m_reader->open(m_path, &reason) || !counter->open(m_path, &reason)) {
            m_failure = m_path + QStringLiteral(": ") + reason;
            m_job.cancel = true;
            return false;
        }
        const QDate lastDate = fileModificationDate(m_path);
        const auto countDays = [counter, lastDate] {
            RecordRuns counted(*counter);
            return firstRecordDate(counted, lastDate);
        };
        m_file = fileNameBytes(m_path).toStdString();
        const auto length =
            m_request.every ? std::optional<std::int64_t>(m_request.every->count()) : std::nullopt;
        const auto rows = [this](const StatsInterval& interval) { m_rows(m_file, interval); };
        if (RecordingStats::deferrable(length, m_request.format.utc))
            m_stats = std::make_unique<RecordingStats>(
                length, lastDate, std::async(std::launch::async, countDays).share(), rows);
        else
            m_stats =
                std::make_unique<RecordingStats>(length, m_request.format.utc, countDays(), rows);
        m_runs = std::make_unique<RecordRuns>(*m_reader, &m_job);
        return true;
    }

    const StatsRequest& m_request;
    JobControl& m_job;
    Rows m_rows;
    qsizetype m_next = 0;
    QString m_path;
    std::string m_file;
    std::unique_ptr<RecordFileReader> m_reader;
    std::unique_ptr<RecordingStats> m_stats;
    std::unique_ptr<RecordRuns> m_runs; // reads m_reader; destroyed first
    QString m_failure;
    qint64 m_readings = 0;
    qint64 m_untimed = 0;
    bool m_inferred = false;
};

} // namespace

int writeStats(const StatsRequest& request)
{
    for (const QString& path : request.recordings)
        if (!request.output.isEmpty() && isSameFile(request.output, path))
            return failure(request.output + QStringLiteral(": is a recording being read; the "
                                                           "output goes to another file"));
    const StatsRowForm form{request.format, request.recordings.size() > 1, false};
    JobControl job;
    StatsWalk walk(request, job);
    qint64 rows = 0;
    if (isXlsxName(request.output)) {
        const StopOnSignals stop(job);
        const auto error = writeXlsxStats(
            request.output, request.format.utc, form.fileColumn,
            [&](const StatsRowAdder& add) -> std::optional<QString> {
                walk.setRows([&](std::string_view file, const StatsInterval& interval) {
                    add(file, interval);
                    rows += qint64(interval.functions.size());
                });
                while (walk.step([] { return false; })) {
                }
                if (!walk.failure().isEmpty())
                    return walk.failure();
                return std::nullopt;
            },
            &job);
        if (const auto stopped = error ? stop.reportStop(request.output) : std::nullopt)
            return *stopped;
        if (!walk.failure().isEmpty())
            return failure(walk.failure());
        if (error)
            return failure(request.output + QStringLiteral(": ") + *error);
    } else {
        std::string text = statsHeader(form);
        walk.setRows([&](std::string_view file, const StatsInterval& interval) {
            appendStatsRows(text, interval, form, file);
            rows += qint64(interval.functions.size());
        });
        const auto producer = [&](QByteArray& block) {
            const bool more = walk.step([&] { return text.size() >= kBlockBytes; });
            block.append(text.data(), qsizetype(text.size()));
            text.clear();
            return more || !block.isEmpty();
        };
        if (const int status =
                writeOutput(request.output, producer, job, [&] { return walk.failure(); }))
            return status;
    }
    QString closing =
        QStringLiteral("dmm-export: %1 readings in %2 rows").arg(walk.readings()).arg(rows);
    if (walk.untimed() > 0)
        closing += QStringLiteral("; %1 readings without a time left out").arg(walk.untimed());
    if (walk.datesInferred())
        closing += QStringLiteral("; dates inferred (readings without a date stamp) as --table "
                                  "infers them");
    std::fprintf(stderr, "%s\n", qPrintable(closing));
    return 0;
}

} // namespace dmm::exporttool
