// SPDX-License-Identifier: MIT
// What watches the logged meters besides the files, for one meter or
// several, each by its NAME: the alarms (--alarm, LogAlarms.h), the page a
// Prometheus server scrapes (--metrics, MetricsServer.h) and Home
// Assistant's discovery configs (--mqtt-discovery, DiscoveryPublisher.h).
// An alarm's state also goes to the page.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "DiscoveryPublisher.h"
#include "LogAlarms.h"
#include "LogOptions.h"
#include "MetricsServer.h"
#include "MqttPublisher.h"

namespace dmm::logtool {

class MeterWatchers : public QObject
{
    Q_OBJECT
public:
    MeterWatchers(const LogOptions& options, std::FILE* err, QObject* parent = nullptr);
    ~MeterWatchers() override;

    // With --metrics: takes its port for `meters`, before any file is made.
    // False with the reason.
    bool startMetrics(const QStringList& meters, QString* error);
    // "http://HOST:PORT/metrics" with --metrics; empty without.
    QString metricsUrl() const;

    struct Meter
    {
        QString name;
        MqttPublisher* mqtt = nullptr; // the meter's publisher; null without --mqtt
    };
    // Once the outputs are open: the alarms, and what goes to the broker
    // through each meter's publisher. `loggerName` names the discovery's device.
    void start(const std::vector<Meter>& meters, const QString& loggerName);

    // Whether readingDecoded() wants every reading the meter sends.
    bool wantsDecodedReadings() const { return m_metrics != nullptr; }
    void readingDecoded(const QString& meter, const TARecord& record);
    void readingLogged(const QString& meter, const QDateTime& time, const TARecord& record);
    void meterSilent(const QString& meter);
    // Before a publisher goes away.
    void stopPublishing();

    // The end of the run: `done` now, or once no --on-alarm command runs
    // any more (each gets its time; logging has ended already).
    void finish(std::function<void()> done);

private:
    const LogOptions& m_options;
    std::FILE* m_err;
    QStringList m_names; // of the meters start() was given
    std::unique_ptr<MetricsServer> m_metrics;
    std::unique_ptr<LogAlarms> m_alarms;
    // One per meter's publisher: a meter's configs go out with its readings.
    std::map<QString, std::unique_ptr<DiscoveryPublisher>> m_discovery;
};

} // namespace dmm::logtool
