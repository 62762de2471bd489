// SPDX-License-Identifier: MIT
// The first and the last reading's times of a recording, as dmm-export --info
// reports them, worked out in one pass: readings with and without date stamps
// in any order, times of day going backwards, texts that are no time; and the
// time texts the recorder logs read through their fast path or the general one.
#include <QtTest>

#include <vector>

#include "Record.h"
#include "RecordDates.h"
#include "RecordStamp.h"

using namespace dmm;

namespace {

// One reading per word: "u23:59:59.5" logged without a date stamp,
// "s2026-12-07T23:59:59.000" with one (local time, and the same time text),
// "x" with a text that is no time.
std::vector<TARecord> recordsOf(const QString& words)
{
    std::vector<TARecord> records;
    for (const QString& word : words.split(' ', Qt::SkipEmptyParts)) {
        TARecord& record = records.emplace_back();
        record.prefix = "m";
        record.unit = "V";
        if (word == QLatin1String("x")) {
            record.timeStamp = "t";
            continue;
        }
        const QDateTime local =
            word.startsWith('s')
                ? QDateTime::fromString(word.mid(1), Qt::ISODateWithMs)
                : QDateTime(QDate(2000, 1, 1), QTime::fromString(word.mid(1), "hh:mm:ss.z"));
        const QTime t = local.time();
        record.timeStamp = formatTimeStamp(t.hour(), t.minute(), t.second(), t.msec());
        if (word.startsWith('s') && !setRecordStamp(record, local.toMSecsSinceEpoch()))
            qWarning("cannot stamp %s", qPrintable(word));
    }
    return records;
}

// The walk the table takes: the first record's date found by a pass of its
// own, then every record dated in order.
std::pair<RecordTime, RecordTime> twoPassTimes(const std::vector<TARecord>& records,
                                               QDate lastRecordDate)
{
    RecordBuffer buffer;
    for (const TARecord& record : records)
        buffer.append(record);
    RecordRuns runs(buffer);
    const QDate first = firstRecordDate(runs, lastRecordDate);
    RecordDates dates(first);
    std::pair<RecordTime, RecordTime> times;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordTime time = dates.next(records[i]);
        if (i == 0)
            times.first = time;
        times.second = time;
    }
    return times;
}

QString described(const RecordTime& time)
{
    return time.text.empty() ? QStringLiteral("null")
                             : QString::fromStdString(time.text) + (time.stamped ? " s" : " i");
}

} // namespace

class TestFirstAndLastTimes : public QObject
{
    Q_OBJECT
private slots:
    void firstAndLast_data();
    void firstAndLast();
    void loggedTimeTexts_data();
    void loggedTimeTexts();
};

void TestFirstAndLastTimes::firstAndLast_data()
{
    // The file's modification date is 2030-01-01 in every row. Times: the
    // ISO text, then s (from the reading's stamp) or i (inferred).
    QTest::addColumn<QString>("readings");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");

    QTest::newRow("none") << ""
                          << "null"
                          << "null";
    QTest::newRow("no stamps, across midnight") << "u23:59:59.0 u00:00:00.5 u00:00:01.0"
                                                << "2029-12-31T23:59:59.0 i"
                                                << "2030-01-01T00:00:01.0 i";
    QTest::newRow("stamped, then unstamped across midnight")
        << "s2026-12-07T23:59:59.000 u23:59:59.5 u00:00:00.1"
        << "2026-12-07T23:59:59.000 s"
        << "2026-12-08T00:00:00.1 i";
    QTest::newRow("unstamped counted back from the first stamp")
        << "u23:59:58.0 u00:00:01.0 s2026-12-08T00:00:02.000"
        << "2026-12-07T23:59:58.0 i"
        << "2026-12-08T00:00:02.000 s";
    QTest::newRow("a day passes at the step into the first stamp")
        << "u23:59:58.0 s2026-12-08T00:00:01.000"
        << "2026-12-07T23:59:58.0 i"
        << "2026-12-08T00:00:01.000 s";
    QTest::newRow("stamped, unstamped, stamped, unstamped")
        << "s2026-12-07T10:00:00.000 u09:00:00.0 s2026-12-20T12:00:00.000 u13:00:00.0"
        << "2026-12-07T10:00:00.000 s"
        << "2026-12-20T13:00:00.0 i";
    QTest::newRow("compared with the latest of two stamps")
        << "s2026-12-07T08:00:00.000 s2026-12-07T23:00:00.000 u01:00:00.0"
        << "2026-12-07T08:00:00.000 s"
        << "2026-12-08T01:00:00.0 i";
    QTest::newRow("a text that is no time between a stamp and the next time")
        << "s2026-12-07T23:00:00.000 x u01:00:00.0"
        << "2026-12-07T23:00:00.000 s"
        << "2026-12-08T01:00:00.0 i";
    QTest::newRow("days counted from the latest stamp")
        << "s2026-12-07T22:00:00.000 u23:00:00.0 u01:00:00.0 s2026-12-10T05:00:00.000 "
           "u04:00:00.0"
        << "2026-12-07T22:00:00.000 s"
        << "2026-12-11T04:00:00.0 i";
    QTest::newRow("the same time twice is the same day") << "u10:00:00.0 u10:00:00.0"
                                                         << "2030-01-01T10:00:00.0 i"
                                                         << "2030-01-01T10:00:00.0 i";
    QTest::newRow("midnight itself") << "u23:59:59.0 u00:00:00.0"
                                     << "2029-12-31T23:59:59.0 i"
                                     << "2030-01-01T00:00:00.0 i";
    QTest::newRow("last without a time") << "u12:00:00.0 x"
                                         << "2030-01-01T12:00:00.0 i"
                                         << "null";
    QTest::newRow("first without a time") << "x u12:00:00.0"
                                          << "null"
                                          << "2030-01-01T12:00:00.0 i";
    QTest::newRow("one stamped reading") << "s2026-12-07T10:00:00.250"
                                         << "2026-12-07T10:00:00.250 s"
                                         << "2026-12-07T10:00:00.250 s";
}

void TestFirstAndLastTimes::firstAndLast()
{
    QFETCH(QString, readings);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const QDate fileDate(2030, 1, 1);
    const std::vector<TARecord> records = recordsOf(readings);
    FirstAndLastTimes times(fileDate);
    for (const TARecord& record : records)
        times.add(record);
    QCOMPARE(described(times.first()), first);
    QCOMPARE(described(times.last()), last);
    // The same as the table's two passes give.
    const auto [tableFirst, tableLast] = twoPassTimes(records, fileDate);
    QCOMPARE(described(tableFirst), first);
    QCOMPARE(described(tableLast), last);
}

void TestFirstAndLastTimes::loggedTimeTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms"); // -1: no time

    // The layout the recorder logs, and texts that differ from it only a little:
    // they are read by the general parse, with the same result as ever.
    QTest::newRow("logged, one-digit hour") << "  9:05:03.4  " << 32703400;
    QTest::newRow("logged, two-digit hour") << " 14:05:09.0  " << 50709000;
    QTest::newRow("hour with a leading zero") << " 09:05:03.4  " << 32703400;
    QTest::newRow("hour without its blank") << "14:05:09.0   " << 50709000;
    QTest::newRow("one blank more after the tenths") << "  9:05:03.4   " << 32703400;
    QTest::newRow("one blank less after the tenths") << "  9:05:03.4 " << 32703400;
    QTest::newRow("tab before the hour") << "\t 9:05:03.4  " << -1;
    QTest::newRow("minute 60") << " 12:60:00.0  " << -1;
    QTest::newRow("second 60") << " 12:00:60.0  " << -1;
    QTest::newRow("letter for a digit") << " 12:0a:00.0  " << -1;
    QTest::newRow("blank inside") << " 12: 5:00.0  " << -1;
    QTest::newRow("text after the blanks") << " 12:05:00.0  x" << -1;
    QTest::newRow("hundredths") << " 12:05:00.05 " << -1;
    QTest::newRow("last tenth of the day") << " 23:59:59.9  " << 86399900;
    QTest::newRow("midnight") << "  0:00:00.0  " << 0;
    QTest::newRow("no padding") << "12:30:00.5" << 45000500;
    QTest::newRow("not a time") << "t" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("hour 24") << " 24:00:00.0  " << -1;
    QTest::newRow("one-digit minutes") << " 12:5:00.0  " << -1;
}

void TestFirstAndLastTimes::loggedTimeTexts()
{
    QFETCH(QString, text);
    QFETCH(int, ms);
    QCOMPARE(timeOfDayMs(text.toStdString()).value_or(-1), ms);
    // The same text in a record's field, as the date walk reads it.
    TARecord record;
    record.timeStamp = text.toStdString();
    // Alone, and after a reading of the same hour and minute (" 12:05:"), whose
    // time the walk reads again only from its seconds on.
    TARecord before;
    before.timeStamp = text.left(7).toStdString() + "00.0  ";
    for (const bool after : {false, true}) {
        FirstAndLastTimes times(QDate(2026, 12, 7));
        if (after)
            times.add(before);
        times.add(record);
        const QString iso = QString::fromStdString(times.last().text);
        QCOMPARE(iso.isEmpty()
                     ? -1
                     : QTime::fromString(iso.mid(11), "hh:mm:ss.z").msecsSinceStartOfDay(),
                 ms);
    }
}

QTEST_GUILESS_MAIN(TestFirstAndLastTimes)
#include "tst_firstandlasttimes.moc"
