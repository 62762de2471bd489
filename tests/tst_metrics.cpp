// SPDX-License-Identifier: MIT
// dmm-log --metrics: the page's text and the listening address directly; the
// built program answering GET /metrics on the simulator's readings; and a real
// Prometheus server (Debian's prometheus) scraping it and answering a query.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrlQuery>

#include "FileBytes.h"
#include "FreePort.h"
#include "MetricsAddress.h"
#include "MetricsServer.h"
#include "MqttPublisher.h"
#include "PrometheusText.h"
#include "SimProcess.h"

using namespace dmm::logtool;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds kNow{100'000};

// The body of a GET, with the reply's content type; empty when none came
// within three seconds.
QByteArray httpGet(const QUrl& url, QByteArray* contentType = nullptr)
{
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(3000))
        return {};
    if (contentType)
        *contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    return reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
}

QString prometheusProgram()
{
    return QStandardPaths::findExecutable("prometheus");
}

} // namespace

class TestMetrics : public QObject
{
    Q_OBJECT

private slots:
    // One meter's samples, the help and type lines left out.
    void samples_data()
    {
        QTest::addColumn<QByteArray>("meter");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<int>("ageMs"); // -1: no reading yet
        QTest::addColumn<int>("overloads");
        QTest::addColumn<bool>("linkUp");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray counts = "dmm_readings_total{meter=\"COM1\"} 7\n"
                                  "dmm_overloads_total{meter=\"COM1\"} 0\n";
        QTest::newRow("fresh reading")
            << QByteArray("COM1") << QByteArray("1.234") << QByteArray("V") << QByteArray("DC V")
            << 1000 << 0 << true
            << "dmm_reading{meter=\"COM1\",unit=\"V\",function=\"DC V\"} 1.234\n" + counts +
                   "dmm_link_up{meter=\"COM1\"} 1\n";
        QTest::newRow("5 s old: still the value")
            << QByteArray("COM1") << QByteArray("-0.01234") << QByteArray("A") << QByteArray("AC A")
            << 5000 << 0 << true
            << "dmm_reading{meter=\"COM1\",unit=\"A\",function=\"AC A\"} -0.01234\n" + counts +
                   "dmm_link_up{meter=\"COM1\"} 1\n";
        QTest::newRow("5.001 s old: stale")
            << QByteArray("COM1") << QByteArray("1.234") << QByteArray("V") << QByteArray("DC V")
            << 5001 << 0 << true << counts + "dmm_link_up{meter=\"COM1\"} 1\n";
        QTest::newRow("overloaded") << QByteArray("COM1") << QByteArray() << QByteArray("Ω")
                                    << QByteArray("Ω") << 500 << 3 << true
                                    << QByteArray("dmm_readings_total{meter=\"COM1\"} 7\n"
                                                  "dmm_overloads_total{meter=\"COM1\"} 3\n"
                                                  "dmm_link_up{meter=\"COM1\"} 1\n");
        QTest::newRow("before the first reading")
            << QByteArray("COM1") << QByteArray() << QByteArray() << QByteArray() << -1 << 0
            << false << counts + "dmm_link_up{meter=\"COM1\"} 0\n";
        QTest::newRow("degrees")
            << QByteArray("COM1") << QByteArray("25.3") << QByteArray("°C") << QByteArray("°C") << 0
            << 0 << true
            << "dmm_reading{meter=\"COM1\",unit=\"°C\",function=\"°C\"} 25.3\n" + counts +
                   "dmm_link_up{meter=\"COM1\"} 1\n";
        QTest::newRow("name with a quote, a backslash and a line feed")
            << QByteArray("a\"b\\c\nd") << QByteArray() << QByteArray() << QByteArray() << -1 << 0
            << false
            << QByteArray("dmm_readings_total{meter=\"a\\\"b\\\\c\\nd\"} 7\n"
                          "dmm_overloads_total{meter=\"a\\\"b\\\\c\\nd\"} 0\n"
                          "dmm_link_up{meter=\"a\\\"b\\\\c\\nd\"} 0\n");
    }
    void samples()
    {
        QFETCH(QByteArray, meter);
        QFETCH(int, ageMs);
        MeterMetrics m;
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, unit);
        QFETCH(QByteArray, function);
        m.value = value.toStdString();
        m.unit = unit.toStdString();
        m.function = function.toStdString();
        if (ageMs >= 0)
            m.readingAt = kNow - std::chrono::milliseconds(ageMs);
        m.readings = 7;
        QFETCH(int, overloads);
        QFETCH(bool, linkUp);
        m.overloads = overloads;
        m.linkUp = linkUp;
        QByteArray samples;
        for (const QByteArray& line :
             QByteArray::fromStdString(prometheusText({{meter.toStdString(), m}}, kNow))
                 .split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                samples += line + '\n';
        QTEST(samples, "expected");
    }

    // Help and type once per family, meters in the order of their names, and
    // no family without samples.
    void wholePage()
    {
        MeterMetrics volts;
        volts.value = "12.5";
        volts.unit = "V";
        volts.function = "DC V";
        volts.readingAt = kNow;
        volts.readings = 3;
        volts.linkUp = true;
        MeterMetrics amperes;
        amperes.readings = 1;
        amperes.overloads = 1;
        QCOMPARE(prometheusText({{"volts", volts}, {"amps", amperes}}, kNow),
                 "# HELP dmm_reading The meter's last reading in the SI base unit of its function; "
                 "absent while overloaded and when older than 5 s.\n"
                 "# TYPE dmm_reading gauge\n"
                 "dmm_reading{meter=\"volts\",unit=\"V\",function=\"DC V\"} 12.5\n"
                 "# HELP dmm_readings_total Readings received from the meter.\n"
                 "# TYPE dmm_readings_total counter\n"
                 "dmm_readings_total{meter=\"amps\"} 1\n"
                 "dmm_readings_total{meter=\"volts\"} 3\n"
                 "# HELP dmm_overloads_total Readings received with the display overloaded.\n"
                 "# TYPE dmm_overloads_total counter\n"
                 "dmm_overloads_total{meter=\"amps\"} 1\n"
                 "dmm_overloads_total{meter=\"volts\"} 0\n"
                 "# HELP dmm_link_up 1 while readings arrive from the meter, 0 before the first "
                 "and while it is silent.\n"
                 "# TYPE dmm_link_up gauge\n"
                 "dmm_link_up{meter=\"amps\"} 0\n"
                 "dmm_link_up{meter=\"volts\"} 1\n");
    }

    // What the session and the alarms tell the server shows on its page:
    // the alarm's state as the slot gets it, the MQTT queue as the publisher
    // holds it when the page is asked for.
    void serverShowsWhatItIsTold()
    {
        MetricsServer server;
        server.addMeter("bench");
        QMetaObject::invokeMethod(&server, "setAlarmState", Q_ARG(QString, "bench"),
                                  Q_ARG(QString, "low"));
        MqttSettings settings;
        settings.name = "bench";
        MqttPublisher publisher(settings, stderr); // never started: nothing queued
        server.watchMqtt("bench", &publisher);
        QCOMPARE(QString::fromStdString(server.page()).split('\n').filter("{meter=").join('\n'),
                 "dmm_readings_total{meter=\"bench\"} 0\n"
                 "dmm_overloads_total{meter=\"bench\"} 0\n"
                 "dmm_link_up{meter=\"bench\"} 0\n"
                 "dmm_alarm_state{meter=\"bench\",state=\"low\"} 1\n"
                 "dmm_alarm_state{meter=\"bench\",state=\"normal\"} 0\n"
                 "dmm_alarm_state{meter=\"bench\",state=\"high\"} 0\n"
                 "dmm_mqtt_queued_readings{meter=\"bench\"} 0\n"
                 "dmm_mqtt_dropped_readings_total{meter=\"bench\"} 0");
    }

    void address_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // the address, or the error
        const QString badPort = "needs [HOST:]PORT with a PORT from 1 to 65535";
        const QString badHost = "needs [HOST:]PORT, HOST an IP address such as 127.0.0.1, 0.0.0.0 "
                                "(every interface) or [::1], or localhost";
        QTest::newRow("port only: loopback") << "9100"
                                             << "127.0.0.1:9100";
        QTest::newRow("every interface") << "0.0.0.0:9100"
                                         << "0.0.0.0:9100";
        QTest::newRow("an address of the machine") << "192.168.1.20:80"
                                                   << "192.168.1.20:80";
        QTest::newRow("localhost") << "localhost:65535"
                                   << "127.0.0.1:65535";
        QTest::newRow("IPv6 loopback") << "[::1]:9100"
                                       << "[::1]:9100";
        QTest::newRow("IPv6 without brackets") << "::1:9100" << badHost;
        QTest::newRow("IPv4 in brackets") << "[127.0.0.1]:9100" << badHost;
        QTest::newRow("host name") << "example.org:9100" << badHost;
        QTest::newRow("empty host") << ":9100" << badHost;
        QTest::newRow("port 0") << "0" << badPort;
        QTest::newRow("port 65536") << "127.0.0.1:65536" << badPort;
        QTest::newRow("no port") << "127.0.0.1:" << badPort;
        QTest::newRow("not a number") << "metrics" << badPort;
    }
    void address()
    {
        QFETCH(QString, text);
        const MetricsAddressResult result = parseMetricsAddress(text);
        QTEST(result.address ? metricsAddressText(*result.address) : result.error, "expected");
    }

    // A bad address or a port another program holds ends the run at its
    // start, with status 1 and no file made.
    void refusedAtTheStart_data()
    {
        QTest::addColumn<QString>("metrics");
        QTest::addColumn<QString>("message"); // <port>: the port in use
        QTest::newRow("port 0") << "0"
                                << "dmm-log: --metrics 0: needs [HOST:]PORT with a PORT from 1 to "
                                   "65535\nTry dmm-log --help.\n";
        QTest::newRow("port in use")
            << "<port>"
            << "dmm-log: --metrics 127.0.0.1:<port>: The bound address is already in use\n";
    }
    void refusedAtTheStart()
    {
        QFETCH(QString, metrics);
        QFETCH(QString, message);
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost));
        const QString port = QString::number(other.serverPort());
        metrics.replace("<port>", port);
        message.replace("<port>", port);
        SimProcess sim;
        QVERIFY(sim.start({"--scenario", "steady"}));
        QProcess log;
        log.setWorkingDirectory(sim.directory());
        log.start(DMM_LOG_PATH, {"--port", "COM1", "--csv", "a.csv", "--metrics", metrics});
        QVERIFY(log.waitForFinished(10000));
        QCOMPARE(log.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(log.readAllStandardError()), message);
        QVERIFY(!QFile::exists(sim.directory() + "/a.csv"));
    }

    // A real Prometheus server scrapes dmm-log every second; its query API
    // answers with the simulator's reading. The page's content type is the
    // text format's.
    void prometheusScrapesTheReading()
    {
        if (prometheusProgram().isEmpty())
            QSKIP("prometheus is not installed (scripts/install-deps.sh)");
        SimProcess sim;
        QVERIFY(sim.start({"--scenario", "steady", "--period", "100"}));
        const int metricsPort = freeLocalPort();
        QProcess log;
        log.setWorkingDirectory(sim.directory());
        log.start(DMM_LOG_PATH, {"--port", "COM1", "--quiet", "--csv", "a.csv", "--metrics",
                                 QString::number(metricsPort)});
        QVERIFY(log.waitForStarted());

        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("prometheus.yml"),
                          QStringLiteral("global:\n  scrape_interval: 1s\n"
                                         "scrape_configs:\n  - job_name: dmm\n"
                                         "    static_configs:\n"
                                         "      - targets: ['127.0.0.1:%1']\n")
                              .arg(metricsPort)
                              .toUtf8()));
        const int serverPort = freeLocalPort();
        QProcess server;
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start(prometheusProgram(),
                     {"--config.file=" + dir.filePath("prometheus.yml"),
                      "--storage.tsdb.path=" + dir.filePath("data"),
                      QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(serverPort)});
        QVERIFY(server.waitForStarted());
        const auto stop = qScopeGuard([&] {
            server.terminate();
            server.waitForFinished(5000);
            log.terminate();
            log.waitForFinished(5000);
        });

        QUrl query(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(serverPort));
        query.setQuery(QUrlQuery{{"query", "dmm_reading"}});
        QJsonArray result;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(result = QJsonDocument::fromJson(httpGet(query))["data"]["result"].toArray())
                 .isEmpty(),
            15000);
        const QJsonObject series = result.first().toObject();
        const QJsonObject labels = series["metric"].toObject();
        QCOMPARE(labels["meter"].toString(), "COM1");
        QCOMPARE(labels["unit"].toString(), "V");
        QCOMPARE(labels["function"].toString(), "DC V");
        QCOMPARE(labels["job"].toString(), "dmm");
        QCOMPARE(series["value"][1].toString(), "1.234");
        // The page itself, as the server got it.
        QByteArray type;
        const QByteArray page =
            httpGet(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort), &type);
        QCOMPARE(type, "text/plain; version=0.0.4; charset=utf-8");
        QVERIFY2(page.contains("\ndmm_link_up{meter=\"COM1\"} 1\n"), page.constData());
    }
};

QTEST_MAIN(TestMetrics)
#include "tst_metrics.moc"
