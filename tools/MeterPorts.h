// SPDX-License-Identifier: MIT
// Several meters in one dmm-log: each --port [NAME=]COMn|DEVICE names one,
// and --power VNAME*ANAME pairs a volt meter with an ampere meter. The names
// head the table's columns, the record files and the MQTT topics.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace dmm::logtool {

// The most meters one run reads.
inline constexpr int kMaxMeters = 8;

struct MeterPort
{
    QString name; // letters, digits, '-' and '_'
    QString port; // "COM2" or a device path
};

struct MeterPortsResult
{
    QList<MeterPort> meters; // empty on an error
    QString error;
};

// The meters of the --port values in their order: "volts=COM1" or "COM1"
// (named after the port, "COM1"; "/dev/ttyUSB0" gives "ttyUSB0"). Refused:
// more than kMaxMeters, a name of other characters (a port's own name only
// where there are several meters), a name given twice.
MeterPortsResult meterPorts(const QStringList& portValues);

// Whether `name` is made of letters, digits, '-' and '_' only (and is not empty).
bool isMeterName(const QString& name);

struct PowerPair
{
    int volts = 0;   // index of the volt meter in the meters
    int amperes = 0; // index of the ampere meter
};

struct PowerPairResult
{
    std::optional<PowerPair> pair;
    QString error;
};

// --power "VNAME*ANAME" among `meters`: both names known and not the same.
PowerPairResult powerPair(const QString& value, const QList<MeterPort>& meters);

// The record file of meter `name` when --out names `path`: the name put
// before the extension ("run.g52" gives "run-volts.g52"; "run" gives
// "run-volts").
QString meterFilePath(const QString& path, const QString& name);

} // namespace dmm::logtool
