// SPDX-License-Identifier: MIT
#include "MqttUrl.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include "FileChecks.h"
#include "MqttMessages.h"

namespace dmm::logtool {

namespace {

const QString kForm = QStringLiteral("mqtt://[user@]host[:port]/PREFIX or mqtts://...");

// MQTT wildcards are not allowed in a topic that is published to, and the
// broker refuses control characters (the NUL byte among them).
bool hasWildcardOrControl(const QString& text)
{
    return text.contains(u'+') || text.contains(u'#') ||
           std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

QString topicLevelProblem(const QString& name)
{
    if (name.isEmpty() || name.contains(u'/') || hasWildcardOrControl(name))
        return QStringLiteral("needs a name without /, + or # and without control characters");
    return {};
}

QString topicLengthProblem(const QString& prefix, const QString& name)
{
    // The longest of the topics: PREFIX/NAME/reading or .../dropped.
    const std::string longest = mqttTopics(prefix, name).reading;
    if (static_cast<qsizetype>(longest.size()) <= kMaxTopicBytes)
        return {};
    return QStringLiteral("makes the topic PREFIX/NAME/reading %1 bytes long; MQTT carries at "
                          "most %2")
        .arg(longest.size())
        .arg(kMaxTopicBytes);
}

QString caFileProblem(const QString& path)
{
    QString error;
    const int fd = openRegularFileForReading(path, &error);
    if (fd < 0)
        return error;
    ::close(fd);
    return {};
}

MqttUrlResult parseMqttUrl(const QString& text)
{
    const auto fail = [&](const QString& what) { return MqttUrlResult{std::nullopt, what}; };
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return fail(QStringLiteral("not an address of the form ") + kForm);
    MqttUrl result;
    if (url.scheme() == u"mqtts") {
        result.tls = true;
        result.port = 8883;
    } else if (url.scheme() != u"mqtt") {
        return fail(QStringLiteral("needs mqtt:// or mqtts:// (") + kForm + u')');
    }
    if (!url.password().isEmpty())
        return fail(QStringLiteral("a password does not belong in the address, where every "
                                   "user of the machine can read it: put it in a file of mode "
                                   "0600 and give --mqtt-password-file"));
    result.user = url.userName();
    result.host = url.host();
    if (result.host.isEmpty())
        return fail(QStringLiteral("names no broker host (") + kForm + u')');
    if (url.port() == 0)
        return fail(QStringLiteral("port 0 is not a broker's port"));
    if (url.port() > 0)
        result.port = url.port();
    if (url.hasQuery() || url.hasFragment())
        return fail(QStringLiteral("takes no ?query or #fragment (") + kForm + u')');
    QString prefix = url.path();
    while (prefix.startsWith(u'/'))
        prefix.remove(0, 1);
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    if (prefix.isEmpty())
        return fail(QStringLiteral("names no topic prefix after the host, such as "
                                   "mqtt://broker/lab (") +
                    kForm + u')');
    if (hasWildcardOrControl(prefix) || prefix.contains(QStringLiteral("//")))
        return fail(QStringLiteral("the topic prefix may not hold +, #, an empty level or "
                                   "control characters"));
    result.prefix = prefix;
    return {result, {}};
}

QByteArray readMqttPasswordFile(const QString& path, QString* error)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = path + QStringLiteral(": not a readable file for the MQTT password");
        return {};
    }
    if ((info.st_mode & 077) != 0) {
        *error = path +
                 QStringLiteral(": other users may read this password file (mode %1); "
                                "make it the owner's only: chmod 600 ")
                     .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0')) +
                 path;
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return {};
    }
    QByteArray password = file.readLine();
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    if (password.isEmpty())
        *error = path + QStringLiteral(": holds no password on its first line");
    return password;
}

} // namespace dmm::logtool
