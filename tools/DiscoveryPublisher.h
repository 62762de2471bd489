// SPDX-License-Identifier: MIT
// dmm-log --mqtt-discovery PREFIX: Home Assistant's discovery configs
// (HaDiscovery.h) kept retained on the broker through the run's MQTT
// publisher, the reading sensor's again whenever the meter's function
// changes its unit.
#pragma once

#include <QString>

#include <map>
#include <string>

#include "HaDiscovery.h"

namespace dmm::logtool {

class MqttPublisher;

// What is wrong with `prefix` as the discovery topics' first levels (an
// empty level, '+', '#', a character that does not print); empty when
// nothing is.
QString discoveryPrefixProblem(const QString& prefix);

class DiscoveryPublisher
{
public:
    // `mqtt` must outlive this publisher.
    DiscoveryPublisher(MqttPublisher& mqtt, QString discoveryPrefix, QString mqttPrefix,
                       DiscoveryDevice device);

    // The meter's alarm binary sensor; its reading sensor comes with its
    // first reading.
    void addMeter(const QString& meter);
    // Before the reading goes out: the sensor's config for its function,
    // when it differs from the one published.
    void readingLogged(const QString& meter, int functionCode);
    // With --power: the power, energy and charge sensors.
    void addPower(const QString& voltMeter, const QString& ampereMeter);

private:
    void publish(const DiscoveryConfig& config);

    MqttPublisher& m_mqtt;
    QString m_discoveryPrefix;
    QString m_mqttPrefix;
    DiscoveryDevice m_device;
    std::map<QString, int> m_function;         // per meter: the last reading's
    std::map<std::string, std::string> m_sent; // per topic: the payload published
};

} // namespace dmm::logtool
