// SPDX-License-Identifier: MIT
#include "MeterPorts.h"

#include <QFileInfo>

namespace dmm::logtool {

bool isMeterName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

MeterPortsResult meterPorts(const QStringList& portValues)
{
    MeterPortsResult result;
    if (portValues.size() > kMaxMeters) {
        result.error = QStringLiteral("--port given %1 times; one run reads at most %2 meters")
                           .arg(portValues.size())
                           .arg(kMaxMeters);
        return result;
    }
    QList<MeterPort> meters;
    for (const QString& value : portValues) {
        MeterPort meter;
        const qsizetype equals = value.indexOf(u'=');
        // A device path may hold a '=' of its own: only a name before it is taken as one.
        if (equals > 0 && isMeterName(value.left(equals))) {
            meter.name = value.left(equals);
            meter.port = value.mid(equals + 1);
        } else if (equals >= 0 && !value.left(equals).contains(u'/')) {
            result.error = QStringLiteral("--port %1: a meter's name before '=' is made of "
                                          "letters, digits, - and _")
                               .arg(value);
            return result;
        } else {
            meter.port = value;
            meter.name = QFileInfo(value).fileName();
            // One meter's name heads no column: its port may be named anyhow
            // (a by-path link holds ':' and '.').
            if (portValues.size() > 1 && !isMeterName(meter.name)) {
                result.error = QStringLiteral("--port %1: the port's name %2 is no meter name; "
                                              "give one as NAME=%1 (letters, digits, - and _)")
                                   .arg(value, meter.name);
                return result;
            }
        }
        if (meter.port.isEmpty()) {
            result.error = QStringLiteral("--port %1: no port after the name").arg(value);
            return result;
        }
        for (const MeterPort& other : meters) {
            if (other.name == meter.name) {
                result.error = QStringLiteral("two meters are named %1 (--port %2 and --port %3); "
                                              "give each its own name as NAME=PORT")
                                   .arg(meter.name, other.port, meter.port);
                return result;
            }
        }
        meters << meter;
    }
    result.meters = meters;
    return result;
}

PowerPairResult powerPair(const QString& value, const QList<MeterPort>& meters)
{
    PowerPairResult result;
    const QStringList names = value.split(u'*');
    if (names.size() != 2 || names[0].isEmpty() || names[1].isEmpty()) {
        result.error =
            QStringLiteral("--power needs the volt meter's and the ampere meter's names as "
                           "VNAME*ANAME");
        return result;
    }
    if (names[0] == names[1]) {
        result.error =
            QStringLiteral("--power %1: the volt and the ampere meter are one meter").arg(value);
        return result;
    }
    PowerPair pair{-1, -1};
    for (int i = 0; i < meters.size(); ++i) {
        if (meters[i].name == names[0])
            pair.volts = i;
        if (meters[i].name == names[1])
            pair.amperes = i;
    }
    QStringList known;
    for (const MeterPort& meter : meters)
        known << meter.name;
    for (const int which : {0, 1}) {
        if ((which == 0 ? pair.volts : pair.amperes) < 0) {
            result.error = QStringLiteral("--power %1: no meter is named %2 (the meters: %3)")
                               .arg(value, names[which], known.join(QStringLiteral(", ")));
            return result;
        }
    }
    result.pair = pair;
    return result;
}

QString meterFilePath(const QString& path, const QString& name)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    // A dot in a folder's name or at the start of the file's name is no extension.
    const bool hasExtension = dot > slash + 1;
    const qsizetype at = hasExtension ? dot : path.size();
    return path.left(at) + u'-' + name + path.mid(at);
}

} // namespace dmm::logtool
