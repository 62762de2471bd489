// SPDX-License-Identifier: MIT
#include "PrometheusText.h"

#include <functional>

namespace dmm::logtool {

namespace {

using Meters = std::map<std::string, MeterMetrics>;
// Appends a meter's samples of one family to the text.
using Samples =
    std::function<void(std::string& out, const std::string& meterLabel, const MeterMetrics& meter)>;

void family(std::string& out, const Meters& meters, std::string_view name, std::string_view type,
            std::string_view help, const Samples& samples)
{
    std::string lines;
    for (const auto& [meter, metrics] : meters)
        samples(lines, "meter=" + prometheusLabelValue(meter), metrics);
    if (lines.empty())
        return;
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    out += lines;
}

void sample(std::string& out, std::string_view name, const std::string& labels,
            std::string_view value)
{
    out.append(name).append("{").append(labels).append("} ").append(value).append("\n");
}

} // namespace

std::string prometheusLabelValue(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + '"';
}

std::string prometheusText(const Meters& meters, std::chrono::milliseconds now)
{
    std::string out;
    family(out, meters, "dmm_reading", "gauge",
           "The meter's last reading in the SI base unit of its function; absent while "
           "overloaded and when older than 5 s.",
           [now](std::string& lines, const std::string& meter, const MeterMetrics& m) {
               if (m.value.empty() || !m.readingAt || now - *m.readingAt > kReadingStaleAfter)
                   return;
               sample(lines, "dmm_reading",
                      meter + ",unit=" + prometheusLabelValue(m.unit) +
                          ",function=" + prometheusLabelValue(m.function),
                      m.value);
           });
    family(out, meters, "dmm_readings_total", "counter", "Readings received from the meter.",
           [](std::string& lines, const std::string& meter, const MeterMetrics& m) {
               sample(lines, "dmm_readings_total", meter, std::to_string(m.readings));
           });
    family(out, meters, "dmm_overloads_total", "counter",
           "Readings received with the display overloaded.",
           [](std::string& lines, const std::string& meter, const MeterMetrics& m) {
               sample(lines, "dmm_overloads_total", meter, std::to_string(m.overloads));
           });
    family(out, meters, "dmm_link_up", "gauge",
           "1 while readings arrive from the meter, 0 before the first and while it is silent.",
           [](std::string& lines, const std::string& meter, const MeterMetrics& m) {
               sample(lines, "dmm_link_up", meter, m.linkUp ? "1" : "0");
           });
    family(out, meters, "dmm_alarm_state", "gauge",
           "1 for the alarm's state (low, normal or high), 0 for the others.",
           [](std::string& lines, const std::string& meter, const MeterMetrics& m) {
               if (m.alarm.empty())
                   return;
               for (const char* state : {"low", "normal", "high"})
                   sample(lines, "dmm_alarm_state", meter + ",state=" + prometheusLabelValue(state),
                          m.alarm == state ? "1" : "0");
           });
    family(out, meters, "dmm_mqtt_queued_readings", "gauge",
           "Readings waiting for the MQTT broker's acknowledgement.",
           [](std::string& lines, const std::string& meter, const MeterMetrics& m) {
               if (m.mqttQueued)
                   sample(lines, "dmm_mqtt_queued_readings", meter, std::to_string(*m.mqttQueued));
           });
    family(out, meters, "dmm_mqtt_dropped_readings_total", "counter",
           "Readings dropped from the full MQTT queue.",
           [](std::string& lines, const std::string& meter, const MeterMetrics& m) {
               if (m.mqttDropped)
                   sample(lines, "dmm_mqtt_dropped_readings_total", meter,
                          std::to_string(*m.mqttDropped));
           });
    return out;
}

} // namespace dmm::logtool
