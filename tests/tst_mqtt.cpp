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
#include <cstdio>

#include "FreePort.h"
#include "LogOptions.h"
#include "MqttPublisher.h"
#include "MqttUrl.h"
#include "SimProcess.h"

using namespace std::chrono_literals;

namespace {

QString brokerProgram()
{
    return QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/local/sbin"});
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
    Broker() : m_port(freeLocalPort()) {}
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
        return "mqtt://" + (user.isEmpty() ? "" : user + '@') +
               "127.0.0.1:" + QString::number(m_port) + "/lab";
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
        m_process.start("stdbuf",
                        {"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(port),
                         "-d", "-v", "-q", "1", "-c", "-i", "tst", "-t", "lab/#"});
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
    return !brokerProgram().isEmpty() && !QStandardPaths::findExecutable("mosquitto_sub").isEmpty();
}

// What the broker keeps on `topic`, as mosquitto_sub prints it.
QByteArray retainedOn(int port, const QString& topic)
{
    QProcess sub;
    sub.start("mosquitto_sub",
              {"-h", "127.0.0.1", "-p", QString::number(port), "-t", topic, "-C", "1", "-W", "5"});
    sub.waitForFinished(10000);
    return sub.readAllStandardOutput();
}

// A port that takes connections and never says a word: a listening socket
// that accepts nothing (the system completes the connection all the same).
class SilentServer
{
public:
    SilentServer() : m_port(freeLocalPort())
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(m_port));
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 8) != 0)
            m_port = 0;
    }
    ~SilentServer() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port;
};

// A self-signed certificate for 127.0.0.1 and its key, in `dir`.
bool makeCertificate(const QString& dir)
{
    return QProcess::execute("openssl",
                             {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                              "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                              "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                              dir + "/key.pem", "-out", dir + "/cert.pem"}) == 0;
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

    // What is said of each bad setting: by the option parser, or by the
    // publisher (in this process, with a short login time) on its first try.
    // <silent>, <tls> and <plain> stand for the ports of a server that never
    // answers and of a broker's listeners with and without TLS.
    void texts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString longPrefix(70000, 'p');
        const QString longName(70000, 'n');
        const QString kept = "; readings are kept (up to 172800) and sent when it is back";
        QTest::newRow("password in the address")
            << QStringList{"--mqtt", "mqtt://bench:s3cret@h/lab"}
            << "--mqtt mqtt://bench:***@h/lab: a password does not belong in the address, where "
               "every user of the machine can read it: put it in a file of mode 0600 and give "
               "--mqtt-password-file";
        QTest::newRow("no such CA file")
            << QStringList{"--mqtt", "mqtts://h/lab", "--mqtt-ca", "/nonexistent/ca.pem"}
            << "--mqtt-ca /nonexistent/ca.pem: No such file or directory";
        QTest::newRow("prefix of 70000 characters")
            << QStringList{"--mqtt", "mqtt://h/" + longPrefix}
            << "--mqtt mqtt://h/" + longPrefix.left(51) +
                   "... (70009 characters): makes the topic PREFIX/NAME/reading 70013 bytes "
                   "long; MQTT carries at most 65535";
        QTest::newRow("name of 70000 characters")
            << QStringList{"--mqtt", "mqtt://h/lab", "--name", longName}
            << "--name " + longName.left(60) +
                   "... (70000 characters): makes the topic PREFIX/NAME/reading 70012 bytes "
                   "long; MQTT carries at most 65535";
        QTest::newRow("name with an escape")
            << QStringList{"--mqtt", "mqtt://h/lab", "--name", "a\x1b[2Jb"}
            << "--name a\\x1B[2Jb: needs a name without /, + or # and without control characters";
        QTest::newRow("no answer to the login")
            << QStringList{"--mqtt", "mqtt://127.0.0.1:<silent>/lab"}
            << "broker 127.0.0.1:<silent>: no answer to the login within 0.5 s: not an MQTT port, "
               "or one for TLS (mqtts://)" +
                   kept;
        QTest::newRow("mqtt:// to a TLS port")
            << QStringList{"--mqtt", "mqtt://127.0.0.1:<tls>/lab"}
            << "broker 127.0.0.1:<tls>: the connection was closed before the broker answered the "
               "login: a TLS port needs mqtts://" +
                   kept;
        QTest::newRow("mqtts:// to a port without TLS")
            << QStringList{"--mqtt", "mqtts://127.0.0.1:<plain>/lab", "--mqtt-ca", "<cert>"}
            << "broker 127.0.0.1:<plain>: TLS failed: the broker does not answer in TLS on this "
               "port (a port without TLS needs mqtt://)" +
                   kept;
    }
    void texts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        SilentServer silent;
        QVERIFY(silent.port() > 0);
        Broker broker;
        QMap<QString, QString> stands{{"<silent>", QString::number(silent.port())}};
        if (arguments.join(' ').contains(QRegularExpression("<tls>|<plain>"))) {
            if (QStandardPaths::findExecutable("openssl").isEmpty())
                QSKIP("openssl is not installed: no certificate for a TLS listener");
            const int tlsPort = freeLocalPort();
            QVERIFY(makeCertificate(broker.dir()) &&
                    broker.start(QStringLiteral("allow_anonymous true\nlistener %1 127.0.0.1\n"
                                                "certfile %2/cert.pem\nkeyfile %2/key.pem")
                                     .arg(tlsPort)
                                     .arg(broker.dir())));
            stands.insert("<tls>", QString::number(tlsPort));
            stands.insert("<plain>", QString::number(broker.port()));
            stands.insert("<cert>", broker.dir() + "/cert.pem");
        }
        for (auto it = stands.cbegin(); it != stands.cend(); ++it) {
            arguments.replaceInStrings(it.key(), it.value());
            message.replace(it.key(), it.value());
        }

        const auto parsed =
            dmm::logtool::parseLogArguments(QStringList{"dmm-log", "--port", "COM1"} + arguments);
        if (!parsed.options) {
            QCOMPARE(parsed.error, message);
            return;
        }
        QVERIFY(parsed.options->mqtt);
        auto settings = *parsed.options->mqtt;
        settings.loginTimeout = 500ms;
        QTemporaryDir dir;
        const QString said = dir.filePath("err");
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> err(
            std::fopen(QFile::encodeName(said).constData(), "w"), &std::fclose);
        QVERIFY(err);
        dmm::logtool::MqttPublisher publisher(settings, err.get());
        QString error;
        QVERIFY2(publisher.start("{}", &error), qPrintable(error));
        QString firstLine;
        QVERIFY(waitFor([&] {
            QFile file(said);
            file.open(QIODevice::ReadOnly);
            firstLine = QString::fromUtf8(file.readLine());
            return firstLine.endsWith('\n');
        }));
        // "dmm-log: TIME MQTT what is said"
        QCOMPARE(firstLine.section(" MQTT ", 1).chopped(1), message);
    }

    void everyReadingArrivesOnceInOrderAsInTheCsv()
    {
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        QVERIFY(runLog({"--csv", "a.csv", "--quiet", "--count", "5", "--mqtt", broker.url()}));
        QVERIFY(m_log.waitForFinished(10000));
        QVERIFY(sub.heard("lab/COM1/status {\"state\":\"offline\""));
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
        QVERIFY(sub.collect().contains(QRegularExpression(
            "lab/COM1/status \\{\"state\":\"online\",\"run\":\"[0-9a-f]{16}\",")));
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
        QVERIFY(sub.heard("lab/COM1/status {\"state\":\"offline\""));
    }

    void brokerFailureIsSaidAndLoggingGoesOn_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << "password"
                                        << "the broker refused the login: not authorised";
        QTest::newRow("unknown host") << "host"
                                      << "unknown host no-such-broker.invalid";
    }
    void brokerFailureIsSaidAndLoggingGoesOn()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        Broker broker;
        const QString passwords = broker.dir() + "/passwd";
        QCOMPARE(QProcess::execute("mosquitto_passwd", {"-c", "-b", passwords, "bench", "right"}),
                 0);
        QFile wrong(broker.dir() + "/wrong");
        QVERIFY(wrong.open(QIODevice::WriteOnly) && wrong.write("not-the-password\n") > 0);
        wrong.close();
        wrong.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(broker.start("allow_anonymous false\npassword_file " + passwords));
        const QString url =
            how == "host" ? "mqtt://no-such-broker.invalid/lab" : broker.url("bench");
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

    void droppedCountOfAnEarlierRunIsCleared()
    {
        Broker broker;
        QVERIFY(broker.start());
        // What a run that dropped readings left on the broker.
        QCOMPARE(QProcess::execute("mosquitto_pub",
                                   {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-r",
                                    "-q", "1", "-t", "lab/COM1/dropped", "-m", "17"}),
                 0);
        QVERIFY(runLog({"--quiet", "--csv", "a.csv", "--count", "1", "--mqtt", broker.url()}));
        QVERIFY(m_log.waitForFinished(10000));
        QCOMPARE(retainedOn(broker.port(), "lab/COM1/dropped"), QByteArray("0\n"));
    }

    // Each reading's payload as the broker gets it, for frames of known readings.
    void readingPayloads_data()
    {
        QTest::addColumn<QString>("show");    // a simulator script's show line
        QTest::addColumn<QString>("payload"); // the payload after "time"
        QTest::newRow("whole volts: still a float")
            << "show 6 375.0"
            << "\"value\":375.0,\"unit\":\"V\",\"display\":\"375.0\",\"function\":6,"
               "\"functionName\":\"DC V\",\"overload\":false,\"seq\":1}";
        QTest::newRow("kilo-ohms")
            << "show 128 1.234 k"
            << "\"value\":1234.0,\"unit\":\"Ω\",\"display\":\"1.234K\",\"function\":128,"
               "\"functionName\":\"Ω\",\"overload\":false,\"seq\":1}";
        QTest::newRow("AC+DC volts")
            << "show 7 1.234"
            << "\"value\":1.234,\"unit\":\"V\",\"display\":\"1.234\",\"function\":7,"
               "\"functionName\":\"DC+AC V\",\"overload\":false,\"seq\":1}";
        QTest::newRow("degrees")
            << "show 32 25.3"
            << "\"value\":25.3,\"unit\":\"°C\",\"display\":\"25.3\",\"function\":32,"
               "\"functionName\":\"°C\",\"overload\":false,\"seq\":1}";
    }
    void readingPayloads()
    {
        QFETCH(QString, show);
        QFETCH(QString, payload);
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        QVERIFY(restartSim("period 100\nrepeat 100\n" + show + "\nend\n"));
        QVERIFY(runLog({"--quiet", "--csv", "a.csv", "--count", "1", "--mqtt", broker.url()}));
        QVERIFY(sub.heard("\"seq\":1}"));
        const QString line = sub.collect().section("lab/COM1/reading ", 1).section('\n', 0, 0);
        QCOMPARE(line.mid(line.indexOf("\"value\"")), payload);
    }

    // The meter's warnings reach the retained status as they come and go.
    void statusFollowsLowBatteryAndSilence()
    {
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        // Frames without their first byte read as nothing received.
        QVERIFY(restartSim("period 100\nrepeat 10\nshow 6 1.234 lowbat\nend\nrepeat 25\n"
                           "partial 14 20 31 4A 5B 6D 78 8F 94 AE B0 C0 D0 E4 F0\nend\n"
                           "repeat 1000\nshow 6 1.234\nend\n"));
        QVERIFY(runLog({"--quiet", "--csv", "a.csv", "--mqtt", broker.url()}));
        const QString calm = "\"lowBattery\":false,\"silent\":false}";
        QVERIFY(sub.heard("\"lowBattery\":true,\"silent\":false}"));
        QVERIFY(sub.heard("\"lowBattery\":false,\"silent\":true}"));
        QVERIFY(waitFor([&] { return sub.collect().count(calm) >= 2; }, 15s));
        QStringList states;
        for (const QString& line : sub.collect().split('\n'))
            if (line.startsWith("lab/COM1/status "))
                states << line.section("\"run\":", 1).section(',', 1);
        // The first reading may come before the broker's answer to the login.
        if (states.value(0) == calm)
            states.removeFirst();
        QCOMPARE(states.mid(0, 3), QStringList({"\"lowBattery\":true,\"silent\":false}",
                                                "\"lowBattery\":false,\"silent\":true}", calm}));
    }

    // Two loggers with one NAME: each says so, and the one that goes on
    // keeps the status "online" after the other has ended.
    void secondLoggerOfTheSameNameIsReported()
    {
        Broker broker;
        QVERIFY(broker.start());
        SimProcess otherSim;
        QVERIFY(otherSim.start({"--scenario", "steady", "--period", "100"}));
        const QStringList arguments{"--quiet", "--csv",  "a.csv",     "--name",
                                    "bench",   "--mqtt", broker.url()};
        QVERIFY(runLog(arguments));
        QProcess other;
        other.setWorkingDirectory(otherSim.directory());
        other.start(DMM_LOG_PATH, QStringList{"--port", "COM1"} + arguments);
        QVERIFY(other.waitForStarted(5000));
        const QRegularExpression said("MQTT another logger publishes as lab/bench \\(run "
                                      "[0-9a-f]{16}, this run is [0-9a-f]{16}\\): "
                                      "the readings of both mix on lab/bench/reading; give each "
                                      "logger its own NAME \\(--name or MQTT_NAME=\\)\\n");
        QString firstErr;
        QString otherErr;
        QVERIFY(waitFor([&] {
            firstErr += QString::fromUtf8(m_log.readAllStandardError());
            otherErr += QString::fromUtf8(other.readAllStandardError());
            return firstErr.contains(said) && otherErr.contains(said);
        }));
        QCOMPARE(firstErr.count(said), 1);
        QCOMPARE(otherErr.count(said), 1);
        // The first ends; the status stays the other's "online".
        m_log.terminate();
        QVERIFY(m_log.waitForFinished(10000));
        const QString otherRun = otherErr.section("this run is ", 1).left(16);
        QVERIFY(waitFor([&] {
            return retainedOn(broker.port(), "lab/bench/status")
                .startsWith("{\"state\":\"online\",\"run\":\"" + otherRun.toUtf8());
        }));
        other.terminate();
        QVERIFY(other.waitForFinished(10000));
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
        const QStringList relayArguments{"-c", relayCode, QString::number(freeLocalPort()),
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

    // An alarm run: each change of state once on standard error, once as
    // the retained PREFIX/NAME/alarm and once through the --on-alarm script,
    // which writes its environment to a file.
    void alarmChangesAreSaidPublishedAndRunOnce()
    {
        Broker broker;
        Subscriber sub;
        QVERIFY(broker.start() && sub.start(broker.port()));
        // normal; high; 4.19 held high by the hysteresis; ohms leave the state;
        // normal; low; a negative overload stays low; an overload is high; normal.
        // The first block is long enough for the logger to start within it.
        QString script = "period 100\nrepeat 20\nshow 6 3.500\nend\n";
        for (const char* show : {"6 3.500", "6 4.500", "6 4.190", "128 1.234 k", "6 4.000",
                                 "6 2.500", "6 -_0.L_", "6 _0.L_"})
            script += QStringLiteral("repeat 12\nshow %1\nend\n").arg(show);
        QVERIFY(restartSim(script + "repeat 1000\nshow 6 3.500\nend\n"));
        const QString dir = m_sim->directory();
        QFile notify(dir + "/notify.sh");
        QVERIFY(notify.open(QIODevice::WriteOnly));
        notify.write("#!/bin/sh\necho \"$DMM_ALARM|$DMM_VALUE|$DMM_UNIT|$DMM_NAME|$DMM_TIME\" "
                     ">>\"$1\"\n");
        notify.close();
        QVERIFY(notify.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(runLog({"--quiet", "--csv", "a.csv", "--mqtt", broker.url(), "--alarm", "3:4.2",
                        "--alarm-hysteresis", "0.05", "--on-alarm",
                        "\"" + notify.fileName() + "\" \"" + dir + "/runs file\""}));
        QVERIFY(waitFor([&] { return sub.collect().count("lab/COM1/alarm ") >= 6; }, 30s));
        QFile runs(dir + "/runs file");
        QVERIFY(waitFor([&] {
            QFile file(runs.fileName());
            return file.open(QIODevice::ReadOnly) && file.readAll().count('\n') >= 5;
        }));
        m_log.terminate();
        QVERIFY(m_log.waitForFinished(10000));
        QCOMPARE(m_log.exitCode(), 0);

        QStringList published;
        for (const QString& line : sub.collect().split('\n'))
            if (line.startsWith("lab/COM1/alarm "))
                published << line.section(' ', 1).section(",\"time\"", 0, 0) +
                                 line.section("\"overload\"", 1);
        QCOMPARE(
            published,
            QStringList(
                {"{\"state\":\"normal\",\"value\":3.5,\"unit\":\"V\":false,\"previous\":null}",
                 "{\"state\":\"high\",\"value\":4.5,\"unit\":\"V\":false,\"previous\":\"normal\"}",
                 "{\"state\":\"normal\",\"value\":4.0,\"unit\":\"V\":false,\"previous\":\"high\"}",
                 "{\"state\":\"low\",\"value\":2.5,\"unit\":\"V\":false,\"previous\":\"normal\"}",
                 "{\"state\":\"high\",\"value\":null,\"unit\":\"V\":true,\"previous\":\"low\"}",
                 "{\"state\":\"normal\",\"value\":3.5,\"unit\":\"V\":false,\"previous\":"
                 "\"high\"}"}));
        QVERIFY(retainedOn(broker.port(), "lab/COM1/alarm").startsWith("{\"state\":\"normal\""));

        QVERIFY(runs.open(QIODevice::ReadOnly));
        QStringList ran = QString::fromUtf8(runs.readAll()).split('\n', Qt::SkipEmptyParts);
        for (QString& line : ran) {
            QVERIFY2(line.section('|', 4).contains(QRegularExpression(
                         "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")),
                     qPrintable(line));
            line = line.section('|', 0, 3);
        }
        QCOMPARE(ran, QStringList({"high|4.5|V|COM1", "normal|4|V|COM1", "low|2.5|V|COM1",
                                   "high|inf|V|COM1", "normal|3.5|V|COM1"}));
        const QString err = QString::fromUtf8(m_log.readAllStandardError());
        QVERIFY2(err.contains("dmm-log: alarm COM1: limits 3:4.2 V, the unit of the first reading, "
                              "hysteresis 0.05\n"),
                 qPrintable(err));
        QCOMPARE(err.count(QRegularExpression("\\d alarm COM1: \\w+, .* \\(was \\w+\\)\n")), 5);
        QVERIFY2(err.contains(" alarm COM1: high, overload V (was low)\n"), qPrintable(err));
        QCOMPARE(err.count("--on-alarm for COM1 "), 5);
        QVERIFY2(err.contains("dmm-log: --on-alarm for COM1 normal: exit status 0\n"),
                 qPrintable(err));
    }

private:
    bool restartSim(const QString& script)
    {
        QFile file(m_sim->directory() + "/script.txt");
        return file.open(QIODevice::WriteOnly) && file.write(script.toUtf8()) > 0 && file.flush() &&
               m_sim->restart({"--script", file.fileName()});
    }
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
