// SPDX-License-Identifier: MIT
// The acquisition loop end to end: the whole program in-process, linked to the
// meter simulator or to a silent line, as a user would use it.
#include <QtTest>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "AutoMsgForm.h"
#include "DigitalMeterForm.h"
#include "DlgRsPortForm.h"
#include "GlobalFlags.h"
#include "NextShown.h"
#include "PtyPair.h"
#include "ShellFixture.h"
#include "SimProcess.h"

using namespace dmm;

class TestAcquisition : public QObject
{
    Q_OBJECT
private slots:
    void readingsFromTheSimulatorReachTheDigitalMeter();
    void silentMeterWarnsAfterThreeTicksAndPollingResumes();
    void abortInTheWarningReleasesTheLink();
    void lowBatteryWarnsOnEveryFrame();
    void releasingTheLinkMidReadCancelsIt();
    void closingWhileAWarningIsOpen();
    void linkingWithoutAPortWarnsToo();
    void repluggedMeterResumesWithoutThePortDialog();

private:
    QTemporaryDir m_dir;
};

namespace {

// A silent line linked as COM1.
struct SilentLine
{
    QTemporaryDir dir;
    PtyPair pty;
    SilentLine() { QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1"))); }
};

TAutoMsgForm* warning(ShellFixture& shell)
{
    return shell.windows().AutoMsgForm.get();
}

} // namespace

void TestAcquisition::readingsFromTheSimulatorReachTheDigitalMeter()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("steady"),
                       QStringLiteral("--period"), QStringLiteral("100")}));
    ShellFixture shell(sim.directory(), 1);
    QVERIFY(shell.main().serialLink().isOpen());
    QCOMPARE(bDataValid, 0);
    shell.clickLink();
    const TDigitalMeterForm* meter = shell.windows().DigitalMeterForm.get();
    QCOMPARE(nextShown([&] { return meter->DataPanel->text(); }), QStringLiteral("1.234"));
    QCOMPARE(meter->FuncPanel->text(), QStringLiteral("V"));
    QCOMPARE(meter->pnlAcDc->text(), QStringLiteral("DC"));
    QCOMPARE(meter->UnitPanel->text(), QString());
    QCOMPARE(shell.main().reading().iFunction, 6);
    QCOMPARE(QString::fromStdString(shell.main().reading().szValue.str()), QStringLiteral("1.234"));
    QCOMPARE(bDataValid, 1);
    QVERIFY(!warning(shell)->isVisible());

    shell.clickLink();
    QCOMPARE(bDataValid, 0);
    QVERIFY(!shell.main().acquisitionLoop().TimerGetSd().isActive());
}

void TestAcquisition::silentMeterWarnsAfterThreeTicksAndPollingResumes()
{
    SilentLine line;
    ShellFixture shell(line.dir.path(), 1);
    shell.main().serialLink().SetPortTimeouts(100);
    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(warning(shell)->isVisible(), 5000);
    QCOMPARE(warning(shell)->windowTitle(), QStringLiteral("Warning[W8004]"));
    QCOMPARE(warning(shell)->lbMsg1->text(), QStringLiteral("No data received."));
    QCOMPARE(warning(shell)->lbMsg2->text(),
             QStringLiteral("Will re-try automatically in 3 seconds."));
    QCOMPARE(warning(shell)->lbMsg3->text(),
             QStringLiteral("Check cable connection and COM port selection if required."));
    QCOMPARE(shell.main().acquisitionLoop().iNoDataCount(), 0);
    QVERIFY(!shell.main().acquisitionLoop().TimerGetSd().isActive());

    // Nobody answers: the warning goes away by itself and polling resumes.
    QTRY_VERIFY_WITH_TIMEOUT(!warning(shell)->isVisible(), 5000);
    QVERIFY(shell.main().sbtnLink->isChecked());
    QTRY_VERIFY(shell.main().acquisitionLoop().tickRunning());

    // The meter comes back: frames are read again.
    QTimer meter;
    connect(&meter, &QTimer::timeout, this,
            [&] { line.pty.write(QByteArray::fromHex("0A1420314A5B6D788F94AEB0C0D0E4")); });
    meter.start(40);
    QCOMPARE(nextShown([&] { return shell.windows().DigitalMeterForm->DataPanel->text(); },
                       shell.windows().DigitalMeterForm->DataPanel->text()),
             QStringLiteral("-1.234"));
}

void TestAcquisition::abortInTheWarningReleasesTheLink()
{
    SilentLine line;
    ShellFixture shell(line.dir.path(), 1);
    shell.main().serialLink().SetPortTimeouts(100);
    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(warning(shell)->isVisible(), 5000);
    QTest::mouseClick(warning(shell)->bbtnAbort, Qt::LeftButton);
    QVERIFY(!shell.main().sbtnLink->isChecked());
    QVERIFY(!shell.main().acquisitionLoop().isLinked());
    QVERIFY(!shell.main().acquisitionLoop().TimerGetSd().isActive());
    QCOMPARE(shell.main().miLink->text(), QStringLiteral("&Link"));
    QTest::qWait(300);
    QVERIFY(!shell.main().acquisitionLoop().tickRunning());
}

void TestAcquisition::lowBatteryWarnsOnEveryFrame()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("lowbat"),
                       QStringLiteral("--period"), QStringLiteral("100")}));
    ShellFixture shell(sim.directory(), 1);
    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(warning(shell)->isVisible(), 5000);
    QCOMPARE(warning(shell)->windowTitle(), QStringLiteral("Warning[W8000]"));
    QCOMPARE(warning(shell)->lbMsg1->text(),
             QStringLiteral("The battery power of the DMM is low."));
    QCOMPARE(warning(shell)->lbMsg3->text(), QString());

    // Continue: the reading is shown, and the next frame warns again.
    QTest::mouseClick(warning(shell)->bbtnYes, Qt::LeftButton);
    QVERIFY(!shell.windows().DigitalMeterForm->DataPanel->text().isEmpty());
    QCOMPARE(bDataValid, 1);
    QTRY_VERIFY_WITH_TIMEOUT(warning(shell)->isVisible(), 5000);
    QTest::mouseClick(warning(shell)->bbtnAbort, Qt::LeftButton);
    QVERIFY(!shell.main().sbtnLink->isChecked());
}

void TestAcquisition::releasingTheLinkMidReadCancelsIt()
{
    SilentLine line;
    ShellFixture shell(line.dir.path(), 1);
    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(shell.main().serialLink().readPending(), 3000);
    shell.clickLink();
    QVERIFY(!shell.main().serialLink().readPending());
    QVERIFY(!shell.main().acquisitionLoop().tickRunning());
    // A frame arriving now belongs to nobody.
    line.pty.write(QByteArray::fromHex("0A1420314A5B6D788F94AEB0C0D0E4"));
    QTest::qWait(200);
    QCOMPARE(shell.windows().DigitalMeterForm->DataPanel->text(), QString());
    QVERIFY(shell.main().serialLink().isOpen());
}

void TestAcquisition::closingWhileAWarningIsOpen()
{
    SilentLine line;
    ShellFixture shell(line.dir.path(), 1);
    shell.main().serialLink().SetPortTimeouts(50);
    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(warning(shell)->isVisible(), 5000);
    QVERIFY(shell.main().close());
    QVERIFY(!warning(shell)->isVisible());
    QVERIFY(!shell.main().serialLink().isOpen());
    QTest::qWait(100);
    QVERIFY(!shell.main().acquisitionLoop().tickRunning());
}

void TestAcquisition::linkingWithoutAPortWarnsToo()
{
    QTemporaryDir dir;
    QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("COM1")));
    ShellFixture shell(dir.path(), 1);
    QVERIFY(!shell.main().serialLink().isOpen());
    shell.clickLink();
    QTRY_VERIFY_WITH_TIMEOUT(warning(shell)->isVisible(), 5000);
    QCOMPARE(warning(shell)->windowTitle(), QStringLiteral("Warning[W8004]"));
    warning(shell)->done(TAutoMsgForm::Abort);
}

void TestAcquisition::repluggedMeterResumesWithoutThePortDialog()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--scenario"), QStringLiteral("steady"),
                       QStringLiteral("--period"), QStringLiteral("50")}));
    ShellFixture shell(sim.directory(), 1);
    shell.clickLink();
    const TDigitalMeterForm* meter = shell.windows().DigitalMeterForm.get();
    QCOMPARE(nextShown([&] { return meter->DataPanel->text(); }), QStringLiteral("1.234"));

    // Pulled out: the simulator ends, its device and link go away.
    QVERIFY(sim.terminate());
    QTRY_VERIFY_WITH_TIMEOUT(!shell.main().serialLink().isOpen(), 5000);
    QVERIFY(shell.main().serialLink().portLost());
    // The no-data warning shows meanwhile, as for a silent meter.
    QTRY_VERIFY_WITH_TIMEOUT(warning(shell)->isVisible(), 5000);
    QCOMPARE(warning(shell)->windowTitle(), QStringLiteral("Warning[W8004]"));

    // Plugged in again, now on another pseudo-terminal behind the same COM1.
    QFile script(sim.directory() + QStringLiteral("/replugged.txt"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("period 50\nshow 6 -0.567\n");
    script.close();
    QVERIFY(sim.restart({QStringLiteral("--script"), script.fileName()}));
    QTest::mouseClick(warning(shell)->bbtnYes, Qt::LeftButton); // Continue at once
    QCOMPARE(nextShown([&] { return meter->DataPanel->text(); }, meter->DataPanel->text(), 10000),
             QStringLiteral("-0.567"));
    QVERIFY(shell.main().sbtnLink->isChecked());
    QCOMPARE(shell.main().serialLink().devicePath(), sim.devicePath());
    QVERIFY(!shell.windows().DlgRsPortForm->isVisible());
    QVERIFY(shell.boxCaptions().isEmpty());
    if (warning(shell)->isVisible())
        warning(shell)->done(TAutoMsgForm::Abort);
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
