// SPDX-License-Identifier: MIT
// Recordings side by side in the viewer: a recording made into a trace, the
// value axes by unit and the reading the cursor finds at a time.
#include <QtTest>

#include "MeterFunction.h"
#include "RecordBuffer.h"
#include "RecordRuns.h"
#include "RecordStamp.h"
#include "TraceSet.h"

#include <cstdlib>
#include <ctime>

using namespace dmm;

namespace {

// 2026-12-08 10:00:00 UTC; the test runs in UTC.
constexpr qint64 kTen = 1796724000000;

struct Made
{
    const char* time; // "h:m:s.t", empty for a record without a time text
    float value;
    MeterFunction function = MeterFunction::DcVolts;
    const char* display = " 1.000";
    qint64 stamp = 0; // ms since the epoch; 0: no stamp
};

RecordBuffer records(const QList<Made>& made)
{
    RecordBuffer buffer;
    for (const Made& m : made) {
        TARecord r;
        if (*m.time) {
            int h = 0, min = 0, s = 0, tenths = 0;
            std::sscanf(m.time, "%d:%d:%d.%d", &h, &min, &s, &tenths);
            r.timeStamp = formatTimeStamp(h, min, s, tenths * 100);
        }
        r.fValue = m.value;
        r.function = functionCode(m.function);
        r.display = m.display;
        if (m.stamp)
            setRecordStamp(r, m.stamp);
        buffer.append(r);
    }
    return buffer;
}

} // namespace

class TestTraceSet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void recordsBecomeATrace_data();
    void recordsBecomeATrace();
    void unitsGetTheirAxes_data();
    void unitsGetTheirAxes();
    void cursorFindsTheNearestReading_data();
    void cursorFindsTheNearestReading();
    void spanCoversEveryTrace();
    void longTraceIsThinnedAsTheViewerDoes();
};

void TestTraceSet::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestTraceSet::recordsBecomeATrace_data()
{
    QTest::addColumn<QList<Made>>("made");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QList<quint32>>("entries");

    QTest::newRow("volts every half second")
        << QList<Made>{{"10:0:0.0", 1.5f}, {"10:0:0.5", 2.5f}, {"10:0:1.0", -3.0f}} << "V"
        << QList<qint64>{kTen, kTen + 500, kTen + 1000} << QList<double>{1.5, 2.5, -3.0}
        << QList<quint32>{0, 1, 2};
    QTest::newRow("switched to ohms: those readings left out")
        << QList<Made>{{"10:0:0.0", 1.0f},
                       {"10:0:0.5", 100.0f, MeterFunction::Ohms},
                       {"10:0:1.0", 2.0f}}
        << "V" << QList<qint64>{kTen, kTen + 1000} << QList<double>{1.0, 2.0}
        << QList<quint32>{0, 2};
    QTest::newRow("overload and a record without a time left out")
        << QList<Made>{{"10:0:0.0", 1.0f},
                       {"10:0:0.5", 1e30f, MeterFunction::DcVolts, "  O.L"},
                       {"", 7.0f},
                       {"10:0:1.5", 2.0f}}
        << "V" << QList<qint64>{kTen, kTen + 1500} << QList<double>{1.0, 2.0}
        << QList<quint32>{0, 3};
    QTest::newRow("unit of the first reading: amperes")
        << QList<Made>{{"10:0:0.0", 0.25f, MeterFunction::DcAmperes},
                       {"10:0:0.5", 5.0f, MeterFunction::DcVolts}}
        << "A" << QList<qint64>{kTen} << QList<double>{0.25} << QList<quint32>{0};
    QTest::newRow("capacitance kept in microfarads, shown in farads")
        << QList<Made>{{"10:0:0.0", 4.7f, MeterFunction::Capacitance}} << "F" << QList<qint64>{kTen}
        << QList<double>{4.7e-6} << QList<quint32>{0};
    QTest::newRow("midnight passes: the next day")
        << QList<Made>{{"23:59:59.5", 1.0f}, {"0:0:0.5", 2.0f}} << "V"
        << QList<qint64>{1796774400000 - 500, 1796774400000 + 500} << QList<double>{1.0, 2.0}
        << QList<quint32>{0, 1};
    QTest::newRow("stamped records keep their stamps, put in time order")
        << QList<Made>{{"10:0:5.0", 1.0f, MeterFunction::DcVolts, " 1.000", kTen + 5000},
                       {"10:0:3.0", 2.0f, MeterFunction::DcVolts, " 1.000", kTen + 3000}}
        << "V" << QList<qint64>{kTen + 3000, kTen + 5000} << QList<double>{2.0, 1.0}
        << QList<quint32>{1, 0};
    // 2026-12-08 23:59:59.500 UTC stamped, then a reading without a stamp.
    QTest::newRow("after a stamped reading the walk goes on from its date")
        << QList<Made>{{"23:59:59.5", 1.0f, MeterFunction::DcVolts, " 1.000", 1796774399500},
                       {"0:0:0.5", 2.0f}}
        << "V" << QList<qint64>{1796774399500, 1796774400500} << QList<double>{1.0, 2.0}
        << QList<quint32>{0, 1};
    QTest::newRow("no record, no reading")
        << QList<Made>{} << "" << QList<qint64>{} << QList<double>{} << QList<quint32>{};
}

void TestTraceSet::recordsBecomeATrace()
{
    QFETCH(QList<Made>, made);
    QFETCH(QString, unit);
    QFETCH(QList<qint64>, times);
    QFETCH(QList<double>, values);
    QFETCH(QList<quint32>, entries);

    const RecordBuffer buffer = records(made);
    RecordRuns runs(buffer);
    const TraceData trace = traceFromRecords(runs, QDate(2026, 12, 8), "run.g52");
    QCOMPARE(trace.name, QString("run.g52"));
    QCOMPARE(trace.unit, unit);
    QCOMPARE(QList<qint64>(trace.times.begin(), trace.times.end()), times);
    QCOMPARE(trace.values.size(), std::size_t(values.size()));
    for (qsizetype i = 0; i < values.size(); ++i)
        QCOMPARE(float(trace.values[std::size_t(i)]), float(values[i]));
    QCOMPARE(QList<quint32>(trace.entries.begin(), trace.entries.end()), entries);
}

void TestTraceSet::unitsGetTheirAxes_data()
{
    QTest::addColumn<QStringList>("units");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QList<int>>("axes");
    QTest::addColumn<QStringList>("axisUnits");

    QTest::newRow("one unit: left")
        << QStringList{"V"} << false << QList<int>{0} << QStringList{"V"};
    QTest::newRow("volts and amperes: left and right")
        << QStringList{"V", "A"} << false << QList<int>{0, 1} << QStringList{"V", "A"};
    QTest::newRow("two volt recordings share the left")
        << QStringList{"V", "V", "A"} << false << QList<int>{0, 0, 1} << QStringList{"V", "A"};
    QTest::newRow("the right unit again")
        << QStringList{"V", "A", "A"} << false << QList<int>{0, 1, 1} << QStringList{"V", "A"};
    QTest::newRow("a third unit is refused")
        << QStringList{"V", "A", "Ω"} << true << QList<int>{} << QStringList{};
}

void TestTraceSet::unitsGetTheirAxes()
{
    QFETCH(QStringList, units);
    QFETCH(bool, refused);
    QFETCH(QList<int>, axes);
    QFETCH(QStringList, axisUnits);

    const std::optional<AxisAssignment> assigned = assignAxes(units);
    QCOMPARE(!assigned, refused);
    if (refused)
        return;
    QCOMPARE(QList<int>(assigned->axes.begin(), assigned->axes.end()), axes);
    QCOMPARE(assigned->units, axisUnits);
}

void TestTraceSet::cursorFindsTheNearestReading_data()
{
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<int>("found"); // -1: none

    const QList<qint64> three{1000, 1500, 2000};
    QTest::newRow("on a reading") << three << qint64(1500) << 1;
    QTest::newRow("nearer the earlier") << three << qint64(1200) << 0;
    QTest::newRow("nearer the later") << three << qint64(1300) << 1;
    QTest::newRow("equally near: the earlier") << three << qint64(1250) << 0;
    QTest::newRow("250 ms before the first") << three << qint64(750) << 0;
    QTest::newRow("251 ms before the first") << three << qint64(749) << -1;
    QTest::newRow("250 ms after the last") << three << qint64(2250) << 2;
    QTest::newRow("251 ms after the last") << three << qint64(2251) << -1;
    QTest::newRow("in a long gap: still the nearest")
        << QList<qint64>{0, 100000} << qint64(60000) << 1;
    QTest::newRow("no readings") << QList<qint64>{} << qint64(0) << -1;
}

void TestTraceSet::cursorFindsTheNearestReading()
{
    QFETCH(QList<qint64>, times);
    QFETCH(qint64, at);
    QFETCH(int, found);

    const std::optional<std::size_t> nearest =
        readingNearest(std::vector<std::int64_t>(times.begin(), times.end()), at);
    QCOMPARE(nearest ? int(*nearest) : -1, found);
}

void TestTraceSet::spanCoversEveryTrace()
{
    TraceData early;
    early.times = {1000, 5000};
    TraceData late;
    late.times = {3000, 9000};
    const TraceData empty;
    const auto span = commonSpan({&early, &empty, &late});
    QVERIFY(span);
    QCOMPARE(span->first, qint64(1000));
    QCOMPARE(span->second, qint64(9000));
    QVERIFY(!commonSpan({&empty}));
}

void TestTraceSet::longTraceIsThinnedAsTheViewerDoes()
{
    TraceData trace;
    for (int i = 0; i < 10000; ++i) {
        trace.times.push_back(i * 500);
        trace.values.push_back(i % 7);
    }
    // 10000 readings: groups of 4, 2500 groups, two points each.
    QCOMPARE(plottedReadings(trace).size(), std::size_t(5000));
    trace.times.resize(8191);
    trace.values.resize(8191);
    QCOMPARE(plottedReadings(trace).size(), std::size_t(8191));
}

QTEST_GUILESS_MAIN(TestTraceSet)
#include "tst_traceset.moc"
