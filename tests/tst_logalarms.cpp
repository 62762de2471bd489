// SPDX-License-Identifier: MIT
// dmm-log's alarm options and its --on-alarm command: one at a time, ended
// after its timeout, its exit status and standard error reported.
#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

#include "AlarmCommand.h"
#include "LogOptions.h"

using namespace dmm;
using namespace dmm::logtool;
using namespace std::chrono_literals;

namespace {

// What the command says on "standard error", read back.
class ErrorText
{
public:
    ErrorText() : m_file(std::tmpfile()) {}
    ~ErrorText() { std::fclose(m_file); }
    std::FILE* file() const { return m_file; }
    QString text() const
    {
        std::fflush(m_file);
        std::rewind(m_file);
        QByteArray bytes;
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, m_file))
            bytes.append(buffer, static_cast<qsizetype>(n));
        std::fseek(m_file, 0, SEEK_END);
        return QString::fromUtf8(bytes);
    }

private:
    std::FILE* m_file;
};

AlarmEvent eventOf(AlarmState state)
{
    AlarmEvent event;
    event.name = QStringLiteral("bench");
    event.state = state;
    event.previous = AlarmState::Normal;
    event.time = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 3, 456));
    event.value = "4.31";
    event.unit = "V";
    return event;
}

} // namespace

class TestLogAlarms : public QObject
{
    Q_OBJECT
private slots:
    void options_data();
    void options();
    void fromAConfFile();
    void outcome_data();
    void outcome();
    void oneAtATime();
};

void TestLogAlarms::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("result"); // the error, or "ok LOW:HIGH h NAME words"
    QTest::newRow("the only meter") << QStringList{"--alarm", "3:4.2"} << "ok 3:4.2 0.012 COM1 -";
    QTest::newRow("named after the port")
        << QStringList{"--alarm", "COM1=:4.2"} << "ok -:4.2 0.042 COM1 -";
    QTest::newRow("a hysteresis and a command")
        << QStringList{"--alarm", "3:",         "--alarm-hysteresis",
                       "0.1",     "--on-alarm", "sh -c \"echo a b\""}
        << "ok 3:- 0.1 COM1 sh|-c|echo a b";
    QTest::newRow("LOW above HIGH")
        << QStringList{"--alarm", "5:3"} << "--alarm 5:3: LOW must be below HIGH";
    QTest::newRow("another meter") << QStringList{"--alarm", "psu=1:2"}
                                   << "--alarm psu=1:2: no meter is named psu (the meter is COM1)";
    QTest::newRow("twice for one meter") << QStringList{"--alarm", "1:2", "--alarm", "COM1=1:3"}
                                         << "--alarm COM1=1:3: the meter COM1 has an alarm already";
    QTest::newRow("several meters, one named")
        << QStringList{"--port", "amps=COM2", "--alarm", "amps=0:2"} << "ok 0:2 0.02 amps -";
    QTest::newRow("several meters, none named")
        << QStringList{"--port", "amps=COM2", "--alarm", "1:2"}
        << "--alarm 1:2: with several meters an alarm names its meter, NAME=LOW:HIGH (the "
           "meters are COM1, amps)";
    QTest::newRow("several meters, no such name")
        << QStringList{"--port", "amps=COM2", "--alarm", "volts=1:2"}
        << "--alarm volts=1:2: no meter is named volts (the meters are COM1, amps)";
    QTest::newRow("statistics of several meters")
        << QStringList{"--port", "amps=COM2", "--stats", "s.csv", "--every", "1m"}
        << "--stats writes the statistics of one meter: give it a run of its own";
    QTest::newRow("hysteresis wider than the range")
        << QStringList{"--alarm", "1:2", "--alarm-hysteresis", "1"}
        << "--alarm-hysteresis 1: the hysteresis must be smaller than HIGH - LOW";
    QTest::newRow("a command without an alarm")
        << QStringList{"--on-alarm", "true"}
        << "--alarm-hysteresis, --on-alarm and --on-alarm-timeout need --alarm LOW:HIGH";
    QTest::newRow("a program that is not there")
        << QStringList{"--alarm", "1:2", "--on-alarm", "/nonexistent/notify x"}
        << "--on-alarm /nonexistent/notify: no such file";
    QTest::newRow("a program not on PATH")
        << QStringList{"--alarm", "1:2", "--on-alarm", "no-such-program-here"}
        << "--on-alarm no-such-program-here: no such program on PATH";
}

void TestLogAlarms::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, result);
    const auto parsed = parseLogArguments(QStringList{"dmm-log", "--port", "COM1"} + arguments);
    if (!parsed.options) {
        QCOMPARE(parsed.error, result);
        return;
    }
    const AlarmOptions& alarms = parsed.options->alarms;
    QCOMPARE(alarms.alarms.size(), std::size_t{1});
    const MeterAlarm& alarm = alarms.alarms.front();
    const auto side = [](const std::optional<double>& v) {
        return v ? QString::number(*v) : QStringLiteral("-");
    };
    QCOMPARE(QStringLiteral("ok %1:%2 %3 %4 %5")
                 .arg(side(alarm.range.low), side(alarm.range.high))
                 .arg(alarm.hysteresis)
                 .arg(alarm.meterName,
                      alarms.command.isEmpty() ? QStringLiteral("-") : alarms.command.join(u'|')),
             result);
}

void TestLogAlarms::fromAConfFile()
{
    QTemporaryDir dir;
    QFile conf(dir.filePath("bench.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("PORT=COM1\nALARM=COM1=3:4.2\nALARM_HYSTERESIS=2%\nON_ALARM=sh -c \"exit 0\"\n");
    conf.close();
    const auto parsed = parseLogArguments({"dmm-log", "--conf", conf.fileName()});
    QVERIFY2(parsed.options, qPrintable(parsed.error));
    const AlarmOptions& alarms = parsed.options->alarms;
    QCOMPARE(alarms.alarms.size(), std::size_t{1});
    QCOMPARE(alarms.alarms.front().range, (AlarmRange{3.0, 4.2}));
    QCOMPARE(alarms.alarms.front().hysteresis, 0.024);
    QCOMPARE(alarms.command, QStringList({"sh", "-c", "exit 0"}));
    // The command line's --alarm stands in for the conf file's.
    const auto overridden =
        parseLogArguments({"dmm-log", "--conf", conf.fileName(), "--alarm", ":10"});
    QVERIFY2(overridden.options, qPrintable(overridden.error));
    QCOMPARE(overridden.options->alarms.alarms.front().range, (AlarmRange{std::nullopt, 10.0}));
}

void TestLogAlarms::outcome_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("said");
    const QString what = QStringLiteral("dmm-log: --on-alarm for bench high: ");
    QTest::newRow("exit status and standard error")
        << QStringList{"sh", "-c", "echo out; echo \"$DMM_ALARM $DMM_VALUE\" >&2; exit 3"}
        << what + "high 4.31\n" + what + "exit status 3\n";
    QTest::newRow("a command that hangs")
        << QStringList{"sleep", "30"}
        << what + "ended after 1 s, the longest a run may take (SIGTERM)\n";
    QTest::newRow("a command that ignores SIGTERM")
        << QStringList{"python3", "-c",
                       "import signal, time\nsignal.signal(signal.SIGTERM, signal.SIG_IGN)\n"
                       "print('ready', flush=True)\ntime.sleep(30)"}
        << what + "ended after 1 s, the longest a run may take (SIGKILL)\n";
    QTest::newRow("a command that cannot start")
        << QStringList{"/nonexistent/notify"}
        << what + "cannot start /nonexistent/notify: execve: No such file or directory\n";
}

void TestLogAlarms::outcome()
{
    QFETCH(QStringList, command);
    QFETCH(QString, said);
    ErrorText err;
    AlarmCommand runner(command, err.file());
    runner.setTimeouts(1s, 300ms);
    QElapsedTimer clock;
    clock.start();
    runner.run(eventOf(AlarmState::High));
    QVERIFY(runner.busy());
    QTRY_VERIFY_WITH_TIMEOUT(!runner.busy(), 10000);
    QCOMPARE(err.text(), said);
    QVERIFY2(clock.elapsed() < 5000, "the runner waited for the command");
}

void TestLogAlarms::oneAtATime()
{
    // Each run appends its state, then lingers: the next must wait for it.
    QTemporaryDir dir;
    const QString file = dir.filePath("runs");
    ErrorText err;
    AlarmCommand runner({"sh", "-c",
                         "echo \"start $DMM_ALARM\" >>\"$0\"; sleep 0.2; "
                         "echo \"end $DMM_ALARM\" >>\"$0\"",
                         file},
                        err.file());
    runner.run(eventOf(AlarmState::High));
    runner.run(eventOf(AlarmState::Normal));
    runner.run(eventOf(AlarmState::Low));
    QSignalSpy drained(&runner, &AlarmCommand::drained);
    runner.finish();
    QVERIFY(drained.wait(10000));
    QFile runs(file);
    QVERIFY(runs.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(runs.readAll()),
             "start high\nend high\nstart normal\nend normal\nstart low\nend low\n");
}

QTEST_GUILESS_MAIN(TestLogAlarms)
#include "tst_logalarms.moc"
