// SPDX-License-Identifier: MIT
#include "LogStats.h"

#include "FileChecks.h"
#include "SiUnits.h"

namespace dmm::logtool {

namespace {

constexpr std::int64_t kDayMs = 86'400'000;
constexpr qint64 kEpochJulianDay = 2'440'588; // 1970-01-01

} // namespace

QString statsPathProblem(const LogOptions& options)
{
    if (nameIsTaken(options.statsPath) && !isFolder(options.statsPath))
        return options.statsPath +
               QStringLiteral(": exists; statistics go to a new file, never added to one");
    return outputPathProblem(options.statsPath, false, false, options.table, options.port);
}

LogStats::LogStats(std::chrono::milliseconds every, const TableFormat& format, QObject* parent)
    : QObject(parent), m_form{format, false, true},
      m_splitter(every.count(), [this](const StatsInterval& interval) { write(interval); })
{
    m_endTimer.setSingleShot(true);
    m_endTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_endTimer, &QTimer::timeout, this, [this] {
        const QDateTime now = QDateTime::currentDateTime();
        const StatsInterval* open = m_splitter.openInterval();
        if (!open)
            return;
        if (timeOf(now).ms < open->end.ms) { // woken early
            armTimer(now);
            return;
        }
        m_error.clear();
        m_splitter.finish();
        if (!m_error.isEmpty())
            emit failed(m_error);
    });
}

LogStats::~LogStats() = default;

bool LogStats::open(const QString& path, QString* error)
{
    if (!m_file.open(path, LogFile::Kind::Lines, false, m_form.format, error))
        return false;
    return m_file.write(QByteArray::fromStdString(statsHeader(m_form)), error);
}

StatsTime LogStats::timeOf(const QDateTime& time) const
{
    if (m_form.format.utc)
        return {time.toMSecsSinceEpoch(), true};
    const QDateTime local = time.toLocalTime();
    return {(local.date().toJulianDay() - kEpochJulianDay) * kDayMs +
                local.time().msecsSinceStartOfDay(),
            true};
}

void LogStats::armTimer(const QDateTime& now)
{
    const StatsInterval* open = m_splitter.openInterval();
    if (!open)
        return;
    // Just past the end, so that a reading logged after the timer lies
    // beyond the interval.
    m_endTimer.start(std::chrono::milliseconds(std::max<std::int64_t>(
        1, std::min<std::int64_t>(open->end.ms - timeOf(now).ms + 1, 3'600'000))));
}

bool LogStats::add(const QDateTime& time, const TARecord& record, QString* error)
{
    m_error.clear();
    const bool overload = isOverload(record);
    m_splitter.add(record.function, functionName(record.function),
                   overload ? std::nullopt : siNumber(record), overload, timeOf(time));
    if (const StatsInterval* open = m_splitter.openInterval(); open && open->end.ms != m_armedEnd) {
        m_armedEnd = open->end.ms;
        armTimer(time);
    }
    if (!m_error.isEmpty()) {
        *error = m_error;
        return false;
    }
    return true;
}

void LogStats::write(const StatsInterval& interval)
{
    std::string rows;
    appendStatsRows(rows, interval, m_form);
    if (!m_file.write(QByteArray::fromStdString(rows), &m_error))
        return;
    if (m_listener)
        for (const FunctionStats& figures : interval.functions)
            m_listener(statsRowJson(interval, figures, m_form.format.utc));
}

bool LogStats::close(const QDateTime& now, QString* error)
{
    m_endTimer.stop();
    m_error.clear();
    if (const StatsInterval* open = m_splitter.openInterval())
        m_splitter.finish(timeOf(now).ms < open->end.ms);
    QString closeError;
    const bool closed = m_file.close(&closeError);
    if (!m_error.isEmpty()) {
        *error = m_error;
        return false;
    }
    if (!closed)
        *error = closeError;
    return closed;
}

} // namespace dmm::logtool
