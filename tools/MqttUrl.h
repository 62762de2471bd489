// SPDX-License-Identifier: MIT
// Where dmm-log publishes: mqtt://[user@]host[:port]/PREFIX, or mqtts:// for
// TLS. The password never rides in the address (it would show in `ps`).
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace dmm::logtool {

struct MqttUrl
{
    bool tls = false;
    QString user; // empty: no login
    QString host;
    int port = 1883;
    QString prefix; // the topics' first levels, without a trailing '/'
};

struct MqttUrlResult
{
    std::optional<MqttUrl> url;
    QString error; // what is wrong with the text, when no url
};

MqttUrlResult parseMqttUrl(const QString& text);

// A day of readings at Full Speed (two a second).
inline constexpr long long kDefaultMqttQueue = 2 * 86'400;

struct MqttSettings
{
    MqttUrl url;
    QByteArray password; // from the password file; empty: none
    QString caFile;      // empty: the system's certificate authorities
    QString name;        // the topics' NAME level
    long long queueLimit = kDefaultMqttQueue;
};

// The password in `path`: its first line. The file must be a regular file
// that only its owner may read (mode 0600 or 0400). Empty with `error` set
// otherwise.
QByteArray readMqttPasswordFile(const QString& path, QString* error);

// A reading's or the status topic's NAME level: no '/', '+', '#' or NUL.
bool isTopicLevel(const QString& name);

} // namespace dmm::logtool
