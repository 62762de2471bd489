// SPDX-License-Identifier: MIT
// Which buffer entries the graph viewer plots, and where its maximum and
// minimum land.
#include <QtTest>

#include "RecordBuffer.h"
#include "ViewerPlot.h"


#include <vector>

using namespace dmm;

namespace {

struct Values
{
    std::vector<float> v;
    float operator()(std::size_t i) const { return v[i]; }
};

// A wave that never repeats a value inside a group of 4, plus the recorder's
// extreme indices (newest of equal values).
Values wave(std::size_t count)
{
    Values values;
    values.v.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        values.v[i] = float((i * 7919) % 1000) + float(i) * 1e-3f;
    return values;
}

std::pair<std::size_t, std::size_t> recorderExtremes(const Values& values)
{
    std::size_t hi = 0, lo = 0;
    for (std::size_t i = 1; i < values.v.size(); ++i) {
        if (!(values.v[hi] > values.v[i]))
            hi = i;
        else if (values.v[i] <= values.v[lo])
            lo = i;
    }
    return {hi, lo};
}

} // namespace

class TestDecimation : public QObject
{
    Q_OBJECT
private slots:
    void pointCounts_data();
    void pointCounts();
    void groupsKeepTheirExtremesInTimeOrder();
    void flatGroupGivesItsFirstEntryTwice();
    void earliestOfEqualExtremesWins();
    void positionsShowTheRecorderExtremes();
    void positionOfANewerEqualExtremeIsItsGroupsPoint();
    void directPositionsAreTheIndices();
    void seriesFromTheBuffer();
    void millionEntriesGiveFourThousandPoints();
};

void TestDecimation::pointCounts_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("direct");
    QTest::addColumn<int>("points");
    QTest::newRow("empty") << 0 << true << 0;
    QTest::newRow("8191 one to one") << 8191 << true << 8191;
    QTest::newRow("8192: groups of 4") << 8192 << false << 4096;
    QTest::newRow("10000: 2500 groups") << 10000 << false << 5000;
    QTest::newRow("10239: the most groups") << 10239 << false << 5120;
    QTest::newRow("10240: groups of 5") << 10240 << false << 4096;
    QTest::newRow("8193: a last group of one") << 8193 << false << 4098;
    QTest::newRow("1000000: 2050 groups of 488") << 1000000 << false << 4100;
}

void TestDecimation::pointCounts()
{
    QFETCH(int, count);
    QFETCH(bool, direct);
    QFETCH(int, points);
    const Values values = wave(std::size_t(count));
    const ViewerPlot plot = planViewerPlot(values.v.size(), values, 0, 0);
    QCOMPARE(plot.direct, direct);
    QCOMPARE(int(plot.pointCount), points);
    if (!direct)
        QCOMPARE(int(plot.indices.size()), points);
    QVERIFY(plot.pointCount <= 5120 || direct);
}

void TestDecimation::groupsKeepTheirExtremesInTimeOrder()
{
    const Values values = wave(10000);
    const ViewerPlot plot = planViewerPlot(values.v.size(), values, 0, 0);
    for (std::size_t group = 0; group < 2500; ++group) {
        const std::size_t start = group * 4;
        const auto begin = values.v.begin() + std::ptrdiff_t(start);
        const std::size_t hi = start + std::size_t(std::max_element(begin, begin + 4) - begin);
        const std::size_t lo = start + std::size_t(std::min_element(begin, begin + 4) - begin);
        QCOMPARE(plot.indices[2 * group], std::min(hi, lo));
        QCOMPARE(plot.indices[2 * group + 1], std::max(hi, lo));
    }
}

void TestDecimation::flatGroupGivesItsFirstEntryTwice()
{
    Values values = wave(8192);
    for (std::size_t i = 8; i < 12; ++i) // group 2
        values.v[i] = 5.0f;
    const ViewerPlot plot = planViewerPlot(values.v.size(), values, 0, 0);
    QCOMPARE(plot.indices[4], std::size_t(8));
    QCOMPARE(plot.indices[5], std::size_t(8));

    // A last group of one entry gives it twice as well.
    const Values odd = wave(8193);
    const ViewerPlot oddPlot = planViewerPlot(odd.v.size(), odd, 0, 0);
    QCOMPARE(oddPlot.indices[4096], std::size_t(8192));
    QCOMPARE(oddPlot.indices[4097], std::size_t(8192));
}

void TestDecimation::earliestOfEqualExtremesWins()
{
    Values values = wave(8192);
    // Group 0: 1, 9, 9, 1 -> minimum entry 0, maximum entry 1.
    values.v[0] = 1.0f;
    values.v[1] = 9.0f;
    values.v[2] = 9.0f;
    values.v[3] = 1.0f;
    // Group 1: 9, 1, 9, 1 -> maximum 4 first, then minimum 5.
    values.v[4] = 9.0f;
    values.v[5] = 1.0f;
    values.v[6] = 9.0f;
    values.v[7] = 1.0f;
    const ViewerPlot plot = planViewerPlot(values.v.size(), values, 0, 0);
    QCOMPARE(plot.indices[0], std::size_t(0));
    QCOMPARE(plot.indices[1], std::size_t(1));
    QCOMPARE(plot.indices[2], std::size_t(4));
    QCOMPARE(plot.indices[3], std::size_t(5));
}

void TestDecimation::positionsShowTheRecorderExtremes()
{
    for (const std::size_t count : {8192u, 10000u, 54321u}) {
        const Values values = wave(count);
        const auto [maxIndex, minIndex] = recorderExtremes(values);
        const ViewerPlot plot = planViewerPlot(values.v.size(), values, maxIndex, minIndex);
        QCOMPARE(plot.indices[plot.maxPosition], maxIndex);
        QCOMPARE(plot.indices[plot.minPosition], minIndex);
    }

    // Where a group's extremes are one entry, the position is the second of its
    // two points, the one appended last.
    Values flat = wave(8192);
    for (float& v : flat.v)
        v = 2.0f;
    flat.v[0] = 10.0f; // group 0: 10, 2, 2, 2
    flat.v[4] = 1.0f;  // group 1: 1 is the only minimum
    const ViewerPlot plot = planViewerPlot(flat.v.size(), flat, 0, 4);
    QCOMPARE(plot.maxPosition, std::size_t(0)); // 0 before its group's minimum 1
    QCOMPARE(plot.indices[plot.minPosition], std::size_t(4));
    QCOMPARE(plot.minPosition, std::size_t(2));
    Values allEqual = flat;
    for (float& v : allEqual.v)
        v = 3.0f;
    const ViewerPlot equalPlot = planViewerPlot(allEqual.v.size(), allEqual, 0, 0);
    QCOMPARE(equalPlot.maxPosition, std::size_t(1));
    QCOMPARE(equalPlot.minPosition, std::size_t(1));
}

void TestDecimation::positionOfANewerEqualExtremeIsItsGroupsPoint()
{
    // The recorder keeps the newest of equal maxima (entry 6); its group plots
    // the earliest (entry 5), which shows the same value.
    Values values = wave(8192);
    for (float& v : values.v)
        v = 0.0f;
    values.v[5] = 50.0f;
    values.v[6] = 50.0f;
    values.v[9] = -50.0f;
    values.v[10] = -50.0f;
    const ViewerPlot plot = planViewerPlot(values.v.size(), values, 6, 10);
    QCOMPARE(plot.indices[plot.maxPosition], std::size_t(5));
    QCOMPARE(values.v[plot.indices[plot.maxPosition]], 50.0f);
    QCOMPARE(plot.indices[plot.minPosition], std::size_t(9));
    QCOMPARE(values.v[plot.indices[plot.minPosition]], -50.0f);
}

void TestDecimation::directPositionsAreTheIndices()
{
    const Values values = wave(300);
    const ViewerPlot plot = planViewerPlot(values.v.size(), values, 123, 45);
    QVERIFY(plot.direct);
    QVERIFY(plot.indices.empty());
    QCOMPARE(plot.maxPosition, std::size_t(123));
    QCOMPARE(plot.minPosition, std::size_t(45));
    QCOMPARE(plot.entryAt(77), std::size_t(77));
}

void TestDecimation::seriesFromTheBuffer()
{
    RecordBuffer buffer;
    for (int i = 0; i < 9000; ++i) {
        TARecord record;
        record.fValue = i == 4321 ? 1000.0f : float(i % 10);
        record.timeStamp = formatTimeStamp(1, i / 600 % 60, i / 10 % 60, i % 10 * 100);
        buffer.append(record);
    }
    const ViewerPlot plot = planViewerPlot(buffer, 4321, 0);
    QVERIFY(!plot.direct);
    const ViewerSeries series = viewerSeries(buffer, plot);
    QCOMPARE(series.values.size(), plot.pointCount);
    QCOMPARE(series.labels.size(), qsizetype(plot.pointCount));
    QCOMPARE(series.values[plot.maxPosition], 1000.0);
    QCOMPARE(series.labels[qsizetype(plot.maxPosition)],
             QString::fromStdString(buffer.at(4321).timeStamp.str()));
}

void TestDecimation::millionEntriesGiveFourThousandPoints()
{
    RecordBuffer buffer;
    TARecord record;
    for (int i = 0; i < 1000000; ++i) {
        record.fValue = float((unsigned(i) * 7919u) % 1000u);
        buffer.append(record);
    }
    const ViewerPlot plot = planViewerPlot(buffer, 0, 0);
    QCOMPARE(plot.pointCount, std::size_t(4100));
}

QTEST_GUILESS_MAIN(TestDecimation)
#include "tst_decimation.moc"
