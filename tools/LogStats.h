// SPDX-License-Identifier: MIT
// dmm-log --stats FILE.csv --every DURATION: the logged readings added up per
// interval (IntervalStats.h), each interval's rows (StatsTable.h) written the
// moment it closes: when a reading of a later interval is logged, or when the
// interval's end passes without one. The file has the statistics table's
// columns and a last column "partial": a run that stops before its interval's
// end writes that interval's rows with "partial" there. The file is always a
// new one: statistics are never appended to an existing file.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

#include "IntervalStats.h"
#include "LogFile.h"
#include "LogOptions.h"
#include "Record.h"
#include "StatsTable.h"

namespace dmm::logtool {

// Why --stats cannot write to the file `options` name: an existing file, or
// what outputPathProblem() finds against a new one. Empty when it will do.
QString statsPathProblem(const LogOptions& options);

class LogStats : public QObject
{
    Q_OBJECT
public:
    LogStats(std::chrono::milliseconds every, const TableFormat& format, QObject* parent = nullptr);
    ~LogStats() override;

    // Makes the file and writes its header; false with the reason.
    bool open(const QString& path, QString* error);

    // Each closed interval's rows, one JSON object per function, as they are
    // written (for MQTT).
    void setRowListener(std::function<void(const std::string& json)> listener)
    {
        m_listener = std::move(listener);
    }

    // A reading logged at `time`; false with the reason when a closed
    // interval's rows could not be written.
    bool add(const QDateTime& time, const TARecord& record, QString* error);

    // Writes the open interval, partial unless its end has passed, then
    // syncs and closes the file; false with the reason when that fails.
    bool close(const QDateTime& now, QString* error);

signals:
    // A write failed when an interval closed at its end (with the reason).
    void failed(const QString& error);

private:
    StatsTime timeOf(const QDateTime& time) const;
    void armTimer(const QDateTime& now);
    void write(const StatsInterval& interval);

    StatsRowForm m_form;
    IntervalSplitter m_splitter;
    LogFile m_file;
    QTimer m_endTimer; // the open interval's end
    std::int64_t m_armedEnd = -1;
    std::function<void(const std::string&)> m_listener;
    QString m_error; // of the last write, set by write()
};

} // namespace dmm::logtool
