// SPDX-License-Identifier: MIT
// Desktop notifications over D-Bus, against a private bus with a stand-in
// notification service, and on a bus without one.
#include <QtTest>

#include <QDBusConnection>
#include <QProcess>

#include "DesktopNotifier.h"

using namespace dmm;

// What a desktop's notification service takes from the notifier.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls; // "replaces|summary|body|timeout"

public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int timeout)
    {
        calls << QStringLiteral("%1|%2|%3|%4").arg(replaces).arg(summary, body).arg(timeout);
        return 41 + static_cast<uint>(calls.size());
    }
};

class TestDesktopNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void serviceHearsEachNotificationReplacingTheLast();
    void silentWithoutTheService();

private:
    QProcess m_bus;
    QString m_address;
};

void TestDesktopNotifier::initTestCase()
{
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
        QSKIP("dbus-daemon is not installed");
    m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    QVERIFY(m_bus.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 5000);
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void TestDesktopNotifier::cleanupTestCase()
{
    m_bus.terminate();
    m_bus.waitForFinished(5000);
}

void TestDesktopNotifier::serviceHearsEachNotificationReplacingTheLast()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_address, "service");
    QVERIFY(service.isConnected());
    FakeNotifications fake;
    QVERIFY(service.registerObject("/org/freedesktop/Notifications", &fake,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService("org.freedesktop.Notifications"));

    DesktopNotifier notifier(QDBusConnection::connectToBus(m_address, "client"), nullptr);
    QSignalSpy answered(&notifier, &DesktopNotifier::answered);
    notifier.notify("Comparator: above the upper limit", "5 mV (limits 1 to 3 mV)");
    QVERIFY(fake.calls.isEmpty()); // the call does not wait for the service
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.takeFirst().value(0).toUInt(), 42u);
    notifier.notify("Comparator: back within the limits", "2 mV (limits 1 to 3 mV)");
    QVERIFY(answered.wait(5000));
    QCOMPARE(fake.calls,
             QStringList({"0|Comparator: above the upper limit|5 mV (limits 1 to 3 mV)|-1",
                          "42|Comparator: back within the limits|2 mV (limits 1 to 3 mV)|-1"}));
    service.unregisterService("org.freedesktop.Notifications");
    QDBusConnection::disconnectFromBus("service");
    QDBusConnection::disconnectFromBus("client");
}

void TestDesktopNotifier::silentWithoutTheService()
{
    DesktopNotifier notifier(QDBusConnection::connectToBus(m_address, "lonely"), nullptr);
    QSignalSpy answered(&notifier, &DesktopNotifier::answered);
    notifier.notify("Comparator: above the upper limit", "5 mV");
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.takeFirst().value(0).toUInt(), 0u);
    QCOMPARE(notifier.lastId(), 0u);
    QDBusConnection::disconnectFromBus("lonely");
}

QTEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
