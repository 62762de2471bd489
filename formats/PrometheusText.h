// SPDX-License-Identifier: MIT
// dmm-log's metrics as a Prometheus server scrapes them: the text exposition
// format, version 0.0.4 (served as "text/plain; version=0.0.4"). Each family
// has its "# HELP" and "# TYPE" lines and then one sample a line,
// `name{label="value",...} number`, meters in the order of their names; a
// family without samples is left out. Values are in SI base units; counters
// end in _total.
//
//   # HELP dmm_reading The meter's last reading in the SI base unit ...
//   # TYPE dmm_reading gauge
//   dmm_reading{meter="bench",unit="V",function="DC V"} 1.234
//   dmm_readings_total{meter="bench"} 12
//   dmm_overloads_total{meter="bench"} 0
//   dmm_link_up{meter="bench"} 1
//   dmm_alarm_state{meter="bench",state="low"} 0   (and normal, high)
//   dmm_mqtt_queued_readings{meter="bench"} 0
//   dmm_mqtt_dropped_readings_total{meter="bench"} 0
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace dmm::logtool {

// A reading older than this is no longer the meter's value: the gauge goes.
inline constexpr std::chrono::milliseconds kReadingStaleAfter{5000};

// What a scrape tells of one meter.
struct MeterMetrics
{
    // The last reading: its value in the SI base unit as a number text
    // ("0.0123", "2.399e-08"), empty when it was overloaded or not a finite
    // number; the unit's symbol and the function's name (UTF-8: "Ω", "DC V").
    std::string value;
    std::string unit;
    std::string function;
    // When it came, on the clock `now` is on; none before the first reading.
    std::optional<std::chrono::milliseconds> readingAt;
    long long readings = 0;  // received from the meter
    long long overloads = 0; // of them, with the display overloaded
    bool linkUp = false;     // readings arrive (false before the first and while silent)
    std::string alarm;       // "low", "normal" or "high"; empty: no alarm set
    std::optional<long long> mqttQueued;  // with --mqtt: waiting for the broker
    std::optional<long long> mqttDropped; // with --mqtt: dropped from a full queue
};

// The page /metrics answers at `now` for the meters by their NAME.
std::string prometheusText(const std::map<std::string, MeterMetrics>& meters,
                           std::chrono::milliseconds now);

// `text` as a label's value, quotes included: backslash, double quote and
// line feed escaped as \\, \" and \n; every other byte kept (UTF-8).
std::string prometheusLabelValue(std::string_view text);

} // namespace dmm::logtool
