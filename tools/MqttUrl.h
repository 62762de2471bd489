// SPDX-License-Identifier: MIT
// Where dmm-log publishes: mqtt://[user@]host[:port]/PREFIX, or mqtts:// for
// TLS. The password never rides in the address (it would show in `ps`).
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
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
    QString error; // what is wrong with the text, when no url, without the text
};

MqttUrlResult parseMqttUrl(const QString& text);

// The longest topic MQTT carries, in bytes of UTF-8.
inline constexpr qsizetype kMaxTopicBytes = 65535;

// A day of readings at Full Speed (two a second).
inline constexpr long long kDefaultMqttQueue = 2 * 86'400;

struct MqttSettings
{
    MqttUrl url;
    QByteArray password; // from the password file; empty: none
    QString caFile;      // empty: the system's certificate authorities
    QString name;        // the topics' NAME level
    long long queueLimit = kDefaultMqttQueue;
    // How long a broker may take to answer the login before the try counts
    // as failed and is made again.
    std::chrono::milliseconds loginTimeout = std::chrono::seconds(10);
};

// The password in `path`: its first line. The file must be a regular file
// that only its owner may read (mode 0600 or 0400). Empty with `error` set
// otherwise.
QByteArray readMqttPasswordFile(const QString& path, QString* error);

// What is wrong with `name` as the topics' NAME level ('/', '+', '#', a
// character that does not print); empty when nothing is.
QString topicLevelProblem(const QString& name);

// What is wrong with the length of the topics PREFIX/NAME/...; empty when
// they fit into kMaxTopicBytes.
QString topicLengthProblem(const QString& prefix, const QString& name);

// Why `path` cannot be the certificate authorities' file for mqtts://
// ("No such file or directory"); empty when it can be read.
QString caFileProblem(const QString& path);

} // namespace dmm::logtool
