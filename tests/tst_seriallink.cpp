// SPDX-License-Identifier: MIT
// The serial link against a pseudo-terminal: port names and devices, opening
// (exclusive, line settings a pty refuses), probing, and the asynchronous frame
// read with its purge, gap and total time-outs, cancel and device loss.
#include <QtTest>

#include <QSerialPort>

#include "FrameDecoder.h"
#include "PtyPair.h"
#include "SerialLink.h"

#include <chrono>
#include <memory>

using namespace dmm;
using namespace std::chrono_literals;

namespace {

// The meter's frame for "-1.234" DC volts, bytes in position order.
const QByteArray kFrame = QByteArray::fromHex("0A1420314A5B6D788F94AEB0C0D0E4");
const QByteArray kOtherFrame = QByteArray::fromHex("0A1420314A5B6D788F94AEB0C0D0E0");

// A start-up directory whose COMn entries are symbolic links to test devices.
class StartupDir
{
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    bool link(int port, const QString& target) const
    {
        return QFile::link(target, QDir(m_dir.path()).filePath(portName(port)));
    }
    QString missingDevice() const { return QDir(m_dir.path()).filePath("gone"); }

private:
    QTemporaryDir m_dir;
};

struct ReadResult
{
    QByteArray bytes;
    bool failed = false;
};

ReadResult resultOf(const QSignalSpy& spy)
{
    return {spy.at(0).at(0).toByteArray(), spy.at(0).at(1).toBool()};
}

} // namespace

#define REQUIRE_PTY(pty)                                                                           \
    if (!(pty).isValid())                                                                          \
    QSKIP("this machine offers no pseudo-terminals")

class TestSerialLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void portNames_data();
    void portNames();
    void devicePaths_data();
    void devicePaths();

    void opensPseudoTerminalDespiteRtsRefusal();
    void openFailures_data();
    void openFailures();
    void busyPortFailsUntilReleased();
    void openingClosesThePreviousPort();
    void timeoutsNeedAnOpenPort();
    void probeMarksOnlyFreePorts();
    void closePortWaitsThenReleases();

    void readsFrame_data();
    void readsFrame();
    void silenceGivesEmptyReadAfterTotalTimeout();
    void purgesBytesSentBeforeTheRead_data();
    void purgesBytesSentBeforeTheRead();
    void cancelledReadStaysSilent();
    void closeHandleAbandonsRead();
    void restartedReadEndsOnce();
    void readWithoutPortFailsFromEventLoop();
    void deviceGoneFailsReadAndClosesPort();
    void lostPortIsReopenedByItsNumber();

    void errorWithoutAReasonHasNoDetail();

private:
    StartupDir m_noLinks;
};

void TestSerialLink::initTestCase()
{
    QVERIFY(m_noLinks.isValid());
}

void TestSerialLink::portNames_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 1 << "COM1";
    QTest::newRow("two digits") << 10 << "COM10";
    QTest::newRow("zero") << 0 << QString();
    QTest::newRow("past the last") << 11 << QString();
    QTest::newRow("negative") << -1 << QString();
}

void TestSerialLink::portNames()
{
    QFETCH(int, port);
    QFETCH(QString, name);
    QCOMPARE(portName(port), name);
}

void TestSerialLink::devicePaths_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("entry"); // what COMn in the start-up directory is
    QTest::addColumn<QString>("expected");
    QTest::newRow("link resolved") << 3 << "link"
                                   << "<target>";
    QTest::newRow("plain file") << 3 << "file"
                                << "<entry>";
    QTest::newRow("dangling link keeps its own path") << 3 << "dangling"
                                                      << "<entry>";
    QTest::newRow("no entry, first") << 1 << ""
                                     << "/dev/ttyS0";
    QTest::newRow("no entry, tenth") << 10 << ""
                                     << "/dev/ttyS9";
    QTest::newRow("zero") << 0 << "" << QString();
    QTest::newRow("eleven") << 11 << "link" << QString();
}

void TestSerialLink::devicePaths()
{
    QFETCH(int, port);
    QFETCH(QString, entry);
    QFETCH(QString, expected);

    StartupDir dir;
    QVERIFY(dir.isValid());
    const QString target = QDir(dir.path()).filePath("device");
    QFile targetFile(target);
    QVERIFY(targetFile.open(QIODevice::WriteOnly));
    targetFile.close();
    const QString entryPath = QDir(dir.path()).filePath(QStringLiteral("COM%1").arg(port));
    if (entry == "link")
        QVERIFY(QFile::link(target, entryPath));
    else if (entry == "dangling")
        QVERIFY(QFile::link(dir.missingDevice(), entryPath));
    else if (entry == "file")
        QVERIFY(QFile::copy(target, entryPath));

    if (expected == "<target>")
        expected = QFileInfo(target).canonicalFilePath();
    else if (expected == "<entry>")
        expected = QFileInfo(entryPath).absoluteFilePath();
    if (entry == "file")
        expected = QFileInfo(entryPath).canonicalFilePath();
    QCOMPARE(portDevicePath(port, dir.path()), expected);
}

void TestSerialLink::opensPseudoTerminalDespiteRtsRefusal()
{
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));

    SerialLink link;
    PortError error{PortError::OpenFailed, "stale", PortError::Other, "stale"};
    QVERIFY(link.OpenPort(1, dir.path(), &error));
    QCOMPARE(error.kind, PortError::None);
    QVERIFY(error.reason.isEmpty());
    QVERIFY(link.isOpen());
    QCOMPARE(link.devicePath(), QFileInfo(pty.slavePath()).canonicalFilePath());
}

void TestSerialLink::openFailures_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("detail"); // empty: the system's words after "COM1: "
    QTest::newRow("missing device") << 1 << QString();
    QTest::newRow("port zero") << 0 << "Port 0 does not exist: the ports are COM1 to COM10.";
    QTest::newRow("port eleven") << 11 << "Port 11 does not exist: the ports are COM1 to COM10.";
    QTest::newRow("negative") << -3 << "Port -3 does not exist: the ports are COM1 to COM10.";
}

void TestSerialLink::openFailures()
{
    QFETCH(int, port);
    QFETCH(QString, detail);
    StartupDir dir;
    QVERIFY(dir.link(1, dir.missingDevice()));

    SerialLink link;
    PortError error;
    QVERIFY(!link.OpenPort(port, dir.path(), &error));
    QCOMPARE(error.kind, PortError::OpenFailed);
    if (detail.isEmpty()) {
        QVERIFY2(!error.reason.isEmpty(), "the system's reason is passed on");
        QCOMPARE(portErrorDetail(port, error), QStringLiteral("COM1: ") + error.reason);
    } else {
        QCOMPARE(portErrorDetail(port, error), detail);
    }
    QVERIFY(!link.isOpen());
    QVERIFY(link.devicePath().isEmpty());
    QVERIFY(!link.SetPortTimeouts(500));
}

void TestSerialLink::busyPortFailsUntilReleased()
{
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));

    SerialLink first;
    SerialLink second;
    QVERIFY(first.OpenPort(1, dir.path()));
    PortError error;
    QVERIFY(!second.OpenPort(1, dir.path(), &error));
    QCOMPARE(error.kind, PortError::OpenFailed);
    // Not a permission problem: the port is held, and the lock file says by whom.
    const QString holder = QString::number(QCoreApplication::applicationPid());
    QVERIFY2(error.reason.startsWith(
                 QStringLiteral("The port is in use by another program (process %1").arg(holder)),
             qPrintable(error.reason));
    QVERIFY(error.reason.endsWith(QStringLiteral(").")));
    QCOMPARE(portLockOwner(QFileInfo(pty.slavePath()).canonicalFilePath()).section(' ', 0, 0),
             holder);
    QVERIFY(first.isOpen());

    first.closeHandle();
    QVERIFY(!first.isOpen());
    QVERIFY(portLockOwner(QFileInfo(pty.slavePath()).canonicalFilePath()).isEmpty());
    QVERIFY2(second.OpenPort(1, dir.path(), &error), qPrintable(error.reason));
}

void TestSerialLink::openingClosesThePreviousPort()
{
    PtyPair ptyA;
    PtyPair ptyB;
    REQUIRE_PTY(ptyA);
    REQUIRE_PTY(ptyB);
    StartupDir dir;
    QVERIFY(dir.link(1, ptyA.slavePath()));
    QVERIFY(dir.link(2, ptyB.slavePath()));
    QVERIFY(dir.link(3, dir.missingDevice()));

    SerialLink link;
    SerialLink other;
    QVERIFY(link.OpenPort(1, dir.path()));
    QVERIFY(link.OpenPort(2, dir.path()));
    QVERIFY(other.OpenPort(1, dir.path()));
    other.closeHandle();

    // A failed open leaves no port behind either.
    QVERIFY(!link.OpenPort(3, dir.path()));
    QVERIFY(!link.isOpen());
    QVERIFY(other.OpenPort(2, dir.path()));
}

void TestSerialLink::timeoutsNeedAnOpenPort()
{
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));

    SerialLink link;
    QVERIFY(!link.SetPortTimeouts(kReadTotalTimeoutMs));
    QVERIFY(link.OpenPort(1, dir.path()));
    QVERIFY(link.SetPortTimeouts(200));
    link.closeHandle();
    QVERIFY(!link.SetPortTimeouts(200));
}

void TestSerialLink::probeMarksOnlyFreePorts()
{
    PtyPair freePty;
    PtyPair busyPty;
    REQUIRE_PTY(freePty);
    REQUIRE_PTY(busyPty);
    StartupDir dir;
    QVERIFY(dir.link(1, freePty.slavePath()));
    QVERIFY(dir.link(2, busyPty.slavePath()));
    QVERIFY(dir.link(3, dir.missingDevice()));
    SerialLink holder;
    QVERIFY(holder.OpenPort(2, dir.path()));

    const auto present = SerialLink::ProbePorts(dir.path());
    QVERIFY(present[0]);
    QVERIFY(!present[1]);
    QVERIFY(!present[2]);

    // The probe let go of what it opened.
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QVERIFY(holder.isOpen());
}

void TestSerialLink::closePortWaitsThenReleases()
{
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));

    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);
    link.startFrameRead();
    QElapsedTimer clock;
    clock.start();
    link.ClosePort();
    QVERIFY(clock.elapsed() >= 95);
    QVERIFY(!link.isOpen());
    QVERIFY(!link.readPending());

    SerialLink other;
    QVERIFY(other.OpenPort(1, dir.path()));
    QVERIFY(!spy.wait(3 * kReadGapTimeoutMs));
}

void TestSerialLink::readsFrame_data()
{
    QTest::addColumn<QList<QByteArray>>("writes"); // 5 ms apart
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("whole frame in one write") << QList<QByteArray>{kFrame} << kFrame;
    QTest::newRow("frame split across two writes")
        << QList<QByteArray>{kFrame.left(8), kFrame.mid(8)} << kFrame;
    QTest::newRow("frame starting mid-frame")
        << QList<QByteArray>{kFrame.mid(9), kFrame.left(9)} << kFrame.mid(9) + kFrame.left(9);
    QTest::newRow("20 bytes give the first 15")
        << QList<QByteArray>{kFrame + kOtherFrame.left(5)} << kFrame;
    QTest::newRow("7 bytes then silence") << QList<QByteArray>{kFrame.left(7)} << kFrame.left(7);
}

void TestSerialLink::readsFrame()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QByteArray, expected);
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);

    link.startFrameRead();
    QVERIFY(link.readPending());
    QElapsedTimer sinceLastWrite;
    sinceLastWrite.start();
    QVERIFY(pty.write(writes.first()));
    for (qsizetype i = 1; i < writes.size(); ++i) {
        QTimer::singleShot(i * 5ms, this, [&pty, &sinceLastWrite, bytes = writes.at(i)] {
            sinceLastWrite.restart();
            QVERIFY(pty.write(bytes));
        });
    }

    QVERIFY(spy.wait(2000));
    const qint64 elapsed = sinceLastWrite.elapsed();
    QCOMPARE(spy.count(), 1);
    const ReadResult result = resultOf(spy);
    QVERIFY(!result.failed);
    QCOMPARE(result.bytes.toHex(' '), expected.toHex(' '));
    QVERIFY(!link.readPending());
    if (expected.size() < kFrameSize) {
        // Ended by the gap after the last byte, not by the total time-out.
        QVERIFY2(elapsed >= kReadGapTimeoutMs - 5, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
    } else {
        QVERIFY2(elapsed < kReadGapTimeoutMs, "a whole frame does not wait for the gap");
    }
    QVERIFY(!spy.wait(3 * kReadGapTimeoutMs));
}

void TestSerialLink::silenceGivesEmptyReadAfterTotalTimeout()
{
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QVERIFY(link.SetPortTimeouts(200));
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);

    int ticks = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&ticks] { ++ticks; });
    heartbeat.start(10ms);
    QElapsedTimer clock;
    clock.start();
    link.startFrameRead();

    QVERIFY(spy.wait(5000));
    const qint64 elapsed = clock.elapsed();
    const ReadResult result = resultOf(spy);
    QVERIFY(!result.failed);
    QVERIFY(result.bytes.isEmpty());
    QVERIFY2(elapsed >= 190, qPrintable(QString::number(elapsed)));
    QVERIFY2(ticks >= 5, "the event loop keeps running while a read waits");
}

void TestSerialLink::purgesBytesSentBeforeTheRead_data()
{
    QTest::addColumn<bool>("takenByPort");
    QTest::newRow("still in the driver") << false;
    QTest::newRow("already taken by the port") << true;
}

void TestSerialLink::purgesBytesSentBeforeTheRead()
{
    QFETCH(bool, takenByPort);
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);

    QVERIFY(pty.write(kOtherFrame));
    QVERIFY(pty.waitUntilSlaveQueued(kFrameSize, 2s));
    if (takenByPort)
        QTRY_COMPARE(pty.slaveQueued(), 0);

    link.startFrameRead();
    QVERIFY(pty.write(kFrame));
    QVERIFY(spy.wait(2000));
    QCOMPARE(resultOf(spy).bytes.toHex(' '), kFrame.toHex(' '));
}

void TestSerialLink::cancelledReadStaysSilent()
{
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    // No total time-out: only bytes can end this read, so nothing but the
    // cancel below decides what happens to it.
    QVERIFY(link.SetPortTimeouts(0));
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);

    // Cancelled right after the link has taken the first bytes of a frame and
    // started waiting for the rest: connected after the link's own handler.
    auto* port = link.findChild<QSerialPort*>();
    QVERIFY(port);
    int cancelledWith = -1;
    connect(port, &QSerialPort::readyRead, this, [&] {
        if (cancelledWith < 0 && link.readPending()) {
            cancelledWith = pty.slaveQueued();
            link.cancelRead();
        }
    });
    link.startFrameRead();
    QVERIFY(pty.write(kFrame.left(7)));
    QTRY_VERIFY_WITH_TIMEOUT(cancelledWith >= 0, 30000);
    QVERIFY(!link.readPending());
    // Well past the 30 ms gap that would have ended the read.
    QVERIFY(!spy.wait(4 * 30));
    QCOMPARE(spy.count(), 0);
    QVERIFY(link.isOpen());

    // The port still reads after a cancel.
    link.startFrameRead();
    QVERIFY(pty.write(kFrame));
    QVERIFY(spy.wait(5000));
    QCOMPARE(resultOf(spy).bytes.toHex(' '), kFrame.toHex(' '));
}

void TestSerialLink::closeHandleAbandonsRead()
{
    PtyPair pty;
    REQUIRE_PTY(pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty.slavePath()));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QVERIFY(link.SetPortTimeouts(50));
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);

    link.startFrameRead();
    link.closeHandle();
    QVERIFY(!link.isOpen());
    QVERIFY(!link.readPending());
    QVERIFY(!spy.wait(150));
}

void TestSerialLink::restartedReadEndsOnce()
{
    SerialLink link;
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);
    link.startFrameRead();
    link.startFrameRead();
    QVERIFY(spy.wait(1000));
    QVERIFY(!spy.wait(100));
    QCOMPARE(spy.count(), 1);
}

void TestSerialLink::readWithoutPortFailsFromEventLoop()
{
    SerialLink link;
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);
    link.startFrameRead();
    QCOMPARE(spy.count(), 0);
    QVERIFY(link.readPending());
    QVERIFY(spy.wait(1000));
    const ReadResult result = resultOf(spy);
    QVERIFY(result.failed);
    QVERIFY(result.bytes.isEmpty());
    QVERIFY(!link.readPending());

    link.startFrameRead();
    link.cancelRead();
    QVERIFY(!spy.wait(100));
}

void TestSerialLink::deviceGoneFailsReadAndClosesPort()
{
    auto pty = std::make_unique<PtyPair>();
    REQUIRE_PTY(*pty);
    StartupDir dir;
    QVERIFY(dir.link(1, pty->slavePath()));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);

    link.startFrameRead();
    QVERIFY(pty->write(kFrame.left(4)));
    QTRY_COMPARE(pty->slaveQueued(), 0);
    pty->closeMaster();

    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    QVERIFY(resultOf(spy).failed);
    QVERIFY(!link.isOpen());
    QVERIFY(!spy.wait(100));

    pty.reset();
    link.startFrameRead();
    QVERIFY(spy.wait(1000));
    QVERIFY(resultOf(spy).failed);
}

void TestSerialLink::lostPortIsReopenedByItsNumber()
{
    auto pty = std::make_unique<PtyPair>();
    REQUIRE_PTY(*pty);
    StartupDir dir;
    const QString com1 = QDir(dir.path()).filePath(QStringLiteral("COM1"));
    QVERIFY(dir.link(1, pty->slavePath()));
    SerialLink link;
    QVERIFY(link.OpenPort(1, dir.path()));
    QVERIFY(!link.portLost());
    QSignalSpy spy(&link, &SerialLink::frameReadFinished);

    // Pulled out: the port closes, and stays lost while the device is away.
    link.startFrameRead();
    pty.reset();
    QVERIFY(spy.wait(2000));
    QVERIFY(!link.isOpen());
    QVERIFY(link.portLost());
    QVERIFY(!link.reopenLostPort());
    QVERIFY(link.portLost());
    // With its COM1 entry gone too, the port is not sought on a built-in device.
    QVERIFY(QFile::remove(com1));
    QVERIFY(!link.reopenLostPort());
    QVERIFY(!link.isOpen());
    QVERIFY(link.portLost());

    // Plugged in again, under another device name behind the same COM1.
    PtyPair back;
    QVERIFY(dir.link(1, back.slavePath()));
    QVERIFY(link.reopenLostPort());
    QVERIFY(link.isOpen());
    QVERIFY(!link.portLost());
    QCOMPARE(link.devicePath(), QFileInfo(back.slavePath()).canonicalFilePath());
    link.startFrameRead();
    QVERIFY(back.write(kFrame));
    QVERIFY(spy.wait(2000));
    QCOMPARE(resultOf(spy).bytes.size(), 0); // the first result was the failed read
    QCOMPARE(spy.last().at(0).toByteArray().toHex(' '), kFrame.toHex(' '));

    // A close the program makes is no loss.
    back.closeMaster();
    QTRY_VERIFY(link.portLost());
    link.closeHandle();
    QVERIFY(!link.portLost());
    QVERIFY(!link.reopenLostPort());
}

void TestSerialLink::errorWithoutAReasonHasNoDetail()
{
    QCOMPARE(portErrorDetail(1, PortError{}), QString());
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
