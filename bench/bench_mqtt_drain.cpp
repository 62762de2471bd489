// SPDX-License-Identifier: MIT
// The MQTT publisher without a meter: N readings queued while the broker is
// away (the port closed), then the time until the broker has acknowledged
// them all once it is back; and N readings handed over as fast as they come
// with the broker there. Prints figures; bench/bench_mqtt.sh starts the broker.
//   dmm-bench-mqtt-drain PORT N drain|live
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

#include "MqttPublisher.h"

using namespace dmm;
using namespace dmm::logtool;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const int port = std::atoi(argv[1]);
    const long long n = std::atoll(argv[2]);
    const bool drain = std::string(argv[3]) == "drain";
    MqttSettings settings;
    settings.url = *parseMqttUrl(QStringLiteral("mqtt://127.0.0.1:%1/bench").arg(port)).url;
    settings.name = QStringLiteral("drain");
    settings.queueLimit = n + 1;
    TARecord record;
    record.display = "1.234";
    record.value = "1.234";
    record.unit = "V";
    record.function = 6;
    record.fValue = 1.234f;
    MqttPublisher publisher(settings, stderr);
    QString error;
    if (!publisher.start("{}", &error))
        return 1;
    const QDateTime now = QDateTime::currentDateTime();
    QElapsedTimer clock;
    if (drain) {
        for (long long i = 0; i < n; ++i)
            publisher.readingLogged(now, record);
        std::printf("queued %lld readings; start the broker\n", n);
        std::fflush(stdout);
        while (publisher.queued() == n)
            QThread::msleep(1);
        clock.start();
    } else {
        QThread::msleep(500); // connected
        clock.start();
        for (long long i = 0; i < n; ++i)
            publisher.readingLogged(now, record);
    }
    while (publisher.queued() > 0)
        QThread::msleep(1);
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("%s: %lld readings acknowledged in %.3f s: %.0f readings/s\n",
                drain ? "drain" : "live", n, seconds, n / seconds);
    return 0;
}
