// SPDX-License-Identifier: MIT
#include "MqttMessages.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "JsonLine.h"
#include "LogLines.h"
#include "SiUnits.h"
#include "TableExport.h"

namespace dmm::logtool {

using sim::JsonLine;

namespace {

// A JSON string of UTF-8 text ("Ω", a folder's name), passed through as it is:
// JsonLine's strings read bytes as Latin-1, for the meter's raw bytes.
std::string utf8String(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

} // namespace

MqttTopics mqttTopics(const QString& prefix, const QString& name)
{
    const std::string base = (prefix + u'/' + name + u'/').toStdString();
    return {base + "reading", base + "status", base + "meta", base + "dropped"};
}

std::string isoLocalTimeWithOffset(const QDateTime& time)
{
    const int offset = time.toLocalTime().offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return isoLocalTime(time) + zone;
}

std::string readingPayload(long long seq, const QDateTime& time, const TARecord& record)
{
    const SiUnit unit = siUnit(record.function);
    const bool overload = isOverload(record);
    JsonLine line;
    line.add("time", isoLocalTimeWithOffset(time));
    if (overload || !std::isfinite(record.fValue))
        line.addNull("value");
    else
        line.addNumber("value", siValueText(record.fValue, unit.decimalShift));
    // addNumber takes any JSON value as it is.
    line.addNumber("unit", utf8String(unit.symbol))
        .add("display", record.value.str() + record.prefix.str())
        .add("function", std::int64_t{record.function})
        .add("overload", overload)
        .add("seq", std::int64_t{seq});
    return line.str();
}

std::string metaPayload(const QString& version, const QString& port, int intervalSeconds,
                        const QStringList& files)
{
    std::string list = "[";
    for (const QString& file : files) {
        if (list.size() > 1)
            list += ',';
        list += utf8String(file.toStdString());
    }
    list += ']';
    return JsonLine()
        .add("program", "dmm-log")
        .add("version", version.toStdString())
        .addNumber("port", utf8String(port.toStdString()))
        .add("interval", intervalSeconds)
        .addNumber("files", list)
        .str();
}

} // namespace dmm::logtool
