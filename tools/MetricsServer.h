// SPDX-License-Identifier: MIT
// dmm-log --metrics: an HTTP server on the program's own thread that answers
// GET /metrics with the meters' metrics in Prometheus's text format
// (PrometheusText.h). The session tells it of readings, of a meter falling
// silent and of the alarms' states; the MQTT queue is read when a scrape comes.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>

#include "MetricsAddress.h"
#include "PrometheusText.h"
#include "Record.h"

class QHttpServer;

namespace dmm::logtool {

class MqttPublisher;

class MetricsServer : public QObject
{
    Q_OBJECT
public:
    explicit MetricsServer(QObject* parent = nullptr);
    ~MetricsServer() override;

    // Starts listening; false with the reason ("127.0.0.1:9100: The bound
    // address is already in use") when the address cannot be taken.
    bool listen(const MetricsAddress& address, QString* error);

    // A meter the page lists from now on, before its first reading.
    void addMeter(const QString& meter);
    void readingReceived(const QString& meter, const TARecord& record);
    // False once the meter has fallen silent; a reading makes it true again.
    void setLinkUp(const QString& meter, bool up);
    // The publisher whose queue the page shows for the meter; it must outlive
    // this server or be unset with nullptr first.
    void watchMqtt(const QString& meter, const MqttPublisher* publisher);

    // What GET /metrics answers now.
    std::string page() const;

public slots:
    // "low", "normal" or "high", as the alarm's retained topic carries it.
    void setAlarmState(const QString& meter, const QString& state);

private:
    MeterMetrics& meter(const QString& name);

    std::unique_ptr<QHttpServer> m_http;
    QElapsedTimer m_clock;
    std::map<std::string, MeterMetrics> m_meters;
    std::map<std::string, const MqttPublisher*> m_mqtt;
};

} // namespace dmm::logtool
