// SPDX-License-Identifier: MIT
#include "MqttMessages.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "FunctionTexts.h"
#include "JsonLine.h"
#include "LogLines.h"
#include "SiUnits.h"
#include "TableExport.h"

namespace dmm::logtool {



MqttTopics mqttTopics(const QString& prefix, const QString& name)
{
    const std::string base = (prefix + u'/' + name + u'/').toStdString();
    return {base + "reading", base + "status", base + "meta", base + "dropped", base + "alarm",
            base + "stats"};
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
    if (overload || !std::isfinite(record.fValue)) {
        line.addNull("value");
    } else {
        // A float for every reader: 375 would be an integer to some.
        std::string value = siValueText(record.fValue, unit.decimalShift);
        if (value.find_first_of(".e") == std::string::npos)
            value += ".0";
        line.addNumber("value", value);
    }
    line.addUtf8("unit", unit.symbol)
        .add("display", record.value.str() + record.prefix.str())
        .add("function", std::int64_t{record.function})
        .addUtf8("functionName", functionName(record.function))
        .add("overload", overload)
        .add("seq", std::int64_t{seq});
    return line.str();
}

std::string statusPayload(bool online, const std::string& run, const MeterState& meter)
{
    JsonLine line;
    line.add("state", online ? "online" : "offline").add("run", run);
    if (online)
        line.add("lowBattery", meter.lowBattery).add("silent", meter.silent);
    return line.str();
}

std::optional<StatusSeen> parseStatusPayload(const QByteArray& payload)
{
    const QJsonObject status = QJsonDocument::fromJson(payload).object();
    const QString state = status.value(QStringLiteral("state")).toString();
    const QString run = status.value(QStringLiteral("run")).toString();
    if (run.isEmpty() || (state != u"online" && state != u"offline"))
        return std::nullopt;
    return StatusSeen{state == u"online", run.toStdString()};
}

std::string metaPayload(const QString& version, const std::string& run, const QString& port,
                        int intervalSeconds, const QStringList& files)
{
    std::string list = "[";
    for (const QString& file : files) {
        if (list.size() > 1)
            list += ',';
        list += jsonUtf8String(file.toStdString());
    }
    list += ']';
    return JsonLine()
        .add("program", "dmm-log")
        .add("version", version.toStdString())
        .add("run", run)
        .addUtf8("port", port.toStdString())
        .add("interval", intervalSeconds)
        .addJson("files", list)
        .str();
}

} // namespace dmm::logtool
