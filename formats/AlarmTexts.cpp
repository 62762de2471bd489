// SPDX-License-Identifier: MIT
#include "AlarmTexts.h"

#include <cmath>
#include <limits>

#include "JsonLine.h"
#include "LogLines.h"
#include "MqttMessages.h"
#include "NumberText.h"
#include "SiUnits.h"
#include "TableExport.h"

namespace dmm::logtool {

double alarmValue(const TARecord& record)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    if (isOverload(record))
        return record.fValue < 0 ? -inf : inf; // the stand-in carries the display's sign
    if (!std::isfinite(record.fValue))
        return std::numeric_limits<double>::quiet_NaN();
    // The shortest text of the float, so that 4.2f compares as 4.2.
    const auto value =
        parseDecimal(siValueText(record.fValue, siUnit(record.function).decimalShift), '.');
    return value ? *value : std::numeric_limits<double>::quiet_NaN();
}

AlarmEvent alarmEvent(const QString& name, AlarmState state, std::optional<AlarmState> previous,
                      const QDateTime& time, const TARecord& record)
{
    AlarmEvent event{name, state, previous, time, {}, isOverload(record), {}};
    const SiUnit unit = siUnit(record.function);
    event.unit = std::string(unit.symbol);
    if (event.overload)
        event.value = record.fValue < 0 ? "-inf" : "inf";
    else
        event.value = siValueText(record.fValue, unit.decimalShift);
    return event;
}

QString alarmLine(const AlarmEvent& event)
{
    QString line =
        QString::fromStdString(isoLocalTime(event.time)) + QStringLiteral(" alarm ") + event.name +
        QStringLiteral(": ") + QString::fromLatin1(alarmStateName(event.state)) +
        QStringLiteral(", ") +
        (event.overload ? QStringLiteral("overload") : QString::fromStdString(event.value)) + u' ' +
        QString::fromStdString(event.unit);
    if (event.previous)
        line += QStringLiteral(" (was %1)").arg(QLatin1StringView(alarmStateName(*event.previous)));
    return line;
}

std::string alarmPayload(const AlarmEvent& event)
{
    JsonLine line;
    line.add("state", alarmStateName(event.state));
    if (event.overload) {
        line.addNull("value");
    } else {
        // A float for every reader, as in a reading's payload.
        std::string value = event.value;
        if (value.find_first_of(".e") == std::string::npos)
            value += ".0";
        line.addNumber("value", value);
    }
    line.addUtf8("unit", event.unit)
        .add("time", isoLocalTimeWithOffset(event.time))
        .add("overload", event.overload);
    if (event.previous)
        line.add("previous", alarmStateName(*event.previous));
    else
        line.addNull("previous");
    return line.str();
}

QProcessEnvironment alarmEnvironment(const AlarmEvent& event, QProcessEnvironment base)
{
    base.insert(QStringLiteral("DMM_ALARM"), QString::fromLatin1(alarmStateName(event.state)));
    base.insert(QStringLiteral("DMM_VALUE"), QString::fromStdString(event.value));
    base.insert(QStringLiteral("DMM_UNIT"), QString::fromStdString(event.unit));
    base.insert(QStringLiteral("DMM_TIME"),
                QString::fromStdString(isoLocalTimeWithOffset(event.time)));
    base.insert(QStringLiteral("DMM_NAME"), event.name);
    return base;
}

} // namespace dmm::logtool
