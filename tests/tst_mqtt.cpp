// SPDX-License-Identifier: MIT
// dmm-log --mqtt against a real mosquitto broker that each test starts on a
// free localhost port with its own config; mosquitto_sub collects what arrives.
#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "MqttUrl.h"
#include "SimProcess.h"

using namespace std::chrono_literals;

namespace {

QString brokerProgram()
{
    return QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/local/sbin"});
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    ::close(fd);
    return ok ? ntohs(address.sin_port) : 0;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
{
    QDeadlineTimer deadline(timeout);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(20);
    return done();
}

class Broker
{
public:
    Broker() : m_port(freePort()) {}
    ~Broker() { stop(); }
    bool start(const QString& extra = {})
    {
        QFile conf(m_dir.filePath("m.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral("listener %1 127.0.0.1\npersistence true\n"
                                  "persistence_location %2/\n%3\n%4\n")
                       .arg(m_port)
                       .arg(m_dir.path(), ::getuid() == 0 ? "user root" : "",
                            extra.isEmpty() ? "allow_anonymous true" : extra)
                       .toUtf8());
        conf.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(brokerProgram(), {"-c", conf.fileName()});
        QByteArray said;
        return m_process.waitForStarted(3000) &&
               waitFor([&] { return (said += m_process.readAll()).contains(" running"); }, 5s);
    }
    void stop()
    {
        m_process.terminate(); // saves the sessions for the restart
        m_process.waitForFinished(5000);
    }
    QString dir() const { return m_dir.path(); }
    QString url(const QString& user = {}) const
    {
        return "mqtt://" + (user.isEmpty() ? "" : user + '@') + "127.0.0.1:" +
               QString::number(m_port) + "/lab";
    }
    int port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port;
};

// mosquitto_sub -v with a session kept across a broker restart.
class Subscriber
{
public:
    bool start(int port)
    {
        // stdbuf: each line as it comes, not when the pipe's buffer fills.
        m_process.start("stdbuf", {"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(port), "-d",
                                          "-v", "-q", "1", "-c", "-i", "tst", "-t", "lab/#"});
        return heard("SUBACK");
    }
    ~Subscriber()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    // Everything printed so far; topic lines are "lab/NAME/KIND PAYLOAD".
    QString collect()
    {
        m_text += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_text;
    }
    // Whether `text` arrived within ten seconds.
    bool heard(const QString& text)
    {
        return waitFor([&] { return collect().contains(text); });
    }
    QList<QJsonObject> readings()
    {
        QList<QJsonObject> list;
        for (const QString& line : collect().split('\n'))
            if (line.startsWith("lab/COM1/reading "))
                list << QJsonDocument::fromJson(line.section(' ', 1).toUtf8()).object();
        return list;
    }

private:
    QProcess m_process;
    QString m_text;
};

bool haveBroker()
{
    return !brokerProgram().isEmpty() &&
           !QStandardPaths::findExecutable("mosquitto_sub").isEmpty();
}

} // namespace

class TestMqtt : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!haveBroker())
            QSKIP("mosquitto and mosquitto_sub are not installed (scripts/install-deps.sh)");
        m_sim = std::make_unique<SimProcess>();
        QVERIFY(m_sim->start({"--scenario", "sweep", "--period", "100"}));
        m_log.setWorkingDirectory(m_sim->directory());
    }
    void cleanup()
    {
        m_log.kill();
        m_log.waitForFinished(3000);
    }

    void addressErrors_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("error");
        QTest::newRow("password") << "mqtt://u:pw@h/p" << "a password does not belong";
        QTest::newRow("scheme") << "http://h/p" << "needs mqtt:// or mqtts://";
        QTest::newRow("no prefix") << "mqtt://h" << "names no topic prefix";
        QTest::newRow("wildcard") << "mqtt://h/a/+" << "may not hold +, #";
    }
    void addressErrors()
    {
        QFETCH(QString, url);
        QFETCH(QString, error);
        QVERIFY2(dmm::logtool::parseMqttUrl(url).error.contains(error),
                 qPrintable(dmm::logtool::parseMqttUrl(url).error));
    }

    void everyReadingArrivesOnceInOrderAsInTheCsv()
    {
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        QVERIFY(runLog({"--csv", "a.csv", "--quiet", "--count", "5", "--mqtt", broker.url()}));
        QVERIFY(m_log.waitForFinished(10000));
        QVERIFY(sub.heard("lab/COM1/status offline"));
        QFile csv(m_sim->directory() + "/a.csv");
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(csv.readAll()).split('\n').mid(1, 5);
        const auto readings = sub.readings();
        QCOMPARE(readings.size(), 5);
        for (int i = 0; i < 5; ++i) {
            const QStringList cells = rows[i].split(',');
            QCOMPARE(readings[i]["seq"].toInt(), i + 1);
            QCOMPARE(readings[i]["time"].toString().left(23), cells[0]);
            QCOMPARE(readings[i]["time"].toString().size(), 29); // "+01:00"
            QCOMPARE(readings[i]["value"].toDouble(), cells[1].toDouble());
            QCOMPARE(readings[i]["unit"].toString(), cells[2]);
        }
        QVERIFY(sub.collect().contains("lab/COM1/status online\n"));
        QVERIFY(sub.collect().contains("lab/COM1/meta {\"program\":\"dmm-log\""));
    }

    void brokerRestartedMidRunLosesNoReading()
    {
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        QVERIFY(runLog({"--csv", "a.csv", "--quiet", "--count", "12", "--mqtt", broker.url()}));
        QVERIFY(waitFor([&] { return sub.readings().size() >= 2; }));
        broker.stop();
        QTest::qWait(1500);
        QVERIFY(broker.start());
        QVERIFY(m_log.waitForFinished(15000));
        // (The broker says the will "offline" as it goes down: no end mark.)
        QVERIFY(sub.heard("\"seq\":12}"));
        // QoS 1 may bring a reading twice, always with its own seq.
        int highest = 0;
        QMap<int, QJsonObject> seen;
        for (const QJsonObject& reading : sub.readings()) {
            const int seq = reading["seq"].toInt();
            if (seen.contains(seq)) {
                QCOMPARE(reading, seen[seq]);
                continue;
            }
            QCOMPARE(seq, highest + 1);
            highest = seq;
            seen[seq] = reading;
        }
        QCOMPARE(highest, 12);
        const QString err = QString::fromUtf8(m_log.readAllStandardError());
        QCOMPARE(err.count("the connection was lost; readings are kept"), 1);
        QVERIFY2(err.contains(QRegularExpression("delivered again, \\d+ queued readings sent")),
                 qPrintable(err));
    }

    void killedLoggerLeavesOfflineAsItsLastWill()
    {
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        QVERIFY(runLog({"--quiet", "--csv", "a.csv", "--mqtt", broker.url()}));
        QVERIFY(waitFor([&] { return sub.readings().size() >= 1; }));
        ::kill(static_cast<pid_t>(m_log.processId()), SIGKILL);
        QVERIFY(sub.heard("lab/COM1/status offline"));
    }

    void brokerFailureIsSaidAndLoggingGoesOn_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << "password"
                                        << "the broker refused the login: not authorised";
        QTest::newRow("unknown host") << "host" << "unknown host no-such-broker.invalid";
    }
    void brokerFailureIsSaidAndLoggingGoesOn()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        Broker broker;
        const QString passwords = broker.dir() + "/passwd";
        QCOMPARE(QProcess::execute("mosquitto_passwd", {"-c", "-b", passwords, "bench", "right"}), 0);
        QFile wrong(broker.dir() + "/wrong");
        QVERIFY(wrong.open(QIODevice::WriteOnly) && wrong.write("not-the-password\n") > 0);
        wrong.close();
        wrong.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(broker.start("allow_anonymous false\npassword_file " + passwords));
        const QString url = how == "host" ? "mqtt://no-such-broker.invalid/lab" : broker.url("bench");
        QStringList args{"--csv", "a.csv", "--quiet", "--count", "3", "--mqtt", url};
        if (how == "password")
            args << "--mqtt-password-file" << wrong.fileName();
        QVERIFY(runLog(args));
        QVERIFY(m_log.waitForFinished(10000));
        const QByteArray err = m_log.readAllStandardError();
        QVERIFY2(m_log.exitCode() == 0 && err.contains(message.toUtf8()), err.constData());
        QFile csv(m_sim->directory() + "/a.csv");
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), 4);
    }

    void fullQueueDropsTheOldestAndSaysHowMany()
    {
        Broker broker; // started only after five readings, for a queue of two
        QVERIFY(runLog({"--quiet", "--csv", "a.csv", "--mqtt", broker.url(), "--mqtt-queue", "2"}));
        QVERIFY(waitFor([&] { return QFile(m_sim->directory() + "/a.csv").size() > 200; }));
        QVERIFY(broker.start());
        Subscriber sub;
        QVERIFY(sub.start(broker.port()));
        QVERIFY(sub.heard("lab/COM1/dropped "));
        const QString err = QString::fromUtf8(m_log.readAllStandardError());
        QCOMPARE(err.count("the MQTT queue is full (2 readings): the oldest are dropped"), 1);
    }

    void readingsInFlightAreSentAgainAfterTheConnectionDies()
    {
        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty())
            QSKIP("python3 stands in for the network between dmm-log and the broker");
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        // A relay between dmm-log and the broker: stopped, it holds what
        // dmm-log sends, as a broker that has stopped answering; killed, the
        // connection dies; started again on the same port, dmm-log is back.
        const QString relayCode =
            "import socket,sys,threading\n"
            "s=socket.create_server(('127.0.0.1',int(sys.argv[1])))\n"
            "print('ready',flush=True)\n"
            "def pipe(a,b):\n"
            "  try:\n"
            "    while d:=a.recv(65536): b.sendall(d)\n"
            "  except OSError: pass\n"
            "  a.close(); b.close()\n"
            "while True:\n"
            "  c=s.accept()[0]; u=socket.create_connection(('127.0.0.1',int(sys.argv[2])))\n"
            "  for a,b in ((c,u),(u,c)): threading.Thread(target=pipe,args=(a,b)).start()\n";
        const QStringList relayArguments{"-c", relayCode, QString::number(freePort()),
                                         QString::number(broker.port())};
        QProcess relay;
        const auto stopRelay = qScopeGuard([&] {
            relay.kill();
            relay.waitForFinished(5000);
        });
        const auto startRelay = [&] {
            relay.start(python, relayArguments);
            QByteArray said;
            return waitFor([&] { return (said += relay.readAll()).contains("ready"); }, 5s);
        };
        QVERIFY(startRelay());
        QVERIFY(runLog({"--csv", "a.csv", "--quiet", "--count", "6", "--mqtt",
                        "mqtt://127.0.0.1:" + relayArguments[2] + "/lab"}));
        QVERIFY(waitFor([&] { return sub.readings().size() >= 2; }));
        ::kill(pid_t(relay.processId()), SIGSTOP);
        const int arrived = sub.readings().size();
        const auto logged = [&] {
            QFile csv(m_sim->directory() + "/a.csv");
            return csv.open(QIODevice::ReadOnly) ? csv.readAll().count('\n') - 1 : 0;
        };
        // Two readings sent while the relay holds them wait for their PUBACK.
        QVERIFY(waitFor([&] { return logged() >= arrived + 2; }));
        relay.kill();
        QVERIFY(relay.waitForFinished(5000) && startRelay());
        QVERIFY(sub.heard("\"seq\":6}"));
        QSet<int> seqs;
        for (const QJsonObject& reading : sub.readings())
            seqs << reading["seq"].toInt();
        QCOMPARE(seqs, (QSet<int>{1, 2, 3, 4, 5, 6}));
        QVERIFY(waitFor([&] { return m_log.state() == QProcess::NotRunning; }));
        const QString err = QString::fromUtf8(m_log.readAllStandardError());
        QVERIFY2(err.contains("delivered again") && !err.contains("not delivered"),
                 qPrintable(err));
    }

private:
    bool runLog(const QStringList& arguments)
    {
        m_log.start(DMM_LOG_PATH, QStringList{"--port", "COM1"} + arguments);
        return m_log.waitForStarted(5000);
    }

    std::unique_ptr<SimProcess> m_sim;
    QProcess m_log;
};

QTEST_GUILESS_MAIN(TestMqtt)
#include "tst_mqtt.moc"
