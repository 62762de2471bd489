// SPDX-License-Identifier: MIT
// A logging service's conf file, ~/.config/dmm-log/NAME.conf: KEY=VALUE lines
// that stand for dmm-log's options, so that an instance can be named freely
// and its port be any path (a by-id link, say) without escaping it into the
// instance name.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace dmm::logtool {

// What a conf file sets; a key it leaves out stays empty.
struct ServiceConf
{
    std::optional<QString> port;             // PORT=COMn|DEVICE, the first PORT= line
    QStringList ports;                       // every PORT=[NAME=]COMn|DEVICE line, in order
    std::optional<QString> power;            // POWER=VNAME*ANAME
    std::optional<int> intervalSeconds;      // INTERVAL=SECONDS
    std::optional<char> separator;           // SEPARATOR=C|tab
    std::optional<bool> decimalComma;        // DECIMAL_COMMA=yes|no
    std::optional<QString> folder;           // FOLDER=DIR, absolute or from the home folder
    std::optional<QString> mqttUrl;          // MQTT_URL=mqtt://...
    std::optional<QString> mqttPasswordFile; // MQTT_PASSWORD_FILE=FILE, as FOLDER
    std::optional<QString> mqttName;         // MQTT_NAME=NAME
    std::optional<QString> metrics;          // METRICS=[HOST:]PORT
    std::optional<QString> mqttDiscovery;    // MQTT_DISCOVERY=PREFIX
    std::optional<QString> alarm;            // ALARM=[NAME=]LOW:HIGH ..., checked
    std::optional<QString> alarmHysteresis;  // ALARM_HYSTERESIS=AMOUNT|PERCENT%, checked
    std::optional<QString> onAlarm;          // ON_ALARM=COMMAND, split into words later
    // Where FOLDER= was set, "PATH:LINE: FOLDER=VALUE", for a folder that
    // cannot be made later.
    QString folderLine;
};

struct ServiceConfResult
{
    std::optional<ServiceConf> conf; // none on an error
    // "PATH:LINE: KEY=VALUE: what is wrong", or "PATH: why it cannot be read";
    // the line as shownText() shows it (an address without its password).
    QString error;
};

// `text` as read from `path` (named in errors); `homeFolder` anchors
// "~/..." and relative FOLDER values. Blank lines and lines starting with '#'
// are skipped; a value may be quoted with "..." or '...'.
ServiceConfResult parseServiceConf(const QString& path, const QByteArray& text,
                                   const QString& homeFolder);
ServiceConfResult readServiceConf(const QString& path, const QString& homeFolder);

} // namespace dmm::logtool
