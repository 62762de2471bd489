// SPDX-License-Identifier: MIT
// One dmm-log run: the program's serial link and acquisition loop read the
// meter, a logging timer picks readings as the recorder's does (Full Speed or
// an interval), and each picked reading goes to the files and standard output
// the moment it arrives. Warnings are answered Continue by themselves.
#pragma once

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "AcquisitionLoop.h"
#include "LogFile.h"
#include "LogOptions.h"
#include "LogStats.h"
#include "MeterWatchers.h"
#include "MqttPublisher.h"
#include "SerialLink.h"
#include "ServiceNotify.h"
#include "WarningThrottle.h"

namespace dmm::logtool {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // bad option, output file not writable
inline constexpr int kExitPort = 2;    // the port cannot be opened

class LogSession : public QObject
{
    Q_OBJECT
public:
    explicit LogSession(LogOptions options, std::FILE* out = stdout, std::FILE* err = stderr,
                        QObject* parent = nullptr);
    ~LogSession() override;

    // Opens the port, then the output files, and starts polling and the
    // logging timer. kExitOk when the run is under way; otherwise the exit
    // status, with the reason already on standard error.
    int start();

    // Ends the run: polling stops, the port and the files are closed, the
    // summary goes to standard error, then finished(status). Once only.
    void stop(int status = kExitOk);

    long long readingsLogged() const { return m_logged; }

    // The meter's NAME: the topics' NAME, else the port's file name.
    QString meterName() const;

signals:
    void finished(int status);

private:
    bool openPort(QString* detail);
    bool openOutputs();
    void onReadingDecoded();
    void onWarning(AcquisitionLoop::Warning warning);
    void logReading();
    void armDurationTimer();
    void stopSoon(int status);
    void printError(const QString& text);

    LogOptions m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    // The link names ports COMn only; a device path is linked as COM1 here.
    std::unique_ptr<QTemporaryDir> m_portDirectory;
    SerialLink m_link;
    AcquisitionLoop m_loop;
    LogFile m_records;
    LogFile m_csv;
    QTimer TimerLogger;
    bool logTickPending = false;
    QTimer m_durationTimer;
    QDeadlineTimer m_deadline;
    QElapsedTimer m_clock; // for the warning throttle
    WarningThrottle m_throttle;
    ServiceNotify m_service;               // systemd's READY, STATUS, WATCHDOG; the silence state
    std::unique_ptr<MqttPublisher> m_mqtt; // with --mqtt
    MeterWatchers m_watchers{m_options, m_err}; // --alarm, --metrics, --mqtt-discovery
    long long m_logged = 0;                     // in every output
    long long m_inRecords = 0;                  // in the record file
    QDateTime m_first;
    QDateTime m_last;
    bool m_running = false;
    bool m_stopping = false;

    // With --stats; the time the run was asked to stop ends its last interval.
    std::unique_ptr<LogStats> m_stats;
    QDateTime m_stopAsked;
};

} // namespace dmm::logtool
