// SPDX-License-Identifier: MIT
#include "ServiceConf.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>

#include "AlarmRange.h"
#include "DiscoveryPublisher.h"
#include "LogOptions.h"
#include "MeterPorts.h"
#include "MetricsAddress.h"
#include "MqttUrl.h"
#include "ShownText.h"
#include "TableExport.h"

namespace dmm::logtool {

namespace {

const QString kKeys = QStringLiteral(
    "PORT, POWER, INTERVAL, SEPARATOR, DECIMAL_COMMA, FOLDER, MQTT_URL, MQTT_PASSWORD_FILE, "
    "MQTT_NAME, "
    "MQTT_DISCOVERY, METRICS, ALARM, ALARM_HYSTERESIS, ON_ALARM");

// A PORT= value that names its meter: NAME=COMn.
bool namesMeter(const QString& value)
{
    const qsizetype equals = value.indexOf(u'=');
    return equals > 0 && isMeterName(value.left(equals));
}

// "~/x" and relative paths from the home folder.
QString fromHome(const QString& value, const QString& homeFolder)
{
    QString path = value;
    if (path == u"~" || path.startsWith(u"~/"))
        path = homeFolder + path.mid(1);
    return QDir::cleanPath(QDir(homeFolder).absoluteFilePath(path));
}

QString unquoted(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

std::optional<bool> yesOrNo(const QString& value)
{
    const QString v = value.toLower();
    if (v == u"yes" || v == u"true" || v == u"1" || v == u"on")
        return true;
    if (v == u"no" || v == u"false" || v == u"0" || v == u"off")
        return false;
    return std::nullopt;
}

// The problem with one KEY=VALUE, or nothing when it was taken into `conf`.
QString takeValue(ServiceConf& conf, const QString& key, const QString& value,
                  const QString& homeFolder)
{
    if (key == u"PORT") {
        if (value.isEmpty())
            return QStringLiteral("needs COMn or a device path such as /dev/ttyUSB0");
        if (!conf.port)
            conf.port = value;
        conf.ports << value; // one line per meter
    } else if (key == u"POWER") {
        if (value.isEmpty())
            return QStringLiteral("needs the volt and the ampere meter's names as VNAME*ANAME");
        conf.power = value;
    } else if (key == u"INTERVAL") {
        conf.intervalSeconds = intervalSeconds(value);
        if (!conf.intervalSeconds)
            return QStringLiteral("needs whole seconds from 0 to %1 (0: Full Speed)")
                .arg(kMaxIntervalSeconds);
    } else if (key == u"SEPARATOR") {
        conf.separator = tableSeparator(value);
        if (!conf.separator)
            return QStringLiteral("needs one character such as ; or \"tab\"");
    } else if (key == u"DECIMAL_COMMA") {
        conf.decimalComma = yesOrNo(value);
        if (!conf.decimalComma)
            return QStringLiteral("needs yes or no");
    } else if (key == u"FOLDER") {
        if (value.isEmpty())
            return QStringLiteral("needs a folder, such as ~/Documents/DMM Logger");
        conf.folder = fromHome(value, homeFolder);
    } else if (key == u"MQTT_URL") {
        const MqttUrlResult url = parseMqttUrl(value);
        if (!url.url)
            return url.error;
        conf.mqttUrl = value;
    } else if (key == u"MQTT_PASSWORD_FILE") {
        if (value.isEmpty())
            return QStringLiteral("needs a file holding the password, of mode 0600");
        conf.mqttPasswordFile = fromHome(value, homeFolder);
    } else if (key == u"MQTT_NAME") {
        if (const QString problem = topicLevelProblem(value); !problem.isEmpty())
            return problem;
        conf.mqttName = value;
    } else if (key == u"MQTT_DISCOVERY") {
        if (const QString problem = discoveryPrefixProblem(value); !problem.isEmpty())
            return problem;
        conf.mqttDiscovery = value;
    } else if (key == u"METRICS") {
        if (const MetricsAddressResult address = parseMetricsAddress(value); !address.address)
            return address.error;
        conf.metrics = value;
    } else if (key == u"ALARM") {
        const QStringList alarmTexts = value.split(u' ', Qt::SkipEmptyParts);
        for (const QString& alarmText : alarmTexts) {
            const auto read = parseAlarmArgument(alarmText.toStdString());
            if (!read.alarm) // which one, when there are several
                return (alarmTexts.size() > 1 ? shownText(alarmText) + QStringLiteral(": ")
                                              : QString()) +
                       QString::fromStdString(read.error);
        }
        if (value.trimmed().isEmpty())
            return QStringLiteral("needs LOW:HIGH, such as 3.0:4.2, :4.2 or 3.0:");
        conf.alarm = value;
    } else if (key == u"ALARM_HYSTERESIS") {
        if (!parseAlarmHysteresis(value.toStdString()))
            return QStringLiteral("needs an amount (0.05) or a percentage (2%), 0 or more");
        conf.alarmHysteresis = value;
    } else if (key == u"ON_ALARM") {
        if (value.trimmed().isEmpty())
            return QStringLiteral("needs a command");
        conf.onAlarm = value;
    } else {
        return QStringLiteral("unknown key (the keys are %1)").arg(kKeys);
    }
    return {};
}

} // namespace

ServiceConfResult parseServiceConf(const QString& path, const QByteArray& text,
                                   const QString& homeFolder)
{
    ServiceConfResult result;
    ServiceConf conf;
    QList<std::pair<QString, int>> seen; // key, line
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        const QString key = equals > 0 ? line.left(equals).trimmed() : QString();
        const QString value = unquoted(line.mid(equals + 1).trimmed());
        // The line as a message may show it: never the broker's password.
        const QString shown =
            key == u"MQTT_URL" ? key + u'=' + shownAddress(value) : shownText(line);
        const QString where =
            path + u':' + QString::number(lineNumber) + QStringLiteral(": ") + shown;
        const auto fail = [&](const QString& what) {
            result.error = where + QStringLiteral(": ") + what;
            return result;
        };
        if (equals <= 0)
            return fail(QStringLiteral("not KEY=VALUE (the keys are %1)").arg(kKeys));
        for (const auto& [earlier, at] : seen) {
            // Several meters: a PORT=NAME=COMn line each.
            if (earlier == key && !(key == u"PORT" && namesMeter(value) && namesMeter(*conf.port)))
                return fail(QStringLiteral("%1 is set on line %2 already").arg(key).arg(at));
        }
        seen.append({key, lineNumber});
        // A NUL would cut a number or a path short without a word.
        if (std::any_of(line.begin(), line.end(),
                        [](QChar c) { return c != u'\t' && c.category() == QChar::Other_Control; }))
            return fail(QStringLiteral("a line may hold no control characters (shown as \\xHH)"));
        if (const QString problem = takeValue(conf, key, value, homeFolder); !problem.isEmpty())
            return fail(problem);
        if (key == u"FOLDER")
            conf.folderLine = where;
    }
    result.conf = conf;
    return result;
}

ServiceConfResult readServiceConf(const QString& path, const QString& homeFolder)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, path + QStringLiteral(": ") + file.errorString()};
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, path + QStringLiteral(": ") + file.errorString()};
    return parseServiceConf(path, text, homeFolder);
}

} // namespace dmm::logtool
