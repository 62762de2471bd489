// SPDX-License-Identifier: MIT
// One meter of a dmm-log run that reads several: its own serial link,
// acquisition loop, reconnect and warnings, its record file and its MQTT
// topics. The session polls every channel on one tick (poll()); the loop's
// own timer is kept from polling by itself in between.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <optional>

#include "AcquisitionLoop.h"
#include "LogFile.h"
#include "MeterPorts.h"
#include "MqttPublisher.h"
#include "Record.h"
#include "SerialLink.h"
#include "WarningThrottle.h"

namespace dmm::logtool {

// Opens `port` (COMn or a device path) on `link`; a device path is opened
// through a link named COM1 in a folder made in `directory` that only this
// run sees, so that a replugged adapter is found again through it. False with
// what the window's open-error box advises in `detail`.
bool openMeterPort(SerialLink& link, const QString& port, std::unique_ptr<QTemporaryDir>& directory,
                   QString* detail);

// "dmm-log: <time> [NAME: ]<caption> <warning text>[ (N times since the last
// report)]" for a warning the throttle lets through `times` times.
QString meterWarningText(MeterWarning warning, int times, const QString& name = {});

class MeterChannel : public QObject
{
    Q_OBJECT
public:
    MeterChannel(MeterPort meter, std::FILE* err, QObject* parent = nullptr);
    ~MeterChannel() override;

    const MeterPort& meter() const { return m_meter; }
    bool openPort(QString* detail);
    QString devicePath() const { return m_link.devicePath(); }
    // The record file, the name already the meter's own.
    bool openRecords(const QString& path, bool append, QString* error);
    void setPublisher(std::unique_ptr<MqttPublisher> publisher) { m_mqtt = std::move(publisher); }
    MqttPublisher* publisher() const { return m_mqtt.get(); }

    // Polling on: the first poll starts at once.
    void start();
    // Starts a poll unless the one before still runs (a silent meter holds a
    // read for seconds).
    void poll();
    bool polling() const { return m_loop.tickRunning(); }
    // Polling off, the port closed, the record file closed; false with the
    // reason when the file's last sync failed.
    bool stop(QString* error);

    const CurrentReading& reading() const { return m_loop.reading(); }
    // Writes a record to the record file and the broker.
    bool logRecord(const QDateTime& time, const TARecord& record, QString* error);

    long long logged() const { return m_logged; }
    QDateTime first() const { return m_first; }
    QDateTime last() const { return m_last; }

signals:
    void readingDecoded(MeterChannel* channel);
    void tickFinished(MeterChannel* channel);
    void fellSilent(MeterChannel* channel);

private:
    void onReadingDecoded();
    void onWarning(AcquisitionLoop::Warning warning);

    MeterPort m_meter;
    std::FILE* m_err;
    std::unique_ptr<QTemporaryDir> m_portDirectory;
    SerialLink m_link;
    AcquisitionLoop m_loop;
    LogFile m_records;
    std::unique_ptr<MqttPublisher> m_mqtt;
    WarningThrottle m_throttle;
    QElapsedTimer m_clock;
    bool m_silent = false;
    long long m_logged = 0;
    QDateTime m_first;
    QDateTime m_last;
};

} // namespace dmm::logtool
