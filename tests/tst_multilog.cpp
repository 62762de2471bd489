// SPDX-License-Identifier: MIT
// Several meters side by side: the --port and --power names, the record
// files' names, the power integral, the table of several meters' cells.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cmath>
#include <optional>
#include <vector>

#include "FileBytes.h"
#include "LogOptions.h"
#include "MeterPorts.h"
#include "MeterTable.h"
#include "PowerIntegral.h"
#include "PowerMessage.h"
#include "RecordBuffer.h"
#include "RecordFile.h"
#include "RecordRuns.h"
#include "RecordStamp.h"
#include "ServiceConf.h"
#include "SimProcess.h"
#include "TableJoin.h"
#include "XlsxTable.h"

using namespace dmm;
using namespace dmm::logtool;

namespace {

TARecord reading(int function, const char* value, const char* prefix, const char* unit,
                 float stored)
{
    TARecord record;
    record.function = function;
    record.value = value;
    record.prefix = prefix;
    record.unit = unit;
    record.fValue = stored;
    return record;
}

// A recording of stamped records, "MS=KIND ..." from 2023-11-14T22:13:20Z:
// V12.00 (DC volts), A0.500 (DC amperes), OL (a DC volt overload), R1.234
// (kilohms).
constexpr std::int64_t kStart = 1'700'000'000'000;
RecordBuffer recording(const QString& text)
{
    RecordBuffer buffer;
    for (const QString& item : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString ms = item.section(u'=', 0, 0);
        const QString kind = item.section(u'=', 1);
        const QByteArray number = kind.mid(1).toLatin1();
        TARecord record = kind == QStringLiteral("OL") ? reading(6, "O.L", "", "V", 9900.0f)
                          : kind.startsWith(u'V') ? reading(6, number, "", "V", number.toFloat())
                          : kind.startsWith(u'A')
                              ? reading(514, number, "", "A", number.toFloat())
                              : reading(128, number, "k", "W", number.toFloat() * 1000);
        record.timeStamp = " 22:13:20.0  ";
        setRecordStamp(record, kStart + ms.toLongLong());
        buffer.append(record);
    }
    return buffer;
}

// "-" for none.
std::optional<double> number(const QString& text)
{
    if (text == QStringLiteral("-"))
        return std::nullopt;
    return text.toDouble();
}

} // namespace

class TestMultiLog : public QObject
{
    Q_OBJECT
private slots:
    void meterNames_data();
    void meterNames();
    void arguments_data();
    void arguments();
    void confFile_data();
    void confFile();
    void powerNames_data();
    void powerNames();
    void recordFileNames_data();
    void recordFileNames();
    void powerIntegral_data();
    void powerIntegral();
    void powerInputs();
    void powerNumbers_data();
    void powerNumbers();
    void powerMessages();
    void tableRows_data();
    void tableRows();
    void joins_data();
    void joins();
    void joinedWorkbook();
    void twoSimulatedMeters();
};

void TestMultiLog::meterNames_data()
{
    QTest::addColumn<QStringList>("portValues");
    QTest::addColumn<QString>("expected"); // NAME=PORT|..., or the error
    QTest::newRow("one port") << QStringList{"COM1"} << "COM1=COM1";
    QTest::newRow("named") << QStringList{"volts=COM1", "amps=/dev/ttyUSB0"}
                           << "volts=COM1|amps=/dev/ttyUSB0";
    QTest::newRow("device's name")
        << QStringList{"/dev/ttyUSB0", "b_2=COM2"} << "ttyUSB0=/dev/ttyUSB0|b_2=COM2";
    QTest::newRow("a path with =") << QStringList{"/tmp/a=b", "COM2"} << "a=b: error";
    QTest::newRow("one meter's path") << QStringList{"/dev/serial/by-path/pci-0:14.0-port0"}
                                      << "pci-0:14.0-port0=/dev/serial/by-path/pci-0:14.0-port0";
    QTest::newRow("name twice") << QStringList{"a=COM1", "a=COM2"}
                                << "two meters are named a (--port COM1 and --port COM2); give "
                                   "each its own name as NAME=PORT";
    QTest::newRow("port twice") << QStringList{"COM1", "COM1"}
                                << "two meters are named COM1 (--port COM1 and --port COM1); give "
                                   "each its own name as NAME=PORT";
    QTest::newRow("bad name") << QStringList{"volt s=COM1"}
                              << "--port volt s=COM1: a meter's name before '=' is made of "
                                 "letters, digits, - and _";
    QTest::newRow("no port") << QStringList{"volts="} << "--port volts=: no port after the name";
    QTest::newRow("nine meters") << QStringList{"COM1", "COM2", "COM3", "COM4", "COM5",
                                                "COM6", "COM7", "COM8", "COM9"}
                                 << "--port given 9 times; one run reads at most 8 meters";
}

void TestMultiLog::meterNames()
{
    QFETCH(QStringList, portValues);
    QFETCH(QString, expected);
    const MeterPortsResult result = meterPorts(portValues);
    if (expected.endsWith(QStringLiteral(": error"))) {
        // A path whose file name is no meter name asks for one.
        QVERIFY(result.meters.isEmpty());
        QVERIFY2(result.error.contains(QStringLiteral("give one as NAME=")),
                 qPrintable(result.error));
        return;
    }
    QStringList got;
    for (const MeterPort& meter : result.meters)
        got << meter.name + u'=' + meter.port;
    QCOMPARE(result.meters.isEmpty() ? result.error : got.join(u'|'), expected);
}

void TestMultiLog::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected"); // meters and power pair, or the error
    QTest::newRow("two meters") << QStringList{"--port", "v=COM1",  "--port", "a=COM2", "--power",
                                               "v*a",    "--quiet", "--csv",  "x.csv"}
                                << "v=COM1 a=COM2 power 0*1";
    QTest::newRow("one named meter") << QStringList{"--port", "bench=COM3"} << "bench=COM3";
    QTest::newRow("power of an unknown meter")
        << QStringList{"--port", "v=COM1", "--port", "a=COM2", "--power", "v*x"}
        << "--power v*x: no meter is named x (the meters: v, a)";
    QTest::newRow("append to a table of several")
        << QStringList{"--port", "COM1", "--port", "COM2", "--csv", "x.csv", "--append"}
        << "--append adds to the record files of several meters, not to their table: give a new "
           "--csv file";
}

void TestMultiLog::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const ParsedArguments parsed = parseLogArguments(QStringList{"dmm-log"} + arguments);
    if (!parsed.options) {
        QCOMPARE(parsed.error, expected);
        return;
    }
    QStringList got;
    for (const MeterPort& meter : parsed.options->meters)
        got << meter.name + u'=' + meter.port;
    if (parsed.options->power)
        got << QStringLiteral("power %1*%2")
                   .arg(parsed.options->power->volts)
                   .arg(parsed.options->power->amperes);
    QCOMPARE(got.join(u' '), expected);
    QCOMPARE(parsed.options->port, parsed.options->meters.first().port);
}

void TestMultiLog::confFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // the ports and power, or the error
    QTest::newRow("two named meters") << QByteArray("PORT=v=/dev/ttyUSB0\nPORT=a=COM2\n"
                                                    "POWER=v*a\n")
                                      << "v=/dev/ttyUSB0|a=COM2|v*a";
    QTest::newRow("one unnamed of two") << QByteArray("PORT=v=COM1\nPORT=COM2\n")
                                        << "/c/b.conf:2: PORT=COM2: PORT is set on line 1 already";
}

void TestMultiLog::confFile()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    const ServiceConfResult read =
        parseServiceConf(QStringLiteral("/c/b.conf"), text, QStringLiteral("/home/u"));
    QCOMPARE(read.conf ? (read.conf->ports + QStringList{read.conf->power.value_or("-")}).join(u'|')
                       : read.error,
             expected);
}

void TestMultiLog::powerNames_data()
{
    QTest::addColumn<QString>("pair");
    QTest::addColumn<QString>("expected"); // "volts,amperes" indices, or the error
    QTest::newRow("in order") << "v*a"
                              << "0,1";
    QTest::newRow("the other way") << "a*v"
                                   << "1,0";
    QTest::newRow("unknown") << "v*w"
                             << "--power v*w: no meter is named w (the meters: v, a, t)";
    QTest::newRow("one name") << "v"
                              << "--power needs the volt meter's and the ampere meter's "
                                 "names as VNAME*ANAME";
    QTest::newRow("same meter") << "v*v"
                                << "--power v*v: the volt and the ampere meter are one "
                                   "meter";
}

void TestMultiLog::powerNames()
{
    QFETCH(QString, pair);
    QFETCH(QString, expected);
    const QList<MeterPort> meters{{"v", "COM1"}, {"a", "COM2"}, {"t", "COM3"}};
    const PowerPairResult result = powerPair(pair, meters);
    QCOMPARE(result.pair ? QStringLiteral("%1,%2").arg(result.pair->volts).arg(result.pair->amperes)
                         : result.error,
             expected);
}

void TestMultiLog::recordFileNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("extension") << "run.g52"
                               << "run-volts.g52";
    QTest::newRow("two dots") << "logs/run.1.g52"
                              << "logs/run.1-volts.g52";
    QTest::newRow("none") << "/a.b/run"
                          << "/a.b/run-volts";
    QTest::newRow("hidden") << "/tmp/.run"
                            << "/tmp/.run-volts";
}

void TestMultiLog::recordFileNames()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(meterFilePath(path, QStringLiteral("volts")), expected);
}

void TestMultiLog::powerIntegral_data()
{
    // Rows "ms:volts:amperes" and what each gives, "watts:Wh:Ah"; "-" for none.
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("expected");
    // 6 W for 0.5 s is 3 Ws = 0.000833333 Wh; 0.5 A for 0.5 s is 0.25 As.
    QTest::newRow("steady") << "0:12:0.5 500:12:0.5 1000:12:0.5"
                            << "6:0:0 6:0.000833333:0.0000694444 6:0.00166667:0.000138889";
    // (12 W + 20 W) / 2 over 1 s is 16 Ws; (1 A + 2 A) / 2 over 1 s is 1.5 As.
    QTest::newRow("ramp") << "0:12:1 1000:10:2"
                          << "12:0:0 20:0.00444444:0.000416667";
    // No interval has a power at both ends; the current goes on.
    QTest::newRow("volts missing") << "0:12:1 1000:-:1 2000:12:1"
                                   << "12:0:0 -:0:0.000277778 12:0:0.000555556";
    QTest::newRow("amperes missing") << "0:12:1 1000:12:- 2000:12:1"
                                     << "12:0:0 -:0:0 12:0:0";
    // 20 W for an hour is 20 Wh; 2 A for an hour 2 Ah.
    QTest::newRow("first row empty") << "0:-:- 3600000:10:2 7200000:10:2"
                                     << "-:0:0 20:0:0 20:20:2";
    QTest::newRow("negative current") << "0:12:-1 1800000:12:-1"
                                      << "-12:0:0 -12:-6:-0.5";
}

void TestMultiLog::powerIntegral()
{
    QFETCH(QString, rows);
    QFETCH(QString, expected);
    const QStringList inputs = rows.split(u' ');
    const QStringList outputs = expected.split(u' ');
    QCOMPARE(inputs.size(), outputs.size());
    PowerIntegral integral;
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const QStringList in = inputs[i].split(u':');
        const QStringList out = outputs[i].split(u':');
        const PowerRow row = integral.add(in[0].toLongLong(), number(in[1]), number(in[2]));
        const auto close = [](double a, double b) {
            return std::abs(a - b) <= 1e-5 * std::max(1e-3, std::abs(b));
        };
        QVERIFY2(row.watts.has_value() == number(out[0]).has_value() &&
                     (!row.watts || close(*row.watts, *number(out[0]))),
                 qPrintable(QStringLiteral("row %1 watts").arg(i)));
        QVERIFY2(close(row.wattHours, out[1].toDouble()),
                 qPrintable(QStringLiteral("row %1 Wh %2").arg(i).arg(row.wattHours)));
        QVERIFY2(close(row.ampereHours, out[2].toDouble()),
                 qPrintable(QStringLiteral("row %1 Ah %2").arg(i).arg(row.ampereHours)));
    }
}

void TestMultiLog::powerInputs()
{
    const TARecord volts = reading(6, "12.34", "", "V", 12.34f);
    const TARecord overload = reading(6, "O.L", "", "V", 9900.0f);
    const TARecord ohms = reading(128, "1.234", "k", "W", 1234.0f);
    QCOMPARE(powerInput(&volts, MeterFunction::DcVolts).value, std::optional<double>(12.34));
    QVERIFY(!powerInput(&volts, MeterFunction::DcVolts).otherFunction);
    QVERIFY(!powerInput(&volts, MeterFunction::DcAmperes).value);
    QVERIFY(powerInput(&volts, MeterFunction::DcAmperes).otherFunction);
    QVERIFY(!powerInput(&overload, MeterFunction::DcVolts).value);
    QVERIFY(!powerInput(&overload, MeterFunction::DcVolts).otherFunction);
    QVERIFY(powerInput(&ohms, MeterFunction::DcVolts).otherFunction);
    QVERIFY(!powerInput(nullptr, MeterFunction::DcVolts).value);
    QVERIFY(!powerInput(nullptr, MeterFunction::DcVolts).otherFunction);
}

void TestMultiLog::powerNumbers_data()
{
    // Seven significant digits as printf's %.7g writes them.
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 6.0 << "6";
    QTest::newRow("negative") << -0.5 << "-0.5";
    QTest::newRow("seven digits") << 1234567.4 << "1234567";
    QTest::newRow("rounds up to a power of ten") << 9999999.5 << "1e+07";
    QTest::newRow("eight digits") << 12345678.0 << "1.234568e+07";
    QTest::newRow("smallest fixed") << 0.0001 << "0.0001";
    QTest::newRow("largest exponent form") << 0.00009999999 << "9.999999e-05";
    QTest::newRow("just under a half") << 44401.254999999997 << "44401.25";
    QTest::newRow("half of a last digit") << 0.125 << "0.125";
    QTest::newRow("tiny") << 1.5e-20 << "1.5e-20";
}

void TestMultiLog::powerNumbers()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(powerNumberText(value, {})), expected);
}

void TestMultiLog::powerMessages()
{
    QCOMPARE(powerTopic("lab/bench"), std::string("lab/bench/power"));
    const QDateTime time(QDate(2026, 12, 7), QTime(14, 33, 16, 77), QTimeZone::utc());
    const auto payload = [&](const PowerRow& row) {
        const std::string text = powerPayload(12, time, row);
        return text.substr(text.find(",\"power\""));
    };
    QCOMPARE(payload({6.0, 0.0125, 0.00208}),
             std::string(",\"power\":6.0,\"energy\":0.0125,\"charge\":0.00208,\"seq\":12}"));
    QCOMPARE(payload({std::nullopt, 2.0, 1.0}),
             std::string(",\"power\":null,\"energy\":2.0,\"charge\":1.0,\"seq\":12}"));
}

void TestMultiLog::tableRows_data()
{
    QTest::addColumn<bool>("decimalComma");
    QTest::addColumn<bool>("withPower");
    QTest::addColumn<QString>("expected");
    QTest::newRow("point") << false << true
                           << "time,v value,v unit,v display,v subdisplay,a value,a unit,"
                              "a display,a subdisplay,power,energy,charge\n"
                              "T1,12.34,V,12.34,,,,,,,1.5,0.25\n"
                              "T2,,V,O.L,,0.5,A,0.500,,,1.5,0.25\n"
                              "T3,12.34,V,12.34,,0.5,A,0.500,,6.17,1.234568,1.234568e-05\n";
    QTest::newRow("comma") << true << true
                           << "time;v value;v unit;v display;v subdisplay;a value;a unit;"
                              "a display;a subdisplay;power;energy;charge\n"
                              "T1;12,34;V;12,34;;;;;;;1,5;0,25\n"
                              "T2;;V;O,L;;0,5;A;0,500;;;1,5;0,25\n"
                              "T3;12,34;V;12,34;;0,5;A;0,500;;6,17;1,234568;1,234568e-05\n";
    QTest::newRow("no power") << false << false
                              << "time,v value,v unit,v display,v subdisplay,a value,a unit,"
                                 "a display,a subdisplay\n"
                                 "T1,12.34,V,12.34,,,,,\n"
                                 "T2,,V,O.L,,0.5,A,0.500,\n"
                                 "T3,12.34,V,12.34,,0.5,A,0.500,\n";
}

void TestMultiLog::tableRows()
{
    QFETCH(bool, decimalComma);
    QFETCH(bool, withPower);
    QFETCH(QString, expected);
    const TableFormat format{decimalComma ? ';' : ',', decimalComma, false};
    const TARecord volts = reading(6, "12.34", "", "V", 12.34f);
    const TARecord overload = reading(6, "O.L", "", "V", 9900.0f);
    const TARecord amperes = reading(514, "0.500", "", "A", 0.5f);
    const std::vector<std::vector<const TARecord*>> rows{
        {&volts, nullptr}, {&overload, &amperes}, {&volts, &amperes}};
    const PowerRow powers[] = {
        {std::nullopt, 1.5, 0.25}, {std::nullopt, 1.5, 0.25}, {6.17, 1.2345678, 0.0000123456789}};
    std::string text = meterTableHeader({"v", "a"}, withPower, format);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string row(std::size_t(maxMeterTableRow(2)), '\0');
        const std::string time = "T" + std::to_string(i + 1);
        row.resize(std::size_t(writeMeterTableRow(row.data(), time, rows[i],
                                                  withPower ? &powers[i] : nullptr, format) -
                               row.data()));
        text += row;
    }
    QCOMPARE(QString::fromStdString(text), expected);
}

void TestMultiLog::joins_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("power");
    QTest::addColumn<QString>("expected"); // the rows after the header
    // 6 W for 0.5 s: 3 Ws, 0.000833 Wh; 0.5 A for 0.5 s: 0.25 As, 6.944e-05 Ah.
    QTest::newRow("equal times") << "0=V12.00 500=V12.00"
                                 << "0=A0.500 500=A0.500" << true
                                 << "2023-11-14T22:13:20.000Z,12,V,12.00,,0.5,A,0.500,,6,0,0\n"
                                    "2023-11-14T22:13:20.500Z,12,V,12.00,,0.5,A,0.500,,6,"
                                    "0.0008333333,6.944444e-05\n";
    // 100 ms apart share a row, 300 ms apart do not; a has a gap at 500.
    QTest::newRow("a gap") << "0=V12.00 1000=V12.00"
                           << "100=A0.500 700=A0.500 1300=A0.500" << false
                           << "2023-11-14T22:13:20.000Z,12,V,12.00,,0.5,A,0.500,\n"
                              "2023-11-14T22:13:20.700Z,,,,,0.5,A,0.500,\n"
                              "2023-11-14T22:13:21.000Z,12,V,12.00,,,,,\n"
                              "2023-11-14T22:13:21.300Z,,,,,0.5,A,0.500,\n";
    QTest::newRow("b ends early") << "0=V12.00 500=V12.00 1000=V12.00"
                                  << "0=A0.500" << false
                                  << "2023-11-14T22:13:20.000Z,12,V,12.00,,0.5,A,0.500,\n"
                                     "2023-11-14T22:13:20.500Z,12,V,12.00,,,,,\n"
                                     "2023-11-14T22:13:21.000Z,12,V,12.00,,,,,\n";
    // The first row holds no power: no energy from the interval after it,
    // while the current holds in both rows.
    QTest::newRow("overload") << "0=OL 500=V12.00"
                              << "0=A0.500 500=A0.500" << true
                              << "2023-11-14T22:13:20.000Z,,V,O.L,,0.5,A,0.500,,,0,0\n"
                                 "2023-11-14T22:13:20.500Z,12,V,12.00,,0.5,A,0.500,,6,0,"
                                 "6.944444e-05\n";
    QTest::newRow("switched to ohms")
        << "0=V12.00 500=R1.234 1000=V12.00"
        << "0=A0.500 500=A0.500 1000=A0.500" << true
        << "2023-11-14T22:13:20.000Z,12,V,12.00,,0.5,A,0.500,,6,0,0\n"
           "2023-11-14T22:13:20.500Z,1234,Ω,1.234k,,0.5,A,0.500,,,0,6.944444e-05\n"
           "2023-11-14T22:13:21.000Z,12,V,12.00,,0.5,A,0.500,,6,0,0.0001388889\n";
}

void TestMultiLog::joins()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, power);
    QFETCH(QString, expected);
    const RecordBuffer first = recording(a);
    const RecordBuffer second = recording(b);
    RecordRuns firstRuns(first);
    RecordRuns secondRuns(second);
    JoinedRows rows({{&firstRuns, QDate(2023, 11, 14)}, {&secondRuns, QDate(2023, 11, 14)}},
                    power ? std::optional(std::pair{0, 1}) : std::nullopt);
    JoinedTableProducer table({',', false, true}, {"a", "b"}, rows);
    QByteArray text;
    while (table.nextBlock(text)) {
    }
    const QString got = QString::fromUtf8(text);
    QCOMPARE(got.section(u'\n', 1), expected);
    // Every record exactly once.
    QCOMPARE(rows.rows(), qint64(expected.count(u'\n')));
}

// The workbook of a join: the columns named as in the text table, the
// power columns, a Summary row per recording and function. Read as its XML
// text, which python's zipfile takes out of the workbook.
void TestMultiLog::joinedWorkbook()
{
    const RecordBuffer first = recording("0=V12.00 500=OL");
    const RecordBuffer second = recording("0=A0.500");
    RecordRuns firstRuns(first);
    RecordRuns secondRuns(second);
    JoinedRows rows({{&firstRuns, QDate(2023, 11, 14)}, {&secondRuns, QDate(2023, 11, 14)}},
                    std::pair{0, 1});
    QTemporaryDir dir;
    const QString path = dir.filePath("joined.xlsx");
    QVERIFY(!writeXlsxJoinedTable(path, true, {"a", "b"}, rows, nullptr));
    QProcess python;
    python.start("python3", {"-c",
                             "import re, sys, zipfile\n"
                             "z = zipfile.ZipFile(sys.argv[1])\n"
                             "for n in ('xl/worksheets/sheet1.xml', 'xl/worksheets/sheet2.xml'):\n"
                             "    x = z.read(n).decode()\n"
                             "    print(re.search('<dimension ref=\"([^\"]*)\"', x).group(1),\n"
                             "          '|'.join(re.findall('<t>([^<]*)</t>', x)))\n",
                             path});
    QVERIFY(python.waitForFinished(20000));
    QCOMPARE(
        QString::fromUtf8(python.readAllStandardOutput()),
        QStringLiteral("A1:L3 time (UTC)|a value|a unit|a display|a subdisplay|b value|"
                       "b unit|b display|b subdisplay|power|energy|charge|V|12.00|A|0.500|V|"
                       "O.L\n"
                       "A1:I3 function|values|overloads|minimum|maximum|mean|"
                       "standard deviation|first time (UTC)|last time (UTC)|a: DC V|b: DC A\n"));
}

// dmm-log reading two simulators, a battery at 12.00 V giving 0.500 A: the
// two recordings, the table with 6 W in every row, energy and charge of a
// steady 6 W and 0.5 A over the table's span; dmm-export joins the two
// recordings into the same rows.
void TestMultiLog::twoSimulatedMeters()
{
    SimProcess volts;
    SimProcess amperes;
    QVERIFY(writeFile(volts.directory() + "/v.txt", "period 100\nshow 6 12.00\n"));
    QVERIFY(writeFile(amperes.directory() + "/a.txt", "period 100\nshow 514 0.500\n"));
    QVERIFY(volts.start({"--script", volts.directory() + "/v.txt"}));
    QVERIFY(amperes.start({"--script", amperes.directory() + "/a.txt"}));
    QTemporaryDir work;
    QProcess log;
    log.setWorkingDirectory(work.path());
    log.start(DMM_LOG_PATH,
              {"--port", "volts=" + volts.linkPath(), "--port", "amps=" + amperes.linkPath(),
               "--power", "volts*amps", "--out", "run.g52", "--csv", "run.csv", "--count", "6",
               "--quiet", "--alarm", "amps=:0.4"});
    QVERIFY(log.waitForFinished(20000));
    const QByteArray said = log.readAllStandardError();
    QVERIFY2(log.exitCode() == 0, said.constData());
    // The ampere meter's own alarm, once.
    QCOMPARE(said.count("alarm amps: high, 0.5 A (was normal)\n"), 1);

    // Each meter's recording holds its readings, one per row it has a cell in.
    const QList<QByteArray> rows = readAll(work.filePath("run.csv")).split('\n');
    QCOMPARE(rows.size(), 1 + 6 + 1);
    QCOMPARE(rows.first(), QByteArray("time,volts value,volts unit,volts display,volts subdisplay,"
                                      "amps value,amps unit,amps display,amps subdisplay,power,"
                                      "energy,charge"));
    for (const auto& [file, column, display] :
         {std::tuple{"run-volts.g52", 3, "12.00"}, std::tuple{"run-amps.g52", 7, "0.500"}}) {
        RecordBuffer records;
        QString error;
        QVERIFY2(readRecordFile(work.filePath(file), records, &error), qPrintable(error));
        qsizetype cells = 0;
        for (int i = 1; i <= 6; ++i)
            cells += rows[i].split(',')[column].isEmpty() ? 0 : 1;
        QCOMPARE(qsizetype(records.size()), cells);
        QVERIFY(cells >= 5);
        QCOMPARE(records.at(0).value.str(), std::string(display));
    }
    // Every row of this steady pair: 12 V, 0.5 A, 6 W. Over the span from the
    // first row to the last, 6 W make 6 / 3600 Wh per second, 0.5 A 0.5 / 3600
    // Ah per second.
    const auto fields = [&](int row) { return rows[row].split(','); };
    const QDateTime first = QDateTime::fromString(fields(1)[0], Qt::ISODateWithMs);
    const QDateTime last = QDateTime::fromString(fields(6)[0], Qt::ISODateWithMs);
    const double seconds = first.msecsTo(last) / 1000.0;
    QVERIFY(seconds > 2 && seconds < 4);
    for (int i = 1; i <= 6; ++i)
        QCOMPARE(fields(i)[9], QByteArray("6"));
    QVERIFY(std::abs(fields(6)[10].toDouble() - seconds * 6 / 3600) < 1e-8);
    QVERIFY(std::abs(fields(6)[11].toDouble() - seconds * 0.5 / 3600) < 1e-9);

    QProcess join;
    join.setWorkingDirectory(work.path());
    join.start(DMM_EXPORT_PATH,
               {"--table", "run-volts.g52", "run-amps.g52", "--power", "run-volts*run-amps"});
    QVERIFY(join.waitForFinished(20000));
    QCOMPARE(join.exitCode(), 0);
    const QByteArray joined = join.readAllStandardOutput();
    QCOMPARE(joined.mid(joined.indexOf('\n')),
             readAll(work.filePath("run.csv")).mid(rows.first().size()));
}

QTEST_GUILESS_MAIN(TestMultiLog)
#include "tst_multilog.moc"
