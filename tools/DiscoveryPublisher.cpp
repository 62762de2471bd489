// SPDX-License-Identifier: MIT
#include "DiscoveryPublisher.h"

#include <QStringList>

#include "MqttPublisher.h"
#include "MqttUrl.h"

namespace dmm::logtool {

QString discoveryPrefixProblem(const QString& prefix)
{
    for (const QString& level : prefix.split(u'/')) {
        if (level.isEmpty())
            return QStringLiteral("needs topic levels such as homeassistant, none empty");
        if (const QString problem = topicLevelProblem(level); !problem.isEmpty())
            return QStringLiteral("needs topic levels without + or # and without control "
                                  "characters, such as homeassistant");
    }
    return {};
}

DiscoveryPublisher::DiscoveryPublisher(MqttPublisher& mqtt, QString discoveryPrefix,
                                       QString mqttPrefix, DiscoveryDevice device)
    : m_mqtt(mqtt), m_discoveryPrefix(std::move(discoveryPrefix)),
      m_mqttPrefix(std::move(mqttPrefix)), m_device(std::move(device))
{
}

void DiscoveryPublisher::addMeter(const QString& meter)
{
    publish(alarmSensorConfig(m_discoveryPrefix, m_device, m_mqttPrefix, meter));
}

void DiscoveryPublisher::readingLogged(const QString& meter, int functionCode)
{
    const auto known = m_function.find(meter);
    if (known != m_function.end() && known->second == functionCode)
        return;
    m_function[meter] = functionCode;
    publish(readingSensorConfig(m_discoveryPrefix, m_device, m_mqttPrefix, meter, functionCode));
}

void DiscoveryPublisher::addPower(const QString& voltMeter, const QString& ampereMeter)
{
    for (const DiscoveryConfig& config :
         powerSensorConfigs(m_discoveryPrefix, m_device, m_mqttPrefix, voltMeter, ampereMeter))
        publish(config);
}

void DiscoveryPublisher::publish(const DiscoveryConfig& config)
{
    // DC V after AC V keeps the unit and the device class: nothing to change.
    std::string& sent = m_sent[config.topic];
    if (sent == config.payload)
        return;
    sent = config.payload;
    m_mqtt.keepRetained(config.topic, config.payload);
}

} // namespace dmm::logtool
