// SPDX-License-Identifier: MIT
// The live displays end to end: the simulator steps through known readings,
// the analog needle and the comparator's needle and alarm land where the
// readings put them; hidden or minimised views are not told.
#include <QtTest>

#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "AnalogMeterForm.h"
#include "ComparatorForm.h"
#include "NextShown.h"
#include "ShellFixture.h"
#include "SimProcess.h"

using namespace dmm;

class TestLiveViews : public QObject
{
    Q_OBJECT
private slots:
    void needleAndAlarmFollowTheSweep();
    void hiddenComparatorIsNotTold();
    void minimisedViewsAreNotTold();
};

void TestLiveViews::needleAndAlarmFollowTheSweep()
{
    // DC volts 0 to 4 against the limits 1 and 3. Analog meter: value text
    // "n.000", four digits, full scale 6000, needle 180 - (count x 0.02 + 30).
    // Comparator: 130, 110, 90, 70 and 50 degrees; the low tone below 1, the
    // high one above 3, none on a limit.
    struct Expected
    {
        double analog;
        double comparator;
        int tone;
    };
    const QHash<QString, Expected> expected{{"0.000", {150.0, 130.0, 523}},
                                            {"1.000", {130.0, 110.0, 0}},
                                            {"2.000", {110.0, 90.0, 0}},
                                            {"3.000", {90.0, 70.0, 0}},
                                            {"4.000", {70.0, 50.0, 1047}}};
    QTemporaryDir scripts;
    QFile script(scripts.filePath(QStringLiteral("sweep.txt")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("period 40\nshow 6 0.000\nshow 6 1.000\nshow 6 2.000\nshow 6 3.000\n"
                 "show 6 4.000\n");
    script.close();
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--script"), script.fileName()}));
    ShellFixture shell(sim.directory(), 1); // limits 3 and 1
    TAnalogMeterForm* analog = shell.windows().AnalogMeterForm.get();
    TComparatorForm* comparator = shell.windows().ComparatorForm.get();
    QVERIFY(!comparator->isVisible());
    QTest::mouseClick(shell.main().sbtnComparator, Qt::LeftButton);
    QVERIFY(comparator->isVisible());
    QTest::mouseClick(comparator->bbtnAlart, Qt::LeftButton);
    QVERIFY(comparator->alarmOn());
    QCOMPARE(comparator->bbtnAlart->text(), QStringLiteral("ON"));

    int tone = 0;
    comparator->setTonePlayer([&](int frequency, int duration) {
        tone = frequency;
        QCOMPARE(duration, 100);
    });

    QStringList mismatches;
    QHash<QString, int> seen;
    connect(&shell.main().acquisitionLoop(), &AcquisitionLoop::readingDecoded, this, [&] {
        tone = 0;
        // Runs after the views were handed the reading and told of it; check
        // once the posted notifications have been handled.
        QMetaObject::invokeMethod(
            this,
            [&] {
                const QString value = QString::fromStdString(shell.main().reading().szValue.str());
                const auto want = expected.constFind(value);
                if (want == expected.constEnd()) {
                    mismatches << "unexpected reading " + value;
                    return;
                }
                if (std::fabs(analog->angle() - want->analog) > 1e-9)
                    mismatches << QStringLiteral("%1: analog %2").arg(value).arg(analog->angle());
                if (std::fabs(comparator->needleAngle() - want->comparator) > 1e-9)
                    mismatches << QStringLiteral("%1: comparator %2")
                                      .arg(value)
                                      .arg(comparator->needleAngle());
                if (tone != want->tone)
                    mismatches << QStringLiteral("%1: tone %2").arg(value).arg(tone);
                ++seen[value];
            },
            Qt::QueuedConnection);
    });

    // The views are under test here, not the pace: poll faster than the 500 ms.
    shell.main().acquisitionLoop().TimerGetSd().setInterval(30);
    shell.clickLink();
    // A wrong reading ends the wait at once.
    QTRY_VERIFY_WITH_TIMEOUT(
        !mismatches.isEmpty() ||
            (seen.size() == 5 && std::ranges::all_of(seen, [](int n) { return n >= 2; })),
        30000);
    shell.clickLink();
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QStringLiteral("; "))));
    QTRY_COMPARE(analog->shownAngle(), analog->angle());
}

void TestLiveViews::minimisedViewsAreNotTold()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("steady"),
                       QStringLiteral("--period"), QStringLiteral("40")}));
    ShellFixture shell(sim.directory(), 1); // limits 3 and 1
    TAnalogMeterForm* analog = shell.windows().AnalogMeterForm.get();
    TComparatorForm* comparator = shell.windows().ComparatorForm.get();
    QTest::mouseClick(shell.main().sbtnComparator, Qt::LeftButton);
    analog->showMinimized();
    comparator->showMinimized();
    QTRY_VERIFY(analog->isMinimized() && comparator->isMinimized());
    QCOMPARE(analog->angle(), 150.0);
    QCOMPARE(comparator->needleAngle(), 130.0);

    shell.clickLink();
    QCOMPARE(
        nextShown([&] { return QString::fromStdString(shell.main().reading().szValue.str()); }),
        QStringLiteral("1.234"));
    QTest::qWait(200);
    // Their inputs follow the readings, but neither moves its needle.
    QCOMPARE(analog->inputs().iCount, 1234);
    QCOMPARE(comparator->inputs().value, 1.234f);
    QCOMPARE(analog->angle(), 150.0);
    QCOMPARE(comparator->needleAngle(), 130.0);

    // Restored, the next reading reaches them: 1234 of 6000, and 1.234
    // between the limits 1 and 3 at 110 - 0.234 x 20 degrees.
    QTest::mouseClick(shell.main().sbtnAnalogMeter, Qt::LeftButton);
    QTest::mouseClick(shell.main().sbtnComparator, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(analog->angle() - 125.32) < 1e-9, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(comparator->needleAngle() - 105.32) < 1e-4, 5000);
    shell.clickLink();
}

void TestLiveViews::hiddenComparatorIsNotTold()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("steady"),
                       QStringLiteral("--period"), QStringLiteral("40")}));
    ShellFixture shell(sim.directory(), 1);
    TComparatorForm* comparator = shell.windows().ComparatorForm.get();
    const double restAngle = comparator->needleAngle();
    shell.clickLink();
    QCOMPARE(
        nextShown([&] { return QString::fromStdString(shell.main().reading().szValue.str()); }),
        QStringLiteral("1.234"));
    QTest::qWait(200);
    // Inputs are kept up to date, but the hidden window draws nothing.
    QCOMPARE(comparator->inputs().value, 1.234f);
    QCOMPARE(comparator->needleAngle(), restAngle);
    shell.clickLink();
}

QTEST_MAIN(TestLiveViews)
#include "tst_liveviews.moc"
