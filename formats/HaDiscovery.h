// SPDX-License-Identifier: MIT
// Home Assistant's MQTT discovery for dmm-log: retained JSON configs on
// DISCOVERY/COMPONENT/NODE/OBJECT/config that make Home Assistant show a
// logger as one device with, per meter, a sensor of its readings and a binary
// sensor of its alarm, and with --power the power, energy and charge sensors.
// The sensors read the topics dmm-log publishes anyway (MqttMessages.h); an
// entity is available while the logger's status says "online" and the meter
// is not silent.
#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace dmm::logtool {

// The logger as Home Assistant's device.
struct DiscoveryDevice
{
    std::string id;      // NODE and the device's identifier: [A-Za-z0-9_-] only
    std::string name;    // "dmm-log bench"
    std::string version; // the program's
};

struct DiscoveryConfig
{
    std::string topic;
    std::string payload; // JSON
};

// `text` as a NODE or OBJECT level: every character other than A-Z, a-z,
// 0-9, '_' and '-' becomes '_'.
std::string discoveryId(std::string_view text);

// The device of the logger publishing under PREFIX as NAME: NODE
// "dmm-log_PREFIX_NAME".
DiscoveryDevice discoveryDevice(const QString& mqttPrefix, const QString& loggerName,
                                const QString& version);

// The sensor of the meter's readings on PREFIX/NAME/reading, with the unit
// and device class of the function `functionCode` (its readings of another
// unit and its overloads show as unknown until the config of the new
// function is in).
DiscoveryConfig readingSensorConfig(const QString& discoveryPrefix, const DiscoveryDevice& device,
                                    const QString& mqttPrefix, const QString& meter,
                                    int functionCode);

// The binary sensor of the meter's alarm on PREFIX/NAME/alarm: on while its
// state is "low" or "high".
DiscoveryConfig alarmSensorConfig(const QString& discoveryPrefix, const DiscoveryDevice& device,
                                  const QString& mqttPrefix, const QString& meter);

// The power (W), energy (Wh) and charge (Ah) sensors on PREFIX/power, the
// product of the meters `voltMeter` and `ampereMeter`: available while both are.
std::vector<DiscoveryConfig> powerSensorConfigs(const QString& discoveryPrefix,
                                                const DiscoveryDevice& device,
                                                const QString& mqttPrefix, const QString& voltMeter,
                                                const QString& ampereMeter);

} // namespace dmm::logtool
