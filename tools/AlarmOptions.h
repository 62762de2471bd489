// SPDX-License-Identifier: MIT
// dmm-log's alarm options: --alarm [NAME=]LOW:HIGH (once per meter),
// --alarm-hysteresis, --on-alarm COMMAND and --on-alarm-timeout, or a conf
// file's ALARM=, ALARM_HYSTERESIS= and ON_ALARM=.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

#include "AlarmCommand.h"
#include "AlarmRange.h"

namespace dmm::logtool {

struct ServiceConf;

struct MeterAlarm
{
    QString meterName; // the meter's name, as the topics and DMM_NAME carry it
    AlarmRange range;
    double hysteresis = 0; // in the reading's unit
};

struct AlarmOptions
{
    std::vector<MeterAlarm> alarms; // none: no alarm
    QStringList command;            // --on-alarm's words; empty: none
    std::chrono::milliseconds commandTimeout = kAlarmCommandTimeout;
};

QList<QCommandLineOption> alarmCommandLineOptions();

// A meter an alarm may name: by its NAME or by the name of its port.
struct AlarmMeter
{
    QString name;
    QString portName;
};

// The alarm options of the command line, else of the conf file (`confPath`
// names it in errors), for `meters`. An alarm without NAME= is the only
// meter's; with several meters each alarm names its meter. Empty when all is
// well, else what is wrong.
QString takeAlarmOptions(const QCommandLineParser& parser, const ServiceConf& conf,
                         const QString& confPath, const QList<AlarmMeter>& meters,
                         AlarmOptions* out);

} // namespace dmm::logtool
