// SPDX-License-Identifier: MIT
// dmm-log's command line: which port, how often, where to, for how long.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <chrono>
#include <optional>

#include "MeterPorts.h"
#include "MetricsAddress.h"
#include "AlarmOptions.h"
#include "DurationText.h"
#include "MqttUrl.h"
#include "TableExport.h"

namespace dmm::logtool {

// The longest interval the recorder's millisecond timer can hold.
inline constexpr int kMaxIntervalSeconds = 2'147'483;

struct LogOptions
{
    QString port;            // "COM2" (the program's naming) or a device path
    int intervalSeconds = 0; // 0: Full Speed, the first reading after each poll
    QString outPath;         // 76-byte records; empty: none
    QString csvPath;         // one text line per reading; empty: none
    std::optional<std::chrono::milliseconds> duration;
    std::optional<long long> count;
    bool quiet = false;
    bool append = false;
    TableFormat table; // --separator, --decimal-comma
    QString folder;    // where relative --out and --csv paths lie; empty: here
    // Where the folder was given, for a message about it: "--folder DIR" or
    // the conf file's "PATH:LINE: FOLDER=DIR".
    QString folderSource;
    // Every --port as NAME and port, in order; `port` is the first's. With
    // more than one the run reads them all side by side (MultiLogSession.h).
    QList<MeterPort> meters;
    std::optional<PowerPair> power; // --power VNAME*ANAME, with several meters
    std::optional<MqttSettings> mqtt;      // --mqtt and its options
    std::optional<MetricsAddress> metrics; // --metrics [HOST:]PORT
    QString mqttDiscovery;                 // --mqtt-discovery PREFIX (needs mqtt); empty: none
    AlarmOptions alarms;                   // --alarm, --on-alarm and their conf lines
    // --stats FILE.csv --every DURATION: statistics per interval (LogStats.h).
    QString statsPath;
    std::chrono::milliseconds statsEvery{0};
};

struct ParsedArguments
{
    std::optional<LogOptions> options; // none for --help or an error
    bool helpRequested = false;
    bool versionRequested = false; // -v, --version
    QString error;                 // what was wrong, for a usage message
    // False when the error lies in the conf file: the file, line and key say
    // what to mend, and --help would not.
    bool usageError = true;
};

// The meter's name, as its topics and alarm carry it: --name, MQTT_NAME= or
// the port's file name.
QString logMeterName(const LogOptions& options);

// `arguments` as main() gets them, the program's name first.
ParsedArguments parseLogArguments(const QStringList& arguments);
QString logHelpText();

// Whole seconds from 0 to kMaxIntervalSeconds, as --interval and a conf
// file's INTERVAL= take them; none for anything else.
std::optional<int> intervalSeconds(const QString& text);

// --duration's time (DurationText.h).
using dmm::parseDuration;

// n for "COMn" (any number of digits, so COM11 reaches the program's own "no
// such port" answer); 0 for anything else, which is a device path.
int comPortNumber(const QString& port);

// The device --port names: COMn as the program's naming finds it (the file
// COMn here, else /dev/ttyS<n-1>), anything else as it is.
QString portDevice(const QString& port);

// Why an output path cannot be used before anything is opened: anything but
// a regular file (a device, the meter's port `port`, a FIFO), an existing
// file without --append, a file --append must not add to (another kind of
// file, one another program holds, a CSV of another header or row form than
// `table` writes), or a name the program would read as older 68-byte
// records. Empty when the path will do.
QString outputPathProblem(const QString& path, bool isRecordFile, bool append,
                          const TableFormat& table = {}, const QString& port = {});

} // namespace dmm::logtool
