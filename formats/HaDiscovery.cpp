// SPDX-License-Identifier: MIT
#include "HaDiscovery.h"

#include "JsonLine.h"
#include "MeterFunction.h"
#include "MqttMessages.h"
#include "SiUnits.h"

namespace dmm::logtool {

namespace {

// The status is JSON (statusPayload()); a silent meter counts as away.
constexpr std::string_view kAvailabilityTemplate =
    "{{ 'online' if value_json.state == 'online' and not value_json.silent else 'offline' }}";

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

// Home Assistant's device class for the function's quantity; empty where it
// has none (ohms, farads).
std::string_view deviceClass(int functionCode)
{
    switch (quantityOf(functionOfWord(static_cast<std::uint32_t>(functionCode)))) {
    case Quantity::Volts:
        return "voltage";
    case Quantity::Amperes:
        return "current";
    case Quantity::Celsius:
    case Quantity::Fahrenheit:
        return "temperature";
    case Quantity::Hertz:
        return "frequency";
    case Quantity::VoltAmperes:
        return "apparent_power";
    default:
        return {};
    }
}

std::string deviceJson(const DiscoveryDevice& device)
{
    return JsonLine()
        .addJson("identifiers", "[" + jsonUtf8String(device.id) + "]")
        .addUtf8("name", device.name)
        .add("manufacturer", "DMM Logger")
        .add("model", "dmm-log")
        .add("sw_version", device.version)
        .str();
}

std::string statusTopic(const QString& mqttPrefix, const QString& meter)
{
    return mqttTopics(mqttPrefix, meter).status;
}

// The availability keys of one meter's entities.
JsonLine& addAvailability(JsonLine& line, const QString& mqttPrefix, const QString& meter)
{
    return line.addUtf8("availability_topic", statusTopic(mqttPrefix, meter))
        .add("availability_template", kAvailabilityTemplate)
        .add("payload_available", "online")
        .add("payload_not_available", "offline");
}

std::string configTopic(const QString& discoveryPrefix, std::string_view component,
                        const DiscoveryDevice& device, const std::string& object)
{
    return utf8(discoveryPrefix) + '/' + std::string(component) + '/' + device.id + '/' + object +
           "/config";
}

} // namespace

std::string discoveryId(std::string_view text)
{
    std::string id(text);
    for (char& c : id) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!kept)
            c = '_';
    }
    return id;
}

DiscoveryDevice discoveryDevice(const QString& mqttPrefix, const QString& loggerName,
                                const QString& version)
{
    return {"dmm-log_" + discoveryId(utf8(mqttPrefix + u'_' + loggerName)),
            "dmm-log " + utf8(loggerName), utf8(version)};
}

DiscoveryConfig readingSensorConfig(const QString& discoveryPrefix, const DiscoveryDevice& device,
                                    const QString& mqttPrefix, const QString& meter,
                                    int functionCode)
{
    const std::string object = discoveryId(utf8(meter)) + "_reading";
    const std::string_view unit = siUnit(functionCode).symbol;
    const std::string_view kind = deviceClass(functionCode);
    JsonLine line;
    line.addUtf8("name", utf8(meter))
        .add("unique_id", device.id + '_' + object)
        .addUtf8("state_topic", mqttTopics(mqttPrefix, meter).reading)
        // An overload's value is null and a reading of another unit is not
        // this sensor's: "None" makes the state unknown.
        .addUtf8("value_template", "{{ 'None' if value_json.overload or value_json.unit != '" +
                                       std::string(unit) + "' else value_json.value }}");
    if (!unit.empty())
        line.addUtf8("unit_of_measurement", unit);
    if (!kind.empty())
        line.add("device_class", kind);
    line.add("state_class", "measurement");
    addAvailability(line, mqttPrefix, meter).addJson("device", deviceJson(device));
    return {configTopic(discoveryPrefix, "sensor", device, object), line.str()};
}

DiscoveryConfig alarmSensorConfig(const QString& discoveryPrefix, const DiscoveryDevice& device,
                                  const QString& mqttPrefix, const QString& meter)
{
    const std::string object = discoveryId(utf8(meter)) + "_alarm";
    JsonLine line;
    line.addUtf8("name", utf8(meter) + " alarm")
        .add("unique_id", device.id + '_' + object)
        .addUtf8("state_topic", utf8(mqttPrefix + u'/' + meter + QStringLiteral("/alarm")))
        .add("value_template", "{{ 'ON' if value_json.state in ['low', 'high'] else 'OFF' }}")
        .add("payload_on", "ON")
        .add("payload_off", "OFF")
        .add("device_class", "problem");
    addAvailability(line, mqttPrefix, meter).addJson("device", deviceJson(device));
    return {configTopic(discoveryPrefix, "binary_sensor", device, object), line.str()};
}

std::vector<DiscoveryConfig> powerSensorConfigs(const QString& discoveryPrefix,
                                                const DiscoveryDevice& device,
                                                const QString& mqttPrefix, const QString& voltMeter,
                                                const QString& ampereMeter)
{
    std::string availability = "[";
    for (const QString& meter : {voltMeter, ampereMeter}) {
        if (availability.size() > 1)
            availability += ',';
        availability += JsonLine()
                            .addUtf8("topic", statusTopic(mqttPrefix, meter))
                            .add("value_template", kAvailabilityTemplate)
                            .str();
    }
    availability += ']';
    struct PowerSensor
    {
        std::string_view key, name, unit, deviceClass, stateClass;
    };
    // Energy and charge are running sums that fall when the current reverses.
    const PowerSensor sensors[] = {{"power", "Power", "W", "power", "measurement"},
                                   {"energy", "Energy", "Wh", "energy", "total"},
                                   {"charge", "Charge", "Ah", {}, "total"}};
    std::vector<DiscoveryConfig> configs;
    for (const PowerSensor& q : sensors) {
        const std::string key(q.key);
        JsonLine line;
        line.add("name", q.name)
            .add("unique_id", device.id + '_' + key)
            .addUtf8("state_topic", utf8(mqttPrefix + QStringLiteral("/power")))
            // A row without both values has no number here.
            .add("value_template",
                 "{{ value_json." + key + " if value_json." + key + " is number else 'None' }}")
            .add("unit_of_measurement", q.unit);
        if (!q.deviceClass.empty())
            line.add("device_class", q.deviceClass);
        line.add("state_class", q.stateClass)
            .addJson("availability", availability)
            .add("availability_mode", "all")
            .addJson("device", deviceJson(device));
        configs.push_back({configTopic(discoveryPrefix, "sensor", device, key), line.str()});
    }
    return configs;
}

} // namespace dmm::logtool
