// SPDX-License-Identifier: MIT
#include "PowerMessage.h"

#include "JsonLine.h"
#include "MeterTable.h"
#include "MqttMessages.h"

namespace dmm::logtool {

namespace {

// A float for every reader: 6 would be an integer to some.
std::string jsonNumber(double value)
{
    std::string text = powerNumberText(value, {});
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

} // namespace

std::string powerTopic(const QString& prefix)
{
    return (prefix + QStringLiteral("/power")).toStdString();
}

std::string powerPayload(long long seq, const QDateTime& time, const PowerRow& row)
{
    JsonLine line;
    line.add("time", isoLocalTimeWithOffset(time));
    if (row.watts)
        line.addNumber("power", jsonNumber(*row.watts));
    else
        line.addNull("power");
    line.addNumber("energy", jsonNumber(row.wattHours))
        .addNumber("charge", jsonNumber(row.ampereHours))
        .add("seq", std::int64_t{seq});
    return line.str();
}

} // namespace dmm::logtool
