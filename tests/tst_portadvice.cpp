// SPDX-License-Identifier: MIT
// When a port does not open, the box says which device was tried, where the
// COMn link is looked for and which serial adapters could be linked; the
// adapters are found under the by-id folder and as ttyUSB*/ttyACM* devices.
#include <QtTest>

#include <QFile>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

#include "PortAdvice.h"
#include "PtyPair.h"
#include "SerialAdapters.h"
#include "SerialLink.h"

using namespace dmm;

class TestPortAdvice : public QObject
{
    Q_OBJECT
private slots:
    void detailSaysWhatWasTriedAndWhatToDo_data();
    void detailSaysWhatWasTriedAndWhatToDo();
    void adaptersAreFoundByStableNameFirst();
    void startupBoxNamesTheFolderAndTheAdapters();
};

namespace {

enum class Scenario
{
    NoLink,
    DanglingLink,
    Busy,
    Permission
};

} // namespace

void TestPortAdvice::detailSaysWhatWasTriedAndWhatToDo_data()
{
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<bool>("adapterPlugged");
    // "%d" is the start-up folder, "%p" the pseudo-terminal, "%a" where a link
    // pointed, "%u" a device node of the group dialout.
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<bool>("linkAdvised"); // "The port dialog (Port) can link..."

    QTest::newRow("no link, an adapter plugged in")
        << Scenario::NoLink << true
        << QStringList{QStringLiteral("COM2: "),
                       QStringLiteral("Device tried: /dev/ttyS1 (there is no link COM2 in %d)."),
                       QStringLiteral("Serial adapters found:"),
                       QStringLiteral("  usb-Test_Adapter-if00-port0 (%p)"),
                       QStringLiteral("The port dialog (Port) can link one of them as COM2.")}
        << true;
    QTest::newRow("no link, no adapter")
        << Scenario::NoLink << false
        << QStringList{QStringLiteral("Device tried: /dev/ttyS1 (there is no link COM2 in %d)."),
                       QStringLiteral("No USB serial adapter was found")}
        << false;
    QTest::newRow("dangling link")
        << Scenario::DanglingLink << true
        << QStringList{QStringLiteral("COM2: "),
                       QStringLiteral("COM2 in %d links to %a, which does not exist: is the "
                                      "adapter plugged in?"),
                       QStringLiteral("  usb-Test_Adapter-if00-port0 (%p)")}
        << true;
    QTest::newRow("busy")
        << Scenario::Busy << false
        << QStringList{QStringLiteral("COM2: The port is in use by another program"),
                       QStringLiteral("Device tried: %p (through the link COM2 in %d).")}
        << false;
    QTest::newRow("busy, its adapter listed but not offered for linking")
        << Scenario::Busy << true
        << QStringList{QStringLiteral("COM2: The port is in use by another program"),
                       QStringLiteral("  usb-Test_Adapter-if00-port0 (%p)")}
        << false;
    QTest::newRow("permission")
        << Scenario::Permission << false
        << QStringList{QStringLiteral("COM2: Permission denied"),
                       QStringLiteral("Device tried: %u (through the link COM2 in %d)."),
                       QStringLiteral("Only members of the group dialout may open %u")}
        << false;
}

void TestPortAdvice::detailSaysWhatWasTriedAndWhatToDo()
{
    QFETCH(Scenario, scenario);
    QFETCH(bool, adapterPlugged);
    QFETCH(QStringList, expectedLines);
    QFETCH(bool, linkAdvised);

    QTemporaryDir startup;
    QTemporaryDir devices;
    PtyPair pty;
    QVERIFY(pty.isValid());
    const QString byIdName = devices.filePath(QStringLiteral("usb-Test_Adapter-if00-port0"));
    const AdapterSearchRoots roots{devices.path(), devices.filePath(QStringLiteral("none"))};
    if (adapterPlugged)
        QVERIFY(QFile::link(pty.slavePath(), byIdName));
    const QString com2 = QDir(startup.path()).filePath(QStringLiteral("COM2"));
    if (scenario == Scenario::DanglingLink)
        QVERIFY(QFile::link(devices.filePath(QStringLiteral("unplugged")), com2));
    if (scenario == Scenario::Busy || scenario == Scenario::Permission)
        QVERIFY(QFile::link(pty.slavePath(), com2));

    PortError error;
    SerialLink otherProgram;
    if (scenario == Scenario::Busy)
        QVERIFY(otherProgram.OpenPort(2, startup.path()));
    const QString groupDevice = startup.filePath(QStringLiteral("ttyUSB7"));
    if (scenario == Scenario::Permission) {
        // Tests run as root, whom no device refuses: the error is the one the
        // link reports for a device of the dialout group the user may not open.
        QFile node(groupDevice);
        QVERIFY(node.open(QIODevice::WriteOnly));
        node.close();
        const QByteArray path = QFile::encodeName(groupDevice);
        const group* dialout = ::getgrnam("dialout");
        if (!dialout || ::chown(path.constData(), ::getuid(), dialout->gr_gid) != 0)
            QSKIP("no dialout group to give the device to");
        QFile::remove(com2);
        QVERIFY(QFile::link(groupDevice, com2));
        error = {PortError::OpenFailed, QStringLiteral("Permission denied"),
                 PortError::NoPermission, groupDevice};
    } else {
        SerialLink link;
        QVERIFY(!link.OpenPort(2, startup.path(), &error));
    }

    const QString detail =
        portOpenAdvice(2, startup.path(), error, findSerialAdapters(roots));
    const QStringList lines = detail.split(QLatin1Char('\n'));
    qsizetype from = 0;
    for (QString expected : expectedLines) {
        expected.replace(QStringLiteral("%d"), startup.path())
            .replace(QStringLiteral("%p"), pty.slavePath())
            .replace(QStringLiteral("%a"), devices.filePath(QStringLiteral("unplugged")))
            .replace(QStringLiteral("%u"), groupDevice);
        // In this order, each at the start of a line of its own.
        const auto at = std::find_if(lines.cbegin() + from, lines.cend(), [&](const QString& l) {
            return l.startsWith(expected);
        });
        QVERIFY2(at != lines.cend(), qPrintable(expected + QStringLiteral("\nnot in:\n") + detail));
        from = at - lines.cbegin() + 1;
    }
    QCOMPARE(detail.contains(QStringLiteral("can link one of them")), linkAdvised);
}

void TestPortAdvice::adaptersAreFoundByStableNameFirst()
{
    QTemporaryDir byId;
    QTemporaryDir dev;
    PtyPair named;
    PtyPair unnamed;
    QVERIFY(named.isValid() && unnamed.isValid());
    QVERIFY(QFile::link(named.slavePath(), byId.filePath(QStringLiteral("usb-B-port0"))));
    QVERIFY(QFile::link(dev.filePath(QStringLiteral("gone")),
                        byId.filePath(QStringLiteral("usb-A-port0"))));
    // The same adapter as a ttyUSB device is not listed twice.
    QVERIFY(QFile::link(named.slavePath(), dev.filePath(QStringLiteral("ttyUSB0"))));
    QVERIFY(QFile::link(unnamed.slavePath(), dev.filePath(QStringLiteral("ttyACM3"))));
    QVERIFY(QFile::link(unnamed.slavePath(), dev.filePath(QStringLiteral("ttyS4"))));

    const QList<SerialAdapter> adapters = findSerialAdapters({byId.path(), dev.path()});
    QCOMPARE(adapters.size(), 2);
    QCOMPARE(adapters[0].device, named.slavePath());
    QCOMPARE(adapters[0].linkTarget(), byId.filePath(QStringLiteral("usb-B-port0")));
    QCOMPARE(adapters[1].device, unnamed.slavePath());
    QCOMPARE(adapters[1].linkTarget(), unnamed.slavePath());
}

void TestPortAdvice::startupBoxNamesTheFolderAndTheAdapters()
{
    // The first start of a new user: settings name COM2, nothing is linked.
    QTemporaryDir startup;
    QTemporaryDir byId;
    PtyPair pty;
    QVERIFY(QFile::link(pty.slavePath(), byId.filePath(QStringLiteral("usb-Meter_Cable-port0"))));
    setAdapterSearchRoots({byId.path(), byId.filePath(QStringLiteral("none"))});
    SerialLink link;
    PortError error;
    QVERIFY(!link.OpenPort(2, startup.path(), &error));
    const QString detail = portOpenAdvice(2, startup.path(), error,
                                          findSerialAdapters(adapterSearchRoots()));
    setAdapterSearchRoots({});
    QVERIFY2(detail.contains(startup.path()), qPrintable(detail));
    QVERIFY2(detail.contains(QStringLiteral("usb-Meter_Cable-port0")), qPrintable(detail));
}

QTEST_MAIN(TestPortAdvice)
#include "tst_portadvice.moc"
