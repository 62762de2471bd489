// SPDX-License-Identifier: MIT
// A dmm-log run with several meters: one channel per meter (MeterChannel.h),
// all polled on one 500 ms tick so that the readings of a round belong
// together. A round ends when every meter polled in it has answered (or at
// the next tick); its readings then make one row of the shared table
// (MeterTable.h), with power, energy and charge for a paired volt and ampere
// meter. Each reading is in exactly one row and in its meter's record file.
#pragma once

#include <QDateTime>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "LogFile.h"
#include "LogOptions.h"
#include "MeterChannel.h"
#include "MeterWatchers.h"
#include "PowerIntegral.h"
#include "ServiceNotify.h"

namespace dmm::logtool {

// Why the outputs of `options` cannot be used, before anything is opened
// (outputPathProblem() of each: with several meters each meter's record file,
// and no output may be any meter's port); empty when they will do.
QString outputsProblem(const LogOptions& options);

class MultiLogSession : public QObject
{
    Q_OBJECT
public:
    explicit MultiLogSession(LogOptions options, std::FILE* out = stdout, std::FILE* err = stderr,
                             QObject* parent = nullptr);
    ~MultiLogSession() override;

    // As LogSession::start(): every port, then the files, then polling.
    int start();
    void stop(int status);

    long long rows() const { return m_rows; }

signals:
    void finished(int status);

private:
    struct Cell
    {
        QDateTime time;
        TARecord record;
    };

    bool openOutputs();
    void onTick();
    void onReadingDecoded(MeterChannel* channel);
    void onTickFinished(MeterChannel* channel);
    void endRound();
    bool writeRow();
    void warnPower(int meter, bool otherFunction);
    void armDurationTimer();
    void stopSoon(int status);
    void printError(const QString& text);
    int indexOf(const MeterChannel* channel) const;

    LogOptions m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    std::vector<std::unique_ptr<MeterChannel>> m_channels;
    LogFile m_csv;
    QTimer m_tick;     // the round's poll of every meter
    QTimer m_interval; // with --interval: which rounds are logged
    bool m_logNextRound = true;
    bool m_roundLogged = false;
    std::vector<std::optional<Cell>> m_round;
    std::vector<bool> m_pending; // polled in this round, not yet answered
    std::optional<PowerIntegral> m_power;
    std::vector<bool> m_powerWarned; // per meter: told it shows another function
    std::optional<qint64> m_firstRowMs;
    QTimer m_durationTimer;
    QDeadlineTimer m_deadline;
    MeterWatchers m_watchers{m_options, m_err}; // --alarm, --metrics, --mqtt-discovery
    ServiceNotify m_service;
    long long m_rows = 0;
    bool m_running = false;
    bool m_stopping = false;
};

} // namespace dmm::logtool
