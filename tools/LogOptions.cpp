// SPDX-License-Identifier: MIT
#include "LogOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

#include "DiscoveryPublisher.h"
#include "FileChecks.h"
#include "LogFile.h"
#include "LogLines.h"
#include "RecordFile.h"
#include "SerialLink.h"
#include "ServiceConf.h"
#include "ShownText.h"

namespace dmm::logtool {

namespace {

using namespace std::chrono_literals;

const char* const kHelp =
    "Usage: dmm-log --port COM2|DEVICE [options]\n"
    "\n"
    "Reads the meter as the data logger does (the same port naming and line\n"
    "settings, one frame per 500 ms poll, the same decoding and formatting) and\n"
    "logs every reading as it arrives, with no window.\n"
    "\n"
    "Options:\n"
    "  --port COMn|DEVICE   COMn is the logger's port naming: the file COMn in the\n"
    "                       current directory (normally a link to a tty), else\n"
    "                       /dev/ttyS<n-1>. Anything else is a device path, such as\n"
    "                       /dev/ttyUSB0.\n"
    "  --port NAME=PORT     given up to 8 times: the meters are read side by side,\n"
    "                       all polled on one 500 ms tick. NAME (letters, digits,\n"
    "                       - and _; default the port's name) heads the meter's\n"
    "                       columns, its record file (--out run.g52 writes\n"
    "                       run-NAME.g52) and its MQTT topics PREFIX/NAME/....\n"
    "                       The CSV has one row per round: time, then NAME value,\n"
    "                       NAME unit, NAME display, NAME subdisplay per meter,\n"
    "                       empty where the meter gave no reading; --count counts\n"
    "                       rows.\n"
    "  --power VNAME*ANAME  with several meters: the columns power (W), energy (Wh)\n"
    "                       and charge (Ah) of a DC volt and a DC ampere meter,\n"
    "                       energy and charge integrated from the start.\n"
    "  --interval SECONDS   log the first reading after every SECONDS (whole\n"
    "                       seconds, as the recorder's interval). Without it, or\n"
    "                       with 0: Full Speed, the first reading after each poll.\n"
    "  --out FILE.g52       write each reading as a 76-byte record the moment it\n"
    "                       arrives; the logger opens the file as a recording.\n"
    "  --csv FILE.csv       write a header and then one line per reading: local\n"
    "                       time (ISO 8601 with milliseconds), the value in SI\n"
    "                       base units (farads, not microfarads), the SI unit\n"
    "                       (V, A, \u03A9, F, Hz, VA, \u00B0C, \u00B0F), the value text\n"
    "                       with its prefix, the sub-display text. UTF-8, LF.\n"
    "  --separator C        the CSV's field separator: one character, or \"tab\"\n"
    "                       (default ,).\n"
    "  --decimal-comma      values (and the display texts' point) with a decimal\n"
    "                       comma, for spreadsheets in comma locales (use with\n"
    "                       --separator \";\").\n"
    "  --utc                the CSV's times in UTC, ending in Z (default: local\n"
    "                       time without a zone).\n"
    "  --stats FILE.csv     also write statistics per interval of --every: for\n"
    "                       each function met, count, overloads, min and max with\n"
    "                       their times, mean, standard deviation, first and last\n"
    "                       value (as dmm-export --stats), each interval the moment\n"
    "                       it ends. A last column \"partial\" marks the interval a\n"
    "                       stopped run cut short. Always a new file. With --mqtt\n"
    "                       each row also goes to PREFIX/NAME/stats (JSON, retained).\n"
    "  --every TIME         the statistics' interval: 10s, 1m, 1h30m; intervals\n"
    "                       start on the clock (1m at each whole minute).\n"
    "  --duration TIME      stop after TIME: 2h, 30m, 45s, 1h30m, 2.5h, or seconds.\n"
    "  --count N            stop after N readings.\n"
    "  --folder DIR         relative --out and --csv files go into DIR, made when\n"
    "                       missing.\n"
    "  --conf FILE          take the options the command line leaves out from FILE:\n"
    "                       lines PORT= (one PORT=NAME=PORT line per meter), POWER=,\n"
    "                       INTERVAL=, SEPARATOR=, DECIMAL_COMMA=yes|no,\n"
    "                       FOLDER= (\"~/\" is the home folder), MQTT_URL=,\n"
    "                       MQTT_PASSWORD_FILE=, MQTT_NAME=, MQTT_DISCOVERY=,\n"
    "                       METRICS=, ALARM= (one or more [NAME=]LOW:HIGH),\n"
    "                       ALARM_HYSTERESIS= and ON_ALARM=, as a logging\n"
    "                       service's ~/.config/dmm-log/NAME.conf holds them.\n"
    "  --append             add to existing files instead of refusing them; an\n"
    "                       incomplete record or line at the end (left by a crash)\n"
    "                       is cut off first. A CSV is added to only with the\n"
    "                       separator, decimal mark and time form it was written\n"
    "                       with. Outputs are regular files: never a device, a\n"
    "                       FIFO or the port.\n"
    "  --quiet              do not print each reading on standard output.\n"
    "  --mqtt URL           also publish every reading to an MQTT broker:\n"
    "                       mqtt://[USER@]HOST[:PORT]/PREFIX, mqtts:// for TLS.\n"
    "                       Topics PREFIX/NAME/reading (JSON, QoS 1), .../status\n"
    "                       (online or offline, the meter's warnings), .../meta and\n"
    "                       .../dropped. Readings the broker cannot take are queued\n"
    "                       and sent in order when it is back.\n"
    "  --name NAME          the topics' NAME (default: the port's name).\n"
    "  --mqtt-password-file FILE  the login's password, from a file only its owner\n"
    "                       may read (chmod 600).\n"
    "  --mqtt-ca FILE       certificate authority for mqtts:// (default: the\n"
    "                       system's).\n"
    "  --mqtt-queue N       readings kept while the broker is away (default 172800,\n"
    "                       a day at Full Speed); beyond it the oldest are dropped.\n"
    "  --mqtt-discovery PREFIX  also publish Home Assistant's discovery configs\n"
    "                       under PREFIX (Home Assistant's own is homeassistant):\n"
    "                       a device with, per meter, a sensor of its readings in\n"
    "                       the unit of its function and a binary sensor of its\n"
    "                       alarm.\n"
    "  --metrics [HOST:]PORT  serve the readings to a Prometheus server at\n"
    "                       http://HOST:PORT/metrics (HOST 127.0.0.1 unless given;\n"
    "                       0.0.0.0 opens it to the network): per meter the last\n"
    "                       reading, counts of readings and overloads, whether\n"
    "                       readings arrive, the alarm's state and the MQTT queue.\n"
    "  --alarm [NAME=]LOW:HIGH  watch the readings' range, in their SI unit (V,\n"
    "                       not mV), the unit of the first reading: 3.0:4.2, or\n"
    "                       one side open, :4.2 or 3.0:. NAME is the meter's (the\n"
    "                       topics' NAME). Its state is low, normal or high; an\n"
    "                       overload is beyond the range on its side, a reading\n"
    "                       in another unit leaves the state as it is. Each\n"
    "                       change is a line on standard error, a retained\n"
    "                       PREFIX/NAME/alarm with --mqtt, and runs --on-alarm.\n"
    "  --alarm-hysteresis AMOUNT  how far back inside a reading must come to end\n"
    "                       a low or high state: an amount in the unit (0.05) or\n"
    "                       a percentage (2%) of HIGH-LOW, or of the one limit's\n"
    "                       size; default 1%. A lone limit of 0 has none by\n"
    "                       default (1% of 0).\n"
    "  --on-alarm COMMAND   run COMMAND on each change, without a shell: words\n"
    "                       split at spaces, \"...\" keeps spaces in one, a quote\n"
    "                       in it is \"\"\". Its environment adds DMM_ALARM (low,\n"
    "                       normal, high), DMM_VALUE (inf, -inf for an overload),\n"
    "                       DMM_UNIT, DMM_TIME, DMM_NAME. One at a time, changes\n"
    "                       wait their turn; its exit status and standard error\n"
    "                       go to standard error.\n"
    "  --on-alarm-timeout TIME  end a command that runs longer (SIGTERM, then\n"
    "                       SIGKILL); default 30s.\n"
    "  -h, --help           show this text.\n"
    "  -v, --version        show the program's version.\n"
    "\n"
    "A silent meter and a low battery are reported on standard error when they\n"
    "begin, then at most once a minute while they last; logging goes on. SIGINT\n"
    "or SIGTERM ends the run: the files are closed holding whole records only\n"
    "and a summary goes to standard error.\n"
    "Exit status: 0 after a normal end, 1 for a bad option, a wrong conf file or\n"
    "an output file that cannot be written, 2 when the port cannot be opened.\n";

std::optional<int> wholeNumber(const QString& text, long long minimum, long long maximum)
{
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok || value < minimum || value > maximum)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

std::optional<int> intervalSeconds(const QString& text)
{
    return wholeNumber(text, 0, kMaxIntervalSeconds);
}

QString logHelpText()
{
    return QString::fromUtf8(kHelp); // the unit signs are UTF-8
}

int comPortNumber(const QString& port)
{
    static const QRegularExpression comName(QStringLiteral("^COM(\\d{1,9})$"));
    const auto match = comName.match(port);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString portDevice(const QString& port)
{
    const int number = comPortNumber(port);
    return number > 0 ? portDevicePath(number, QDir::currentPath()) : port;
}

QString outputPathProblem(const QString& path, bool isRecordFile, bool append,
                          const TableFormat& table, const QString& port)
{
    // The logger reads a name containing ".g51" as older 68-byte records, which
    // would garble every reading of this file.
    if (isRecordFile && recordSizeForFile(path) != 76)
        return path + QStringLiteral(": the logger would read this name as older 68-byte "
                                     "records; choose a name without \".g51\"");
    if (isFolder(path))
        return path + QStringLiteral(": is a directory");
    // The program never writes to a port, least of all the meter's.
    if (!port.isEmpty() && isSameFile(path, portDevice(port)))
        return path + QStringLiteral(": is the meter's port (--port); the readings go to a "
                                     "regular file");
    // Outputs are regular files only, as the atomic writer's are: a device,
    // a terminal or a FIFO is refused.
    if (const auto reason = notRegularFileReason(path))
        return path + QStringLiteral(": ") + *reason;
    if (!append && nameIsTaken(path))
        return path + QStringLiteral(": exists; give --append to add to it");
    if (append)
        return appendProblem(path, isRecordFile ? LogFile::Kind::Records : LogFile::Kind::Lines,
                             table);
    return {};
}

QString logMeterName(const LogOptions& options)
{
    return options.mqtt ? options.mqtt->name : QFileInfo(options.port).fileName();
}

ParsedArguments parseLogArguments(const QStringList& arguments)
{
    ParsedArguments result;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show help."));
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("PORT"));
    const QCommandLineOption interval(QStringLiteral("interval"), {}, QStringLiteral("SECONDS"));
    const QCommandLineOption out(QStringLiteral("out"), {}, QStringLiteral("FILE"));
    const QCommandLineOption csv(QStringLiteral("csv"), {}, QStringLiteral("FILE"));
    const QCommandLineOption duration(QStringLiteral("duration"), {}, QStringLiteral("TIME"));
    const QCommandLineOption count(QStringLiteral("count"), {}, QStringLiteral("N"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), {});
    const QCommandLineOption append(QStringLiteral("append"), {});
    const QCommandLineOption separator(QStringLiteral("separator"), {}, QStringLiteral("C"));
    const QCommandLineOption decimalComma(QStringLiteral("decimal-comma"), {});
    const QCommandLineOption utc(QStringLiteral("utc"), {});
    const QCommandLineOption folder(QStringLiteral("folder"), {}, QStringLiteral("DIR"));
    const QCommandLineOption conf(QStringLiteral("conf"), {}, QStringLiteral("FILE"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, {});
    const QCommandLineOption mqtt(QStringLiteral("mqtt"), {}, QStringLiteral("URL"));
    const QCommandLineOption name(QStringLiteral("name"), {}, QStringLiteral("NAME"));
    const QCommandLineOption mqttPasswordFile(QStringLiteral("mqtt-password-file"), {},
                                              QStringLiteral("FILE"));
    const QCommandLineOption mqttCa(QStringLiteral("mqtt-ca"), {}, QStringLiteral("FILE"));
    const QCommandLineOption mqttQueue(QStringLiteral("mqtt-queue"), {}, QStringLiteral("N"));
    const QCommandLineOption stats(QStringLiteral("stats"), {}, QStringLiteral("FILE"));
    const QCommandLineOption every(QStringLiteral("every"), {}, QStringLiteral("TIME"));
    parser.addOptions({stats, every});
    parser.addOptions({help,  version, port,   interval,         out,          csv,      duration,
                       count, quiet,   append, separator,        decimalComma, utc,      folder,
                       conf,  mqtt,    name,   mqttPasswordFile, mqttCa,       mqttQueue});
    // Several meters: --port repeated, and the power of two of them.
    const QCommandLineOption power(QStringLiteral("power"), {}, QStringLiteral("VNAME*ANAME"));
    parser.addOption(power);
    const QCommandLineOption metrics(QStringLiteral("metrics"), {}, QStringLiteral("[HOST:]PORT"));
    parser.addOption(metrics);
    const QCommandLineOption mqttDiscovery(QStringLiteral("mqtt-discovery"), {},
                                           QStringLiteral("PREFIX"));
    parser.addOption(mqttDiscovery);
    parser.addOptions(alarmCommandLineOptions());

    const auto fail = [&](const QString& error) {
        result.error = error;
        return result;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.helpRequested = true;
        return result;
    }
    if (parser.isSet(version)) {
        result.versionRequested = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());
    // An option given twice would silently take one of the values.
    for (const QString& name : parser.optionNames()) {
        if (name != u"alarm" && parser.optionNames().count(name) > 1 &&
            name != port.names().first()) // --port, --alarm: per meter
            return fail(QStringLiteral("--%1 given more than once").arg(name));
    }

    // The conf file's values stand in for options the command line leaves out.
    ServiceConf fromConf;
    if (parser.isSet(conf)) {
        const ServiceConfResult read = readServiceConf(parser.value(conf), QDir::homePath());
        if (!read.conf) {
            result.usageError = false;
            return fail(read.error);
        }
        fromConf = *read.conf;
    }

    LogOptions options;
    const QStringList portSpecs = parser.isSet(port) ? parser.values(port) : fromConf.ports;
    options.port = portSpecs.value(0);
    if (options.port.isEmpty())
        return fail(parser.isSet(conf)
                        ? QStringLiteral("%1 has no PORT= line and --port is not given")
                              .arg(parser.value(conf))
                        : QStringLiteral("--port is required (COM1 to COM10 or a device path)"));
    if (const MeterPortsResult read = meterPorts(portSpecs); !read.error.isEmpty())
        return fail(read.error);
    else
        options.meters = read.meters;
    options.port = options.meters.first().port;
    if (const QString powerSpec =
            parser.isSet(power) ? parser.value(power) : fromConf.power.value_or(QString());
        !powerSpec.isEmpty()) {
        const PowerPairResult pair = powerPair(powerSpec, options.meters);
        if (!pair.pair)
            return fail(pair.error);
        options.power = pair.pair;
    }
    options.intervalSeconds = fromConf.intervalSeconds.value_or(0);
    if (parser.isSet(interval)) {
        const auto seconds = intervalSeconds(parser.value(interval));
        if (!seconds)
            return fail(QStringLiteral("--interval needs whole seconds from 0 to %1")
                            .arg(kMaxIntervalSeconds));
        options.intervalSeconds = *seconds;
    }
    if (parser.isSet(duration)) {
        options.duration = parseDuration(parser.value(duration));
        if (!options.duration)
            return fail(QStringLiteral("--duration needs a time such as 2h, 30m, 45s or 1h30m"));
    }
    if (parser.isSet(count)) {
        bool ok = false;
        const long long n = parser.value(count).trimmed().toLongLong(&ok);
        if (!ok || n < 1)
            return fail(QStringLiteral("--count needs a number of readings, 1 or more"));
        options.count = n;
    }
    options.outPath = parser.value(out);
    options.csvPath = parser.value(csv);
    if ((parser.isSet(out) && options.outPath.isEmpty()) ||
        (parser.isSet(csv) && options.csvPath.isEmpty()))
        return fail(QStringLiteral("--out and --csv need a file name"));
    // --stats FILE.csv --every TIME: both or neither.
    options.statsPath = parser.value(stats);
    if (parser.isSet(stats) != parser.isSet(every) ||
        (parser.isSet(stats) && options.statsPath.isEmpty()))
        return fail(
            QStringLiteral("--stats needs a file name and --every a time, each with the other"));
    if (parser.isSet(every)) {
        const auto length = parseDuration(parser.value(every));
        if (!length)
            return fail(QStringLiteral("--every needs a time such as 10s, 1m or 1h30m"));
        options.statsEvery = *length;
    }
    options.folder =
        parser.isSet(folder) ? parser.value(folder) : fromConf.folder.value_or(QString());
    if (parser.isSet(folder) && options.folder.isEmpty())
        return fail(QStringLiteral("--folder needs a folder"));
    options.folderSource = parser.isSet(folder)
                               ? QStringLiteral("--folder ") + shownText(options.folder)
                               : fromConf.folderLine;
    if (!options.folder.isEmpty()) {
        for (QString* path : {&options.outPath, &options.csvPath, &options.statsPath})
            if (!path->isEmpty())
                *path = QDir(options.folder).absoluteFilePath(*path);
    }
    options.quiet = parser.isSet(quiet);
    options.append = parser.isSet(append);
    if (parser.isSet(separator)) {
        const auto character = tableSeparator(parser.value(separator));
        if (!character)
            return fail(QStringLiteral("--separator needs one character such as ; or \"tab\""));
        options.table.separator = *character;
    } else if (fromConf.separator) {
        options.table.separator = *fromConf.separator;
    }
    options.table.decimalComma =
        parser.isSet(decimalComma) || fromConf.decimalComma.value_or(false);
    options.table.utc = parser.isSet(utc);
    if (options.quiet && options.outPath.isEmpty() && options.csvPath.isEmpty() &&
        options.statsPath.isEmpty())
        return fail(QStringLiteral("nothing to log to: give --out or --csv, or leave out --quiet"));
    if (!options.outPath.isEmpty() && !options.csvPath.isEmpty() &&
        QFileInfo(options.outPath).absoluteFilePath() ==
            QFileInfo(options.csvPath).absoluteFilePath())
        return fail(QStringLiteral("--out and --csv name the same file"));
    if (options.meters.size() > 1 && options.append && !options.csvPath.isEmpty())
        return fail(QStringLiteral("--append adds to the record files of several meters, not to "
                                   "their table: give a new --csv file"));
    if (options.meters.size() > 1 && parser.isSet(name))
        return fail(QStringLiteral("--name names the topics of one meter; with several meters "
                                   "each publishes under its own name (NAME=PORT)"));
    for (const QString& other : {options.outPath, options.csvPath})
        if (!options.statsPath.isEmpty() && !other.isEmpty() &&
            QFileInfo(options.statsPath).absoluteFilePath() == QFileInfo(other).absoluteFilePath())
            return fail(QStringLiteral("--stats names the same file as --out or --csv"));
    const QString mqttUrl =
        parser.isSet(mqtt) ? parser.value(mqtt) : fromConf.mqttUrl.value_or(QString());
    if (mqttUrl.isEmpty()) {
        for (const auto* option : {&name, &mqttPasswordFile, &mqttCa, &mqttQueue})
            if (parser.isSet(*option))
                return fail(QStringLiteral("--%1 needs --mqtt").arg(option->names().first()));
    } else {
        // Said of the option or the conf line that gave it.
        const QString urlSource =
            parser.isSet(mqtt)
                ? QStringLiteral("--mqtt ") + shownAddress(mqttUrl)
                : parser.value(conf) + QStringLiteral(": MQTT_URL=") + shownAddress(mqttUrl);
        const MqttUrlResult url = parseMqttUrl(mqttUrl);
        if (!url.url)
            return fail(urlSource + QStringLiteral(": ") + url.error);
        MqttSettings settings;
        settings.url = *url.url;
        settings.name = parser.isSet(name)
                            ? parser.value(name)
                            : fromConf.mqttName.value_or(options.meters.first().name);
        // Said of the option that gave the name, or of the port it came from.
        const QString nameSource =
            parser.isSet(name) ? QStringLiteral("--name ") + shownText(settings.name)
            : fromConf.mqttName
                ? parser.value(conf) + QStringLiteral(": MQTT_NAME=") + shownText(settings.name)
                : QStringLiteral("the port's name %1 as the topics' NAME (give --name)")
                      .arg(shownText(settings.name));
        if (const QString problem = topicLevelProblem(settings.name); !problem.isEmpty())
            return fail(nameSource + QStringLiteral(": ") + problem);
        if (const QString problem = topicLengthProblem(settings.url.prefix, settings.name);
            !problem.isEmpty()) {
            // The longer of the two is what to shorten.
            return fail(
                (settings.url.prefix.size() > settings.name.size() ? urlSource : nameSource) +
                QStringLiteral(": ") + problem);
        }
        const QString passwordFile = parser.isSet(mqttPasswordFile)
                                         ? parser.value(mqttPasswordFile)
                                         : fromConf.mqttPasswordFile.value_or(QString());
        if (!passwordFile.isEmpty()) {
            if (settings.url.user.isEmpty())
                return fail(QStringLiteral("a password needs a user in the address: "
                                           "mqtt://USER@HOST/PREFIX"));
            QString error;
            settings.password = readMqttPasswordFile(passwordFile, &error);
            if (settings.password.isEmpty()) {
                result.usageError = false;
                return fail(error);
            }
        }
        settings.caFile = parser.value(mqttCa);
        if (parser.isSet(mqttCa) && !settings.url.tls)
            return fail(QStringLiteral("--mqtt-ca needs an mqtts:// address"));
        if (parser.isSet(mqttCa)) {
            if (const QString problem = caFileProblem(settings.caFile); !problem.isEmpty()) {
                result.usageError = false;
                return fail(QStringLiteral("--mqtt-ca ") + shownText(settings.caFile) +
                            QStringLiteral(": ") + problem);
            }
        }
        if (parser.isSet(mqttQueue)) {
            bool ok = false;
            settings.queueLimit = parser.value(mqttQueue).trimmed().toLongLong(&ok);
            if (!ok || settings.queueLimit < 1)
                return fail(QStringLiteral("--mqtt-queue needs a number of readings, 1 or more"));
        }
        options.mqtt = settings;
    }
    // The readings for a Prometheus server.
    if (const QString text =
            parser.isSet(metrics) ? parser.value(metrics) : fromConf.metrics.value_or(QString());
        !text.isEmpty() || parser.isSet(metrics)) {
        const MetricsAddressResult address = parseMetricsAddress(text);
        if (!address.address)
            return fail((parser.isSet(metrics)
                             ? QStringLiteral("--metrics ")
                             : parser.value(conf) + QStringLiteral(": METRICS=")) +
                        shownText(text) + QStringLiteral(": ") + address.error);
        options.metrics = *address.address;
    }
    // Home Assistant's discovery configs, on the broker of --mqtt.
    if (const QString prefix = parser.isSet(mqttDiscovery)
                                   ? parser.value(mqttDiscovery)
                                   : fromConf.mqttDiscovery.value_or(QString());
        !prefix.isEmpty() || parser.isSet(mqttDiscovery)) {
        const QString source = parser.isSet(mqttDiscovery)
                                   ? QStringLiteral("--mqtt-discovery ")
                                   : parser.value(conf) + QStringLiteral(": MQTT_DISCOVERY=");
        if (!options.mqtt)
            return fail(source + shownText(prefix) + QStringLiteral(": needs --mqtt"));
        if (const QString problem = discoveryPrefixProblem(prefix); !problem.isEmpty())
            return fail(source + shownText(prefix) + QStringLiteral(": ") + problem);
        options.mqttDiscovery = prefix;
    }
    // The alarms, of each meter named as its topics are.
    QList<AlarmMeter> alarmMeters;
    if (options.meters.size() > 1) {
        for (const MeterPort& meter : options.meters)
            alarmMeters.push_back({meter.name, QFileInfo(meter.port).fileName()});
    } else {
        alarmMeters.push_back({logMeterName(options), QFileInfo(options.port).fileName()});
    }
    if (const QString problem =
            takeAlarmOptions(parser, fromConf, parser.value(conf), alarmMeters, &options.alarms);
        !problem.isEmpty())
        return fail(problem);
    if (options.meters.size() > 1 && !options.statsPath.isEmpty())
        return fail(QStringLiteral("--stats writes the statistics of one meter: give it a run of "
                                   "its own"));
    result.options = options;
    return result;
}

} // namespace dmm::logtool
