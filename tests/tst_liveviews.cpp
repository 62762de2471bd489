// SPDX-License-Identifier: MIT
// The live displays end to end: the simulator sweeps through its functions,
// the analog needle follows every reading and the comparator's alarm decides
// as its limits say.
#include <QtTest>

#include <QPushButton>
#include <QToolButton>

#include "AnalogMeterForm.h"
#include "AnalogMeterLogic.h"
#include "ComparatorForm.h"
#include "ComparatorLogic.h"
#include "ShellFixture.h"
#include "SimProcess.h"

using namespace dmm;

class TestLiveViews : public QObject
{
    Q_OBJECT
private slots:
    void needleAndAlarmFollowTheSweep();
    void hiddenComparatorIsNotTold();
};

void TestLiveViews::needleAndAlarmFollowTheSweep()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("sweep"),
                       QStringLiteral("--period"), QStringLiteral("40")}));
    ShellFixture shell(sim.directory(), 1); // limits 3 and 1
    TAnalogMeterForm* analog = shell.windows().AnalogMeterForm.get();
    TComparatorForm* comparator = shell.windows().ComparatorForm.get();
    QVERIFY(!comparator->isVisible());
    QTest::mouseClick(shell.main().sbtnComparator, Qt::LeftButton);
    QVERIFY(comparator->isVisible());
    QTest::mouseClick(comparator->bbtnAlart, Qt::LeftButton);
    QVERIFY(comparator->alarmOn());
    QCOMPARE(comparator->bbtnAlart->text(), QStringLiteral("ON"));

    QList<int> tones;
    comparator->setTonePlayer([&](int frequency, int) { tones << frequency; });

    int checked = 0;
    int mismatches = 0;
    int expectedTones = 0;
    QSet<int> angles;
    QSet<int> functions;
    connect(&shell.main().acquisitionLoop(), &AcquisitionLoop::readingDecoded, this, [&] {
        // Runs after the views were handed the reading and told of it; check
        // once the posted notifications have been handled.
        QMetaObject::invokeMethod(
            this,
            [&] {
                const AnalogInputs& in = analog->inputs();
                if (analog->angle() != analogNeedleAngle(in.iCount, in.iFullScale))
                    ++mismatches;
                const ComparatorInputs& c = comparator->inputs();
                if (comparator->needleAngle() != comparatorNeedleAngle(c.value, 3.0, 1.0))
                    ++mismatches;
                if (alarmToneFor(c.value, 3.0, 1.0) != AlarmTone::None)
                    ++expectedTones;
                angles.insert(qRound(analog->angle()));
                functions.insert(shell.main().reading().iFunction);
                ++checked;
            },
            Qt::QueuedConnection);
    });

    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(checked >= 40, 60000);
    shell.clickLink();
    QCOMPARE(mismatches, 0);
    QVERIFY2(angles.size() >= 5, "the needle moves with the readings");
    QVERIFY2(functions.size() >= 2, "the sweep went through more than one function");
    QVERIFY(expectedTones > 0);
    QCOMPARE(tones.size(), expectedTones);
    for (int frequency : tones)
        QVERIFY(frequency == 1047 || frequency == 523);
    QTRY_COMPARE(analog->shownAngle(), analog->angle());
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
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(shell.main().reading().szValue.str()),
                              QStringLiteral("1.234"), 5000);
    QTest::qWait(200);
    // Inputs are kept up to date, but the hidden window draws nothing.
    QCOMPARE(comparator->inputs().value, 1.234f);
    QCOMPARE(comparator->needleAngle(), restAngle);
    shell.clickLink();
}

QTEST_MAIN(TestLiveViews)
#include "tst_liveviews.moc"
