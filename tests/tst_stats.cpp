// SPDX-License-Identifier: MIT
// Statistics per interval: hand-worked intervals and rows, and figures that
// stay right over a million nearly equal readings.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <future>
#include <vector>

#include "IntervalStats.h"
#include "Record.h"
#include "RecordStamp.h"
#include "StatsTable.h"

using namespace dmm;

namespace {

constexpr int kDcVolts = 6;
constexpr int kOhms = 128;
constexpr int kNanofarads = 8;

struct Reading
{
    int function;
    const char* value; // the value text; one with an "L" is an overload
    float stored;
    QDateTime time;
    bool stamped = true; // false: the time text alone, its date inferred
};

QDateTime at(int day, int h, int m, int s, int ms = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(h, m, s, ms));
}

TARecord recordOf(const Reading& r)
{
    TARecord record;
    record.function = r.function;
    record.value = r.value;
    record.display = r.value;
    record.unit = r.function == kOhms ? "W" : r.function == kNanofarads ? "F" : "V";
    record.prefix = r.function == kNanofarads ? "n" : "";
    record.fValue = r.stored;
    const QTime t = r.time.time();
    record.timeStamp = formatTimeStamp(t.hour(), t.minute(), t.second(), t.msec());
    if (r.stamped)
        setRecordStamp(record, r.time.toMSecsSinceEpoch());
    return record;
}

// `dateLater`: the dates are walked from another day until the first
// record's date is known, as while a first pass over the file works it out.
QStringList statsRows(const std::vector<Reading>& readings, std::optional<std::int64_t> every,
                      StatsRowForm form = {}, bool dateLater = false)
{
    std::string text;
    const auto sink = [&](const StatsInterval& i) { appendStatsRows(text, i, form); };
    std::promise<QDate> firstDate;
    firstDate.set_value(QDate(2026, 12, 7));
    RecordingStats stats =
        dateLater ? RecordingStats(every, QDate(2020, 2, 27), firstDate.get_future().share(), sink)
                  : RecordingStats(every, form.format.utc, QDate(2026, 12, 7), sink);
    for (const Reading& r : readings)
        stats.add(recordOf(r));
    stats.finish();
    return QString::fromStdString(text).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestStats : public QObject
{
    Q_OBJECT
private slots:
    void header();
    void rows_data();
    void rows();
    void rowsWithTheDateLater_data() { rows_data(); }
    void rowsWithTheDateLater();
    void stableOverAMillionNearlyEqualReadings();
    void jsonRow();
    void exportOfTwoRecordings();
    void workbook_data();
    void workbook();
};

void TestStats::header()
{
    QCOMPARE(statsHeader({}), "start,end,function,unit,count,overloads,min,min time,max,"
                              "max time,mean,stddev,first,last\n");
    QCOMPARE(statsHeader({{';'}, true, true}),
             "file;start;end;function;unit;count;overloads;min;min time;max;max time;mean;"
             "stddev;first;last;partial\n");
}

void TestStats::rows_data()
{
    QTest::addColumn<std::vector<Reading>>("readings");
    QTest::addColumn<qint64>("every"); // 0: none
    QTest::addColumn<int>("format");   // 0 plain, 1 ';' and decimal comma
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("one reading") << std::vector<Reading>{{kDcVolts, "1.5", 1.5f,
                                                          at(7, 14, 5, 9, 300)}}
                                 << qint64(60'000) << 0
                                 << QStringList{"2026-12-07T14:05:00.000,2026-12-07T14:06:00.000,"
                                                "DC V,V,1,0,1.5,2026-12-07T14:05:09.300,1.5,"
                                                "2026-12-07T14:05:09.300,1.5,,1.5,1.5"};
    QTest::newRow("two readings")
        << std::vector<Reading>{{kDcVolts, "3.000", 3.0f, at(7, 14, 5, 10)},
                                {kDcVolts, "1.000", 1.0f, at(7, 14, 5, 20)}}
        << qint64(60'000) << 0
        << QStringList{"2026-12-07T14:05:00.000,2026-12-07T14:06:00.000,DC V,V,2,0,1,"
                       "2026-12-07T14:05:20.000,3,2026-12-07T14:05:10.000,2,1.414213562,3,1"};
    QTest::newRow("an overload inside")
        << std::vector<Reading>{{kOhms, "100.0", 100.0f, at(7, 14, 5, 10)},
                                {kOhms, "O.L", 9900.0f, at(7, 14, 5, 15)},
                                {kOhms, "102.0", 102.0f, at(7, 14, 5, 20)}}
        << qint64(60'000) << 0
        << QStringList{"2026-12-07T14:05:00.000,2026-12-07T14:06:00.000,\u03A9,\u03A9,2,1,100,"
                       "2026-12-07T14:05:10.000,102,2026-12-07T14:05:20.000,101,1.414213562,"
                       "100,102"};
    QTest::newRow("only overloads")
        << std::vector<Reading>{{kOhms, "O.L", 9900.0f, at(7, 14, 5, 10)}} << qint64(60'000) << 0
        << QStringList{"2026-12-07T14:05:00.000,2026-12-07T14:06:00.000,\u03A9,\u03A9,0,1,,,,,,,,"};
    QTest::newRow("a function change inside")
        << std::vector<Reading>{{kDcVolts, "1.000", 1.0f, at(7, 14, 5, 10)},
                                {kNanofarads, "23.99", 0.02399f, at(7, 14, 5, 15)},
                                {kDcVolts, "2.000", 2.0f, at(7, 14, 5, 20)}}
        << qint64(60'000) << 0
        << QStringList{"2026-12-07T14:05:00.000,2026-12-07T14:06:00.000,DC V,V,2,0,1,"
                       "2026-12-07T14:05:10.000,2,2026-12-07T14:05:20.000,1.5,0.7071067812,1,2",
                       "2026-12-07T14:05:00.000,2026-12-07T14:06:00.000,F,F,1,0,2.399e-08,"
                       "2026-12-07T14:05:15.000,2.399e-08,2026-12-07T14:05:15.000,2.399e-08,,"
                       "2.399e-08,2.399e-08"};
    QTest::newRow("an interval without readings")
        << std::vector<Reading>{{kDcVolts, "1.000", 1.0f, at(7, 14, 5, 10)},
                                {kDcVolts, "2.000", 2.0f, at(7, 14, 7, 10)}}
        << qint64(60'000) << 0
        << QStringList{"2026-12-07T14:05:00.000,2026-12-07T14:06:00.000,DC V,V,1,0,1,"
                       "2026-12-07T14:05:10.000,1,2026-12-07T14:05:10.000,1,,1,1",
                       "2026-12-07T14:07:00.000,2026-12-07T14:08:00.000,DC V,V,1,0,2,"
                       "2026-12-07T14:07:10.000,2,2026-12-07T14:07:10.000,2,,2,2"};
    QTest::newRow("across midnight")
        << std::vector<Reading>{{kDcVolts, "1.000", 1.0f, at(7, 23, 59, 50)},
                                {kDcVolts, "2.000", 2.0f, at(8, 0, 0, 10)}}
        << qint64(60'000) << 0
        << QStringList{"2026-12-07T23:59:00.000,2026-12-08T00:00:00.000,DC V,V,1,0,1,"
                       "2026-12-07T23:59:50.000,1,2026-12-07T23:59:50.000,1,,1,1",
                       "2026-12-08T00:00:00.000,2026-12-08T00:01:00.000,DC V,V,1,0,2,"
                       "2026-12-08T00:00:10.000,2,2026-12-08T00:00:10.000,2,,2,2"};
    QTest::newRow("across a date stamp")
        << std::vector<Reading>{{kDcVolts, "1.000", 1.0f, at(7, 23, 59, 58), false},
                                {kDcVolts, "2.000", 2.0f, at(8, 0, 0, 1, 234)},
                                {kDcVolts, "3.000", 3.0f, at(8, 0, 0, 2), false}}
        << qint64(60'000) << 0
        << QStringList{"2026-12-07T23:59:00.000,2026-12-08T00:00:00.000,DC V,V,1,0,1,"
                       "2026-12-07T23:59:58.0,1,2026-12-07T23:59:58.0,1,,1,1",
                       "2026-12-08T00:00:00.000,2026-12-08T00:01:00.000,DC V,V,2,0,2,"
                       "2026-12-08T00:00:01.234,3,2026-12-08T00:00:02.0,2.5,0.7071067812,2,3"};
    QTest::newRow("whole recording")
        << std::vector<Reading>{{kDcVolts, "1.000", 1.0f, at(7, 23, 59, 58), false},
                                {kDcVolts, "2.000", 2.0f, at(8, 0, 5, 1, 234)}}
        << qint64(0) << 0
        << QStringList{"2026-12-07T23:59:58.0,2026-12-08T00:05:01.234,DC V,V,2,0,1,"
                       "2026-12-07T23:59:58.0,2,2026-12-08T00:05:01.234,1.5,0.7071067812,1,2"};
    QTest::newRow("decimal comma")
        << std::vector<Reading>{{kDcVolts, "1.5", 1.5f, at(7, 14, 5, 9, 300)},
                                {kDcVolts, "-2.25", -2.25f, at(7, 14, 5, 10)}}
        << qint64(3'600'000) << 1
        << QStringList{"2026-12-07T14:00:00.000;2026-12-07T15:00:00.000;DC V;V;2;0;-2,25;"
                       "2026-12-07T14:05:10.000;1,5;2026-12-07T14:05:09.300;-0,375;"
                       "2,651650429;1,5;-2,25"};
}

void TestStats::rows()
{
    QFETCH(std::vector<Reading>, readings);
    QFETCH(qint64, every);
    QFETCH(int, format);
    QFETCH(QStringList, rows);
    StatsRowForm form;
    if (format == 1)
        form.format = {';', true};
    QCOMPARE(
        statsRows(readings, every > 0 ? std::optional<std::int64_t>(every) : std::nullopt, form),
        rows);
}

void TestStats::rowsWithTheDateLater()
{
    QFETCH(std::vector<Reading>, readings);
    QFETCH(qint64, every);
    QFETCH(int, format);
    QFETCH(QStringList, rows);
    StatsRowForm form;
    if (format == 1)
        form.format = {';', true};
    QCOMPARE(statsRows(readings, every > 0 ? std::optional<std::int64_t>(every) : std::nullopt,
                       form, true),
             rows);
}

void TestStats::stableOverAMillionNearlyEqualReadings()
{
    // 1.000001 V +- 1 uV, as the meter shows it: 1.000002 and 1.000000 in turn.
    const TARecord high = recordOf({kDcVolts, "1.000002", 1.000002f, at(7, 14, 5, 9)});
    const TARecord low = recordOf({kDcVolts, "1.000000", 1.000000f, at(7, 14, 5, 9)});
    FunctionStats figures;
    for (int i = 0; i < 1'000'000; ++i)
        figures.add(*siNumber(i % 2 ? high : low), {});
    QCOMPARE(QString::fromStdString(statsFigureText(figures.mean)), "1.000001");
    // sqrt(n / (n - 1)) uV
    QCOMPARE(QString::fromStdString(statsFigureText(*figures.stddev())), "1.0000005e-06");
}

void TestStats::jsonRow()
{
    StatsInterval interval{{1'765'115'100'000, true}, {1'765'115'160'000, true}, true, {}};
    FunctionStats& volts = interval.functions.emplace_back();
    volts.name = "DC V";
    volts.function = kDcVolts;
    volts.add(3, {1'765'115'110'000, true});
    volts.add(1, {1'765'115'120'500, false});
    volts.addOverload();
    QCOMPARE(statsRowJson(interval, volts, true),
             "{\"start\":\"2025-12-07T13:45:00.000Z\",\"end\":\"2025-12-07T13:46:00.000Z\","
             "\"function\":\"DC V\",\"unit\":\"V\",\"count\":2,\"overloads\":1,\"min\":1.0,"
             "\"minTime\":\"2025-12-07T13:45:20.5Z\",\"max\":3.0,"
             "\"maxTime\":\"2025-12-07T13:45:10.000Z\",\"mean\":2.0,\"stddev\":1.414213562,"
             "\"first\":3.0,\"last\":1.0,\"partial\":true}");
    FunctionStats& ohms = interval.functions.emplace_back();
    ohms.name = "\u03A9";
    ohms.function = kOhms;
    ohms.addOverload();
    QCOMPARE(statsRowJson(interval, ohms, false),
             "{\"start\":\"2025-12-07T13:45:00.000\",\"end\":\"2025-12-07T13:46:00.000\","
             "\"function\":\"\u03A9\",\"unit\":\"\u03A9\",\"count\":0,\"overloads\":1,"
             "\"min\":null,\"minTime\":null,\"max\":null,\"maxTime\":null,\"mean\":null,"
             "\"stddev\":null,\"first\":null,\"last\":null,\"partial\":true}");
}

void TestStats::exportOfTwoRecordings()
{
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const std::vector<Reading>& readings) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (const Reading& r : readings) {
            const auto bytes = encodeARecord(recordOf(r));
            QCOMPARE(file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())),
                     qint64(bytes.size()));
        }
    };
    write("a.g52", {{kDcVolts, "1.000", 1.0f, at(7, 14, 5, 10)},
                    {kDcVolts, "3.000", 3.0f, at(7, 14, 6, 10)}});
    write("b.g52", {{kOhms, "100.0", 100.0f, at(7, 14, 5, 30)}});
    QProcess tool;
    tool.setWorkingDirectory(dir.path());
    tool.start(QStringLiteral(DMM_EXPORT_PATH),
               {"--stats", "--every", "1m", "--separator", ";", "a.g52", "b.g52"});
    QVERIFY(tool.waitForFinished(20'000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n'),
             QStringList({"file;start;end;function;unit;count;overloads;min;min time;max;max time;"
                          "mean;stddev;first;last",
                          "a.g52;2026-12-07T14:05:00.000;2026-12-07T14:06:00.000;DC V;V;1;0;1;"
                          "2026-12-07T14:05:10.000;1;2026-12-07T14:05:10.000;1;;1;1",
                          "a.g52;2026-12-07T14:06:00.000;2026-12-07T14:07:00.000;DC V;V;1;0;3;"
                          "2026-12-07T14:06:10.000;3;2026-12-07T14:06:10.000;3;;3;3",
                          "b.g52;2026-12-07T14:05:00.000;2026-12-07T14:06:00.000;\u03A9;\u03A9;1;0;"
                          "100;2026-12-07T14:05:30.000;100;2026-12-07T14:05:30.000;100;;100;100",
                          ""}));
    QCOMPARE(tool.readAllStandardError(), "dmm-export: 3 readings in 3 rows\n");
}

// The statistics as a workbook: written whole, or refused with the reason.
void TestStats::workbook_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // the start of standard error
    QTest::newRow("written") << "s.xlsx" << 0 << QByteArray("dmm-export: 1 readings in 1 rows\n");
    QTest::newRow("no such folder")
        << "nofolder/s.xlsx" << 1
        << QByteArray("dmm-export: nofolder/s.xlsx: the folder refuses a temporary file (No such "
                      "file or directory)");
}

void TestStats::workbook()
{
    QFETCH(QString, output);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    QTemporaryDir dir;
    QFile file(dir.filePath("a.g52"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const auto bytes = encodeARecord(recordOf({kDcVolts, "1.000", 1.0f, at(7, 14, 5, 10)}));
    QCOMPARE(file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())),
             qint64(bytes.size()));
    file.close();
    QProcess tool;
    tool.setWorkingDirectory(dir.path());
    tool.start(QStringLiteral(DMM_EXPORT_PATH), {"--stats", "-o", output, "a.g52"});
    QVERIFY(tool.waitForFinished(20'000));
    QCOMPARE(tool.exitCode(), status);
    QVERIFY2(tool.readAllStandardError().startsWith(said), qPrintable(said));
    QFile book(dir.filePath(output));
    QCOMPARE(book.open(QIODevice::ReadOnly) ? book.read(2) : QByteArray(),
             status == 0 ? QByteArray("PK") : QByteArray());
}

QTEST_GUILESS_MAIN(TestStats)
#include "tst_stats.moc"
