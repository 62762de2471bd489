// SPDX-License-Identifier: MIT
#include "AlarmOptions.h"

#include <algorithm>

#include "LogOptions.h"
#include "ServiceConf.h"
#include "ShownText.h"

namespace dmm::logtool {

namespace {

const QString kAlarm = QStringLiteral("alarm");
const QString kHysteresis = QStringLiteral("alarm-hysteresis");
const QString kOnAlarm = QStringLiteral("on-alarm");
const QString kOnAlarmTimeout = QStringLiteral("on-alarm-timeout");

} // namespace

QList<QCommandLineOption> alarmCommandLineOptions()
{
    return {QCommandLineOption(kAlarm, {}, QStringLiteral("[NAME=]LOW:HIGH")),
            QCommandLineOption(kHysteresis, {}, QStringLiteral("AMOUNT")),
            QCommandLineOption(kOnAlarm, {}, QStringLiteral("COMMAND")),
            QCommandLineOption(kOnAlarmTimeout, {}, QStringLiteral("TIME"))};
}

QString takeAlarmOptions(const QCommandLineParser& parser, const ServiceConf& conf,
                         const QString& confPath, const QList<AlarmMeter>& meters,
                         AlarmOptions* out)
{
    // Each text with what gave it, for the messages.
    QStringList alarmTexts;
    QString alarmSource;
    if (parser.isSet(kAlarm)) {
        alarmTexts = parser.values(kAlarm);
        alarmSource = QStringLiteral("--alarm ");
    } else if (conf.alarm) {
        alarmTexts = conf.alarm->split(u' ', Qt::SkipEmptyParts);
        alarmSource = confPath + QStringLiteral(": ALARM=");
    }
    const bool hysteresisGiven = parser.isSet(kHysteresis) || conf.alarmHysteresis;
    const QString hysteresisText = parser.isSet(kHysteresis)
                                       ? parser.value(kHysteresis)
                                       : conf.alarmHysteresis.value_or(QString());
    const QString hysteresisSource = parser.isSet(kHysteresis)
                                         ? QStringLiteral("--alarm-hysteresis ")
                                         : confPath + QStringLiteral(": ALARM_HYSTERESIS=");
    const QString commandLine =
        parser.isSet(kOnAlarm) ? parser.value(kOnAlarm) : conf.onAlarm.value_or(QString());
    const QString commandSource = parser.isSet(kOnAlarm) ? QStringLiteral("--on-alarm ")
                                                         : confPath + QStringLiteral(": ON_ALARM=");

    if (alarmTexts.isEmpty()) {
        if (hysteresisGiven || !commandLine.isEmpty() || parser.isSet(kOnAlarmTimeout))
            return QStringLiteral("--alarm-hysteresis, --on-alarm and --on-alarm-timeout need "
                                  "--alarm LOW:HIGH");
        return {};
    }
    AlarmHysteresis hysteresis = kDefaultAlarmHysteresis;
    if (hysteresisGiven) {
        const auto read = parseAlarmHysteresis(hysteresisText.toStdString());
        if (!read)
            return hysteresisSource + shownText(hysteresisText) +
                   QStringLiteral(": needs an amount in the reading's unit (0.05) or a "
                                  "percentage of the range (2%), 0 or more");
        hysteresis = *read;
    }
    for (const QString& text : alarmTexts) {
        const QString where = alarmSource + shownText(text) + QStringLiteral(": ");
        const AlarmArgumentResult read = parseAlarmArgument(text.toStdString());
        if (!read.alarm)
            return where + QString::fromStdString(read.error);
        const QString name = QString::fromStdString(read.alarm->name);
        const auto meter = std::find_if(meters.begin(), meters.end(), [&](const AlarmMeter& m) {
            return name.isEmpty() ? meters.size() == 1 : name == m.name || name == m.portName;
        });
        if (meter == meters.end()) {
            QStringList names;
            for (const AlarmMeter& m : meters)
                names << shownText(m.name);
            if (name.isEmpty())
                return where + QStringLiteral("with several meters an alarm names its meter, "
                                              "NAME=LOW:HIGH (the meters are %1)")
                                   .arg(names.join(QStringLiteral(", ")));
            return where + (meters.size() == 1
                                ? QStringLiteral("no meter is named %1 (the meter is %2)")
                                : QStringLiteral("no meter is named %1 (the meters are %2)"))
                               .arg(shownText(name), names.join(QStringLiteral(", ")));
        }
        const QString& meterName = meter->name;
        for (const MeterAlarm& earlier : out->alarms)
            if (earlier.meterName == meterName)
                return where + QStringLiteral("the meter %1 has an alarm already")
                                   .arg(shownText(meterName));
        std::string error;
        const auto amount = alarmHysteresis(read.alarm->range, hysteresis, &error);
        if (!amount)
            return (hysteresisGiven ? hysteresisSource + shownText(hysteresisText) : where) +
                   QStringLiteral(": ") + QString::fromStdString(error);
        out->alarms.push_back({meterName, read.alarm->range, *amount});
    }
    if (!commandLine.isEmpty()) {
        out->command = alarmCommandWords(commandLine);
        if (out->command.isEmpty())
            return commandSource.trimmed() + QStringLiteral(": needs a command");
        if (const QString problem = alarmProgramProblem(out->command.first()); !problem.isEmpty())
            return commandSource + shownText(problem);
    }
    if (parser.isSet(kOnAlarmTimeout)) {
        const auto timeout = parseDuration(parser.value(kOnAlarmTimeout));
        if (!timeout)
            return QStringLiteral("--on-alarm-timeout needs a time such as 30s, 2m or 0.5");
        out->commandTimeout = *timeout;
    }
    return {};
}

} // namespace dmm::logtool
