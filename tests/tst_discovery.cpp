// SPDX-License-Identifier: MIT
// dmm-log --mqtt-discovery: Home Assistant's discovery configs as text, and
// the built program keeping them retained on a real mosquitto broker.
#include <QtTest>

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

#include "DiscoveryPublisher.h"
#include "FileBytes.h"
#include "FreePort.h"
#include "HaDiscovery.h"
#include "LogOptions.h"
#include "SimProcess.h"

using namespace dmm::logtool;

namespace {

// What every config of the meter "bench" logged under "lab" ends with.
const QByteArray kBenchTail =
    "\"availability_topic\":\"lab/bench/status\","
    "\"availability_template\":\"{{ 'online' if value_json.state == 'online' and not "
    "value_json.silent else 'offline' }}\","
    "\"payload_available\":\"online\",\"payload_not_available\":\"offline\","
    "\"device\":{\"identifiers\":[\"dmm-log_lab_bench\"],\"name\":\"dmm-log bench\","
    "\"manufacturer\":\"DMM Logger\",\"model\":\"dmm-log\",\"sw_version\":\"5.0.0\"}}";

QString brokerProgram()
{
    return QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/local/sbin"});
}

// What the broker holds under `topics` ("lab/#"), one "TOPIC PAYLOAD" a line,
// as a new subscriber gets it.
QByteArray retainedUnder(int port, const QString& topics)
{
    QProcess sub;
    sub.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(port), "-v", "-t", topics,
                                "--retained-only", "-W", "1"});
    sub.waitForFinished(5000);
    return sub.readAllStandardOutput();
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    // The reading sensor of each kind of function: its unit and device class.
    void readingSensor_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<QByteArray>("payload");
        const QByteArray head =
            "{\"name\":\"bench\",\"unique_id\":\"dmm-log_lab_bench_bench_reading\","
            "\"state_topic\":\"lab/bench/reading\",";
        QTest::newRow("DC volts")
            << 6
            << head +
                   "\"value_template\":\"{{ 'None' if value_json.overload or value_json.unit != "
                   "'V' else value_json.value }}\",\"unit_of_measurement\":\"V\","
                   "\"device_class\":\"voltage\",\"state_class\":\"measurement\"," +
                   kBenchTail;
        QTest::newRow("ohms: no device class")
            << 128
            << head +
                   "\"value_template\":\"{{ 'None' if value_json.overload or value_json.unit != "
                   "'Ω' else value_json.value }}\",\"unit_of_measurement\":\"Ω\","
                   "\"state_class\":\"measurement\"," +
                   kBenchTail;
        QTest::newRow("degrees Fahrenheit")
            << 64
            << head +
                   "\"value_template\":\"{{ 'None' if value_json.overload or value_json.unit != "
                   "'°F' else value_json.value }}\",\"unit_of_measurement\":\"°F\","
                   "\"device_class\":\"temperature\",\"state_class\":\"measurement\"," +
                   kBenchTail;
        QTest::newRow("volt-amperes")
            << 0x204
            << head +
                   "\"value_template\":\"{{ 'None' if value_json.overload or value_json.unit != "
                   "'VA' else value_json.value }}\",\"unit_of_measurement\":\"VA\","
                   "\"device_class\":\"apparent_power\",\"state_class\":\"measurement\"," +
                   kBenchTail;
        QTest::newRow("no unit") << 0
                                 << head +
                                        "\"value_template\":\"{{ 'None' if value_json.overload or "
                                        "value_json.unit != '' else value_json.value }}\","
                                        "\"state_class\":\"measurement\"," +
                                        kBenchTail;
    }
    void readingSensor()
    {
        QFETCH(int, function);
        const DiscoveryConfig config = readingSensorConfig(
            "homeassistant", discoveryDevice("lab", "bench", "5.0.0"), "lab", "bench", function);
        QCOMPARE(config.topic, "homeassistant/sensor/dmm-log_lab_bench/bench_reading/config");
        QTEST(QByteArray::fromStdString(config.payload), "payload");
        QVERIFY(!QJsonDocument::fromJson(QByteArray::fromStdString(config.payload)).isNull());
    }

    void alarmSensor()
    {
        const DiscoveryConfig config =
            alarmSensorConfig("ha", discoveryDevice("lab", "bench", "5.0.0"), "lab", "bench");
        QCOMPARE(config.topic, "ha/binary_sensor/dmm-log_lab_bench/bench_alarm/config");
        QCOMPARE(
            QByteArray::fromStdString(config.payload),
            "{\"name\":\"bench alarm\",\"unique_id\":\"dmm-log_lab_bench_bench_alarm\","
            "\"state_topic\":\"lab/bench/alarm\","
            "\"value_template\":\"{{ 'ON' if value_json.state in ['low', 'high'] else "
            "'OFF' "
            "}}\",\"payload_on\":\"ON\",\"payload_off\":\"OFF\",\"device_class\":\"problem\"," +
                kBenchTail);
    }

    void powerSensors()
    {
        const auto configs = powerSensorConfigs(
            "homeassistant", discoveryDevice("lab", "bench", "5.0.0"), "lab", "v", "a");
        QCOMPARE(configs.size(), std::size_t(3));
        const QByteArray tail =
            "\"availability\":[{\"topic\":\"lab/v/status\",\"value_template\":\"{{ 'online' if "
            "value_json.state == 'online' and not value_json.silent else 'offline' }}\"},"
            "{\"topic\":\"lab/a/status\",\"value_template\":\"{{ 'online' if value_json.state == "
            "'online' and not value_json.silent else 'offline' "
            "}}\"}],\"availability_mode\":\"all\","
            "\"device\":{\"identifiers\":[\"dmm-log_lab_bench\"],\"name\":\"dmm-log bench\","
            "\"manufacturer\":\"DMM Logger\",\"model\":\"dmm-log\",\"sw_version\":\"5.0.0\"}}";
        QCOMPARE(configs[0].topic, "homeassistant/sensor/dmm-log_lab_bench/power/config");
        QCOMPARE(QByteArray::fromStdString(configs[0].payload),
                 "{\"name\":\"Power\",\"unique_id\":\"dmm-log_lab_bench_power\","
                 "\"state_topic\":\"lab/power\",\"value_template\":\"{{ value_json.power if "
                 "value_json.power is number else 'None' }}\",\"unit_of_measurement\":\"W\","
                 "\"device_class\":\"power\",\"state_class\":\"measurement\"," +
                     tail);
        QCOMPARE(configs[1].topic, "homeassistant/sensor/dmm-log_lab_bench/energy/config");
        QCOMPARE(QByteArray::fromStdString(configs[1].payload),
                 "{\"name\":\"Energy\",\"unique_id\":\"dmm-log_lab_bench_energy\","
                 "\"state_topic\":\"lab/power\",\"value_template\":\"{{ value_json.energy if "
                 "value_json.energy is number else 'None' }}\",\"unit_of_measurement\":\"Wh\","
                 "\"device_class\":\"energy\",\"state_class\":\"total\"," +
                     tail);
        QCOMPARE(configs[2].topic, "homeassistant/sensor/dmm-log_lab_bench/charge/config");
        QCOMPARE(QByteArray::fromStdString(configs[2].payload),
                 "{\"name\":\"Charge\",\"unique_id\":\"dmm-log_lab_bench_charge\","
                 "\"state_topic\":\"lab/power\",\"value_template\":\"{{ value_json.charge if "
                 "value_json.charge is number else 'None' }}\",\"unit_of_measurement\":\"Ah\","
                 "\"state_class\":\"total\"," +
                     tail);
    }

    void ids_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("node");
        QTest::newRow("plain") << "lab"
                               << "bench" << QByteArray("dmm-log_lab_bench");
        QTest::newRow("levels, a space, a dot and Ω")
            << "lab/floor 2"
            << "ttyUSB0.Ω-1" << QByteArray("dmm-log_lab_floor_2_ttyUSB0___-1");
    }
    void ids()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, name);
        QTEST(QByteArray::fromStdString(discoveryDevice(prefix, name, "1").id), "node");
    }

    void prefixes_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("problem");
        QTest::newRow("Home Assistant's") << "homeassistant"
                                          << "";
        QTest::newRow("two levels") << "ha/discovery"
                                    << "";
        QTest::newRow("empty") << ""
                               << "needs topic levels such as homeassistant, none empty";
        QTest::newRow("trailing slash") << "homeassistant/"
                                        << "needs topic levels such as homeassistant, none empty";
        QTest::newRow("wildcard") << "home#"
                                  << "needs topic levels without + or # and without "
                                     "control characters, such as homeassistant";
    }
    void prefixes()
    {
        QFETCH(QString, prefix);
        QTEST(discoveryPrefixProblem(prefix), "problem");
    }

    // What the command line's --mqtt-discovery is refused for.
    void option_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("without --mqtt") << QStringList{"--mqtt-discovery", "homeassistant"}
                                        << "--mqtt-discovery homeassistant: needs --mqtt";
        QTest::newRow("a wildcard")
            << QStringList{"--mqtt", "mqtt://h/lab", "--mqtt-discovery", "ha/#"}
            << "--mqtt-discovery ha/#: needs topic levels without + or # and without control "
               "characters, such as homeassistant";
        QTest::newRow("taken") << QStringList{"--mqtt", "mqtt://h/lab", "--mqtt-discovery", "ha"}
                               << "";
    }
    void option()
    {
        QFETCH(QStringList, arguments);
        const auto parsed = parseLogArguments(QStringList{"dmm-log", "--port", "COM1"} + arguments);
        QTEST(parsed.error, "error");
        if (parsed.options)
            QCOMPARE(parsed.options->mqttDiscovery, "ha");
    }

    // The logger keeps the configs retained, the sensor's again when the
    // meter's function changes its unit.
    void configsArriveRetainedOnTheBroker()
    {
        if (brokerProgram().isEmpty() || QStandardPaths::findExecutable("mosquitto_sub").isEmpty())
            QSKIP("mosquitto and mosquitto_sub are not installed (scripts/install-deps.sh)");
        QTemporaryDir dir;
        const int port = freeLocalPort();
        QVERIFY(writeFile(dir.filePath("m.conf"),
                          QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n%2\n")
                              .arg(port)
                              .arg(::getuid() == 0 ? "user root" : "")
                              .toUtf8()));
        QProcess broker;
        broker.setProcessChannelMode(QProcess::MergedChannels);
        broker.start(brokerProgram(), {"-c", dir.filePath("m.conf")});
        QVERIFY(broker.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += broker.readAll()).contains(" running"), 5000);
        const auto stopBroker = qScopeGuard([&] {
            broker.terminate();
            broker.waitForFinished(5000);
        });

        // Every config as it comes.
        QProcess sub;
        sub.start("stdbuf", {"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(port),
                             "-d", "-v", "-t", "homeassistant/#"});
        QByteArray heard;
        QTRY_VERIFY_WITH_TIMEOUT((heard += sub.readAllStandardOutput()).contains("SUBACK"), 5000);
        const auto stopSub = qScopeGuard([&] {
            sub.kill();
            sub.waitForFinished(3000);
        });

        SimProcess sim;
        const QString script = sim.directory() + "/volts-then-ohms.txt";
        QVERIFY(writeFile(script, "period 100\nrepeat 10\nshow 6 1.234\nend\n"
                                  "repeat 20\nshow 128 079.9\nend\n"));
        QVERIFY(sim.start({"--script", script}));
        QProcess log;
        log.setWorkingDirectory(sim.directory());
        log.start(DMM_LOG_PATH, {"--port", "COM1", "--quiet", "--csv", "a.csv", "--name", "bench",
                                 "--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(port),
                                 "--mqtt-discovery", "homeassistant"});
        const QByteArray sensorTopic =
            "homeassistant/sensor/dmm-log_lab_bench/bench_reading/config";
        // The volts' config and then the ohms' (or the other way round, as
        // the logger came in), each once per change.
        QTRY_VERIFY_WITH_TIMEOUT((heard += sub.readAllStandardOutput()).count(sensorTopic + " {") >=
                                         2 &&
                                     heard.contains("\"unit_of_measurement\":\"V\"") &&
                                     heard.contains("\"unit_of_measurement\":\"Ω\""),
                                 10000);
        log.terminate();
        QVERIFY(log.waitForFinished(5000));
        QCOMPARE(log.exitCode(), 0);

        // What Home Assistant finds when it starts after the logger ended.
        const QByteArray held = retainedUnder(port, "homeassistant/#");
        const QList<QByteArray> lines = held.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(held.contains(sensorTopic + " {\"name\":\"bench\","), held.constData());
        QVERIFY2(held.contains("\"unit_of_measurement\":\""), held.constData());
        QVERIFY2(held.contains("homeassistant/binary_sensor/dmm-log_lab_bench/bench_alarm/config "
                               "{\"name\":\"bench alarm\","),
                 held.constData());
        // The state the sensors read, and the availability: the logger is gone.
        const QByteArray logger = retainedUnder(port, "lab/#");
        QVERIFY2(logger.contains("lab/bench/status {\"state\":\"offline\""), logger.constData());
    }
};

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
