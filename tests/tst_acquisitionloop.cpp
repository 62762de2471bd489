// SPDX-License-Identifier: MIT
// The polling loop on its own: the meter line's time-outs, the half-second
// poll, and the no-data warning counted read by read.
#include <QtTest>

#include "AcquisitionLoop.h"
#include "GlobalFlags.h"
#include "NumberText.h"
#include "PtyPair.h"
#include "SerialLink.h"

using namespace dmm;

namespace {

// The meter's frame for "-1.234" DC volts.
const QByteArray kFrame = QByteArray::fromHex("0A1420314A5B6D788F94AEB0C0D0E4");

// Every read the loop makes and every warning it asks for, in order:
// "read" for a read that decoded nothing, "frame" for one that did, "warning".
// The link is released right after read number `stopAfter`.
struct LoopLog
{
    QStringList events;
    int reads = 0;

    LoopLog(AcquisitionLoop& loop, SerialLink& link, int stopAfter)
    {
        QObject::connect(&link, &SerialLink::frameReadFinished, &loop,
                         [this, &loop, stopAfter](const QByteArray& bytes, bool) {
                             ++reads;
                             events << (bytes.size() == 15 ? "frame" : "read");
                             if (reads == stopAfter)
                                 loop.setLinked(false);
                         });
        // The loop asks within its handling of the read, before the read is
        // logged above: log the warning once that has run, then continue at
        // once, as after the countdown.
        QObject::connect(&loop, &AcquisitionLoop::warningRequested, &loop,
                         [this, &loop](AcquisitionLoop::Warning) {
                             QMetaObject::invokeMethod(
                                 &loop,
                                 [this, &loop] {
                                     events << "warning";
                                     loop.answerWarning(AcquisitionLoop::WarningAnswer::Continue);
                                 },
                                 Qt::QueuedConnection);
                         });
    }
};

} // namespace

class TestAcquisitionLoop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { setDecimalSeparator('.'); }
    void meterLineTimeouts();
    void pollsEveryHalfSecond();
    void warningOnEveryThirdFailedRead_data();
    void warningOnEveryThirdFailedRead();
    void goodFrameStartsTheCountAgain();
};

void TestAcquisitionLoop::meterLineTimeouts()
{
    PtyPair pty;
    if (!pty.isValid())
        QSKIP("this machine offers no pseudo-terminals");
    QTemporaryDir dir;
    QVERIFY(QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1"))));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    // 30 ms after the last byte, 12 s when nothing comes at all.
    QCOMPARE(link.readGapTimeoutMs(), 30);
    QCOMPARE(link.readTotalTimeoutMs(), 12000);
    QVERIFY(link.SetPortTimeouts(200));
    QCOMPARE(link.readTotalTimeoutMs(), 200);
    QVERIFY(link.OpenPort(1, dir.path()));
    QCOMPARE(link.readTotalTimeoutMs(), 12000);
}

void TestAcquisitionLoop::pollsEveryHalfSecond()
{
    // Without a port every read fails at once, so the ticks come at the poll
    // interval: the third, and with it the warning, 1.5 s after linking (a
    // coarse timer may fire up to 5 % early).
    SerialLink link;
    AcquisitionLoop loop(&link);
    QCOMPARE(loop.TimerGetSd().interval(), 500);
    QVERIFY(!loop.TimerGetSd().isActive());
    QSignalSpy warnings(&loop, &AcquisitionLoop::warningRequested);
    QElapsedTimer clock;
    clock.start();
    loop.setLinked(true);
    QVERIFY(loop.TimerGetSd().isActive());
    QVERIFY(warnings.wait(5000));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 1400 && elapsed < 3000, qPrintable(QString::number(elapsed)));
    QVERIFY(!loop.TimerGetSd().isActive()); // off while the warning is open
    loop.setLinked(false);
}

void TestAcquisitionLoop::warningOnEveryThirdFailedRead_data()
{
    QTest::addColumn<int>("reads");
    QTest::addColumn<QStringList>("events");
    const QStringList three{"read", "read", "read", "warning"};
    QTest::newRow("first warning") << 3 << three;
    QTest::newRow("and again after three more") << 6 << three + three;
    QTest::newRow("nothing on the 7th and 8th") << 8 << three + three + QStringList{"read", "read"};
}

void TestAcquisitionLoop::warningOnEveryThirdFailedRead()
{
    QFETCH(int, reads);
    QFETCH(QStringList, events);
    SerialLink link; // no port: every read fails
    AcquisitionLoop loop(&link);
    loop.TimerGetSd().setInterval(5); // the count, not the pace, is tested here
    LoopLog log(loop, link, reads);
    // Reads come 5 ms apart: the loop is done once it is unlinked at the last
    // read, or has stalled once a second passes without an event.
    auto settled = [&, seen = qsizetype(-1), quiet = QElapsedTimer()]() mutable {
        if (std::exchange(seen, log.events.size()) != seen)
            quiet.start();
        return !loop.isLinked() || quiet.elapsed() > 1000;
    };
    loop.setLinked(true);
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 5000);
    QCoreApplication::processEvents(); // a warning the last read asked for
    QCOMPARE(log.events, events);
    QCOMPARE(log.reads, reads);
}

void TestAcquisitionLoop::goodFrameStartsTheCountAgain()
{
    // Reads 1 and 2 get nothing, read 3 a frame, reads 4 to 6 nothing again:
    // the warning comes after read 6, not after read 4.
    PtyPair pty;
    if (!pty.isValid())
        QSKIP("this machine offers no pseudo-terminals");
    QTemporaryDir dir;
    QVERIFY(QFile::link(pty.slavePath(), dir.filePath(QStringLiteral("COM1"))));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QVERIFY(link.SetPortTimeouts(300));
    AcquisitionLoop loop(&link);
    loop.TimerGetSd().setInterval(5);
    LoopLog log(loop, link, 7);
    // The frame goes out while the third read waits.
    bool sent = false;
    QTimer meter;
    connect(&meter, &QTimer::timeout, this, [&] {
        if (!sent && log.reads == 2 && link.readPending()) {
            sent = true;
            pty.write(kFrame);
        }
    });
    meter.start(1);
    loop.setLinked(true);
    QTRY_COMPARE_WITH_TIMEOUT(log.reads, 7, 10000);
    QTRY_COMPARE(log.events,
                 (QStringList{"read", "read", "frame", "read", "read", "read", "warning", "read"}));
    QVERIFY(!loop.isLinked());
    QCOMPARE(bDataValid, 0);
    QCOMPARE(QString::fromStdString(loop.reading().szValue.str()), QStringLiteral("-1.234"));
}

QTEST_GUILESS_MAIN(TestAcquisitionLoop)
#include "tst_acquisitionloop.moc"
