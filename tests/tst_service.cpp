// SPDX-License-Identifier: MIT
// dmm-log as a systemd service: the conf file of a named instance, and what
// the built program tells a notify socket (READY, STATUS, WATCHDOG while its
// loop runs) and the journal after a replug.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "ServiceConf.h"
#include "SimProcess.h"

using namespace dmm::logtool;

namespace {

// A datagram socket bound in a scratch folder, as systemd's NOTIFY_SOCKET.
class NotifySocket
{
public:
    explicit NotifySocket(const QString& path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), name.size());
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~NotifySocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isValid() const { return m_fd >= 0; }
    // Every message received since the last call, one per entry.
    QStringList take()
    {
        QStringList messages;
        char buffer[4096];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            messages << QString::fromUtf8(buffer, n);
        return messages;
    }

private:
    QString m_path;
    int m_fd = -1;
};

// dmm-log on the simulator's COM1 with NOTIFY_SOCKET set to `socket`, and
// WATCHDOG_USEC where given.
void startUnderNotify(QProcess& log, const SimProcess& sim, const QString& socket,
                      const QString& watchdogUsec = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), socket);
    if (!watchdogUsec.isEmpty())
        environment.insert(QStringLiteral("WATCHDOG_USEC"), watchdogUsec);
    log.setProcessEnvironment(environment);
    log.setWorkingDirectory(sim.directory());
    log.start(QStringLiteral(DMM_LOG_PATH), {"--port", "COM1"});
}

int countOf(const QStringList& messages, const QString& line)
{
    int count = 0;
    for (const QString& message : messages)
        count += message.split(u'\n').count(line);
    return count;
}

} // namespace

class TestService : public QObject
{
    Q_OBJECT
private slots:
    void confFileSetsOptionsOrNamesLineAndKey_data();
    void confFileSetsOptionsOrNamesLineAndKey();
    void confErrorsEndTheRunWithTheirReason_data();
    void confErrorsEndTheRunWithTheirReason();
    void notifiesReadyStatusAndWatchdogOnlyWhileTheLoopRuns();
    void replugIsAnnouncedAndShownInTheStatus();
};

void TestService::confFileSetsOptionsOrNamesLineAndKey_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // the values read, or the error

    QTest::newRow("all keys, comments, quotes")
        << QByteArray("# bench\n\nPORT=/dev/serial/by-id/usb-FTDI-port0\n INTERVAL = 10\n"
                      "SEPARATOR=;\nDECIMAL_COMMA=yes\nFOLDER=\"~/Documents/Bench run\"\n")
        << QStringLiteral("/dev/serial/by-id/usb-FTDI-port0|10|;|1|/home/u/Documents/Bench run");
    QTest::newRow("keys left out stay unset")
        << QByteArray("PORT=COM3") << QStringLiteral("COM3|-|-|-|-");
    QTest::newRow("relative folder from home")
        << QByteArray("FOLDER=logs\nSEPARATOR=tab") << QStringLiteral("-|-|\t|-|/home/u/logs");
    QTest::newRow("interval with a unit")
        << QByteArray("PORT=COM1\nINTERVAL=10s\n")
        << QStringLiteral("/c/bench.conf:2: INTERVAL=10s: needs whole seconds from 0 to 2147483 "
                          "(0: Full Speed)");
    QTest::newRow("unknown key")
        << QByteArray("# x\nPORT=COM1\nFOLDR=/tmp\n")
        << QStringLiteral(
               "/c/bench.conf:3: FOLDR=/tmp: unknown key (the keys are PORT, POWER, "
               "INTERVAL, SEPARATOR, DECIMAL_COMMA, FOLDER, MQTT_URL, MQTT_PASSWORD_FILE, "
               "MQTT_NAME, MQTT_DISCOVERY, METRICS, ALARM, ALARM_HYSTERESIS, ON_ALARM)");
    QTest::newRow("no equals sign")
        << QByteArray("PORT COM1\n")
        << QStringLiteral(
               "/c/bench.conf:1: PORT COM1: not KEY=VALUE (the keys are PORT, POWER, "
               "INTERVAL, SEPARATOR, DECIMAL_COMMA, FOLDER, MQTT_URL, MQTT_PASSWORD_FILE, "
               "MQTT_NAME, MQTT_DISCOVERY, METRICS, ALARM, ALARM_HYSTERESIS, ON_ALARM)");
    QTest::newRow("MQTT_URL with a password")
        << QByteArray("MQTT_URL=mqtt://u:pw@h/lab\n")
        << QStringLiteral("/c/bench.conf:1: MQTT_URL=mqtt://u:***@h/lab: a password does not "
                          "belong in the address, where every user of the machine can read it: "
                          "put it in a file of mode 0600 and give --mqtt-password-file");
    QTest::newRow("key twice") << QByteArray("PORT=COM1\nPORT=COM2\n")
                               << QStringLiteral(
                                      "/c/bench.conf:2: PORT=COM2: PORT is set on line 1 already");
    QTest::newRow("bad decimal comma")
        << QByteArray("DECIMAL_COMMA=maybe")
        << QStringLiteral("/c/bench.conf:1: DECIMAL_COMMA=maybe: needs yes or no");
    QTest::newRow("empty port")
        << QByteArray("PORT=")
        << QStringLiteral("/c/bench.conf:1: PORT=: needs COMn or a device path such as "
                          "/dev/ttyUSB0");
    QTest::newRow("MQTT_NAME with a slash")
        << QByteArray("MQTT_NAME=bench/1")
        << QStringLiteral("/c/bench.conf:1: MQTT_NAME=bench/1: needs a name without /, + or # "
                          "and without control characters");
    QTest::newRow("MQTT_DISCOVERY with a wildcard")
        << QByteArray("MQTT_DISCOVERY=home+assistant")
        << QStringLiteral("/c/bench.conf:1: MQTT_DISCOVERY=home+assistant: needs topic levels "
                          "without + or # and without control characters, such as homeassistant");
    QTest::newRow("METRICS with port 0")
        << QByteArray("METRICS=0")
        << QStringLiteral("/c/bench.conf:1: METRICS=0: needs [HOST:]PORT with a PORT from 1 to "
                          "65535");
    QTest::newRow("ALARM upside down")
        << QByteArray("ALARM=5:3")
        << QStringLiteral("/c/bench.conf:1: ALARM=5:3: LOW must be below HIGH");
    QTest::newRow("ALARM, one of two wrong")
        << QByteArray("ALARM=a=1:2 b=1:x")
        << QStringLiteral("/c/bench.conf:1: ALARM=a=1:2 b=1:x: b=1:x: \"x\" is no number "
                          "(write 4.2, -0.5 or 1e-3)");
    QTest::newRow("ALARM_HYSTERESIS negative")
        << QByteArray("ALARM_HYSTERESIS=-1%")
        << QStringLiteral("/c/bench.conf:1: ALARM_HYSTERESIS=-1%: needs an amount (0.05) or a "
                          "percentage (2%), 0 or more");
    // A line is shown with what does not print made visible, and cut when long.
    QTest::newRow("NUL in a value")
        << QByteArray("PORT=COM1\nINTERVAL=1\0x\n", 22)
        << QStringLiteral("/c/bench.conf:2: INTERVAL=1\\x00x: a line may hold no control "
                          "characters (shown as \\xHH)");
    QTest::newRow("terminal escape and tab")
        << QByteArray("SEPARATOR=\x1b[2J\t;")
        << QStringLiteral("/c/bench.conf:1: SEPARATOR=\\x1B[2J\\x09;: a line may hold no control "
                          "characters (shown as \\xHH)");
    QTest::newRow("line of 8 MB")
        << QByteArray("FOLDR=") + QByteArray(8 << 20, 'a')
        << QStringLiteral(
               "/c/bench.conf:1: FOLDR=aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
               "... (8388614 characters): unknown key (the keys are PORT, POWER, INTERVAL, "
               "SEPARATOR, DECIMAL_COMMA, FOLDER, MQTT_URL, MQTT_PASSWORD_FILE, "
               "MQTT_NAME, MQTT_DISCOVERY, METRICS, ALARM, ALARM_HYSTERESIS, ON_ALARM)");
}

void TestService::confFileSetsOptionsOrNamesLineAndKey()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);

    const ServiceConfResult result =
        parseServiceConf(QStringLiteral("/c/bench.conf"), text, QStringLiteral("/home/u"));
    if (!result.conf) {
        QCOMPARE(result.error, expected);
        return;
    }
    const ServiceConf& conf = *result.conf;
    const QString dash = QStringLiteral("-");
    const QStringList got{conf.port.value_or(dash),
                          conf.intervalSeconds ? QString::number(*conf.intervalSeconds) : dash,
                          conf.separator ? QString(QLatin1Char(*conf.separator)) : dash,
                          conf.decimalComma ? QString::number(*conf.decimalComma) : dash,
                          conf.folder.value_or(dash)};
    QCOMPARE(got.join(u'|'), expected);
}

void TestService::confErrorsEndTheRunWithTheirReason_data()
{
    QTest::addColumn<QByteArray>("text"); // the conf file; DIR is the test's folder
    QTest::addColumn<QString>("message"); // standard error; CONF is the conf file
    QTest::newRow("NUL in a line")
        << QByteArray("PORT=COM1\0\nINTERVAL=x\0y\n", 23)
        << "dmm-log: CONF:1: PORT=COM1\\x00: a line may hold no control characters (shown as "
           "\\xHH)\n";
    QTest::newRow("folder under a file")
        << QByteArray("PORT=COM1\nFOLDER=DIR/file/logs\n")
        << "dmm-log: CONF:2: FOLDER=DIR/file/logs: cannot make the folder (DIR/file/logs: Not a "
           "directory)\n";
}

void TestService::confErrorsEndTheRunWithTheirReason()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QFile file(dir.filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QFile conf(dir.filePath("bench.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(text.replace("DIR", QFile::encodeName(dir.path())));
    conf.close();
    QProcess log;
    log.start(QStringLiteral(DMM_LOG_PATH), {"--conf", conf.fileName(), "--count", "1"});
    QVERIFY(log.waitForFinished(10000));
    QCOMPARE(log.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(log.readAllStandardError()),
             message.replace("CONF", conf.fileName()).replace("DIR", dir.path()));
}

void TestService::notifiesReadyStatusAndWatchdogOnlyWhileTheLoopRuns()
{
    SimProcess sim;
    QVERIFY2(sim.start({"--scenario", "steady", "--period", "100"}),
             qPrintable(sim.process().readAll()));
    QTemporaryDir scratch;
    NotifySocket socket(scratch.filePath(QStringLiteral("notify")));
    QVERIFY(socket.isValid());

    // Standard output is a pipe of one page that the test fills all but a
    // few lines of: dmm-log's write then blocks, as on a stuck disk or
    // terminal, and with it the whole loop.
    int out[2];
    QVERIFY(::pipe2(out, O_CLOEXEC) == 0);
    const int capacity = ::fcntl(out[1], F_SETPIPE_SZ, 4096);
    QVERIFY(capacity > 0);
    const QByteArray filler(capacity - 200, 'x');
    QCOMPARE(::write(out[1], filler.constData(), filler.size()), filler.size());

    QProcess log;
    const int writeEnd = out[1];
    log.setChildProcessModifier([writeEnd] { ::dup2(writeEnd, STDOUT_FILENO); });
    startUnderNotify(log, sim, scratch.filePath(QStringLiteral("notify")), "1000000");
    QVERIFY(log.waitForStarted());

    QStringList seen;
    QTRY_VERIFY_WITH_TIMEOUT((seen += socket.take(), countOf(seen, "WATCHDOG=1") >= 2), 10000);
    QVERIFY2(seen.first().startsWith(QStringLiteral("READY=1\nSTATUS=logging, 0 readings")),
             qPrintable(seen.join(u'/')));
    QVERIFY2(countOf(seen, QStringLiteral("STATUS=logging, 1 readings")) +
                     countOf(seen, QStringLiteral("STATUS=logging, 2 readings")) >=
                 1,
             qPrintable(seen.join(u'/')));

    // Stalled: the pipe is full. No ping for well over the interval.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            int queued = 0;
            ::ioctl(out[0], FIONREAD, &queued);
            return queued > capacity - 80;
        }(),
        10000);
    // The last line that still fitted may take one more tick.
    QTest::qWait(1500);
    socket.take();
    QTest::qWait(2500);
    QCOMPARE(countOf(socket.take(), QStringLiteral("WATCHDOG=1")), 0);

    // Unstalled: the pings come back.
    QByteArray drain(capacity, 0);
    QVERIFY(::read(out[0], drain.data(), drain.size()) > 0);
    seen.clear();
    QTRY_VERIFY_WITH_TIMEOUT((seen += socket.take(), countOf(seen, "WATCHDOG=1") >= 1), 5000);

    ::close(out[1]);
    log.terminate();
    QVERIFY(log.waitForFinished(10000));
    QVERIFY(countOf(socket.take(), QStringLiteral("STOPPING=1")) == 1);
    ::close(out[0]);
}

void TestService::replugIsAnnouncedAndShownInTheStatus()
{
    SimProcess sim;
    QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
    QTemporaryDir scratch;
    NotifySocket socket(scratch.filePath(QStringLiteral("notify")));
    QVERIFY(socket.isValid());
    QProcess log;
    startUnderNotify(log, sim, scratch.filePath(QStringLiteral("notify")));
    QTRY_VERIFY_WITH_TIMEOUT(log.bytesAvailable() > 0, 10000);

    // Pulled out: the silence is reported and shown in the status.
    QVERIFY(sim.terminate());
    QString errors;
    QStringList seen;
    QTRY_VERIFY_WITH_TIMEOUT((errors += log.readAllStandardError(), errors.contains("W8004")),
                             20000);
    seen += socket.take();
    QVERIFY2(seen.join(u'/').contains(QStringLiteral("STATUS=waiting for the adapter, ")),
             qPrintable(seen.join(u'/')));
    QVERIFY(!errors.contains(QStringLiteral("readings flow again")));

    // Plugged in again: one line says so, after the warning.
    QVERIFY(sim.restart({"--scenario", "steady", "--period", "100"}));
    QTRY_VERIFY_WITH_TIMEOUT(
        (errors += log.readAllStandardError(), errors.contains("readings flow again")), 20000);
    QVERIFY(errors.indexOf(QStringLiteral("W8004")) <
            errors.indexOf(QStringLiteral("readings flow again")));
    QCOMPARE(errors.count(QStringLiteral("readings flow again")), 1);
    QTRY_VERIFY_WITH_TIMEOUT(
        (seen += socket.take(),
         !seen.isEmpty() && seen.last().contains(QStringLiteral("STATUS=logging, "))),
        5000);
    log.terminate();
    QVERIFY(log.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
