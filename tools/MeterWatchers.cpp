// SPDX-License-Identifier: MIT
#include "MeterWatchers.h"

#include "HaDiscovery.h"
#include "LogLines.h"

namespace dmm::logtool {

MeterWatchers::MeterWatchers(const LogOptions& options, std::FILE* err, QObject* parent)
    : QObject(parent), m_options(options), m_err(err)
{
}

MeterWatchers::~MeterWatchers() = default;

bool MeterWatchers::startMetrics(const QStringList& meters, QString* error)
{
    if (!m_options.metrics)
        return true;
    m_metrics = std::make_unique<MetricsServer>();
    for (const QString& meter : meters)
        m_metrics->addMeter(meter);
    if (m_metrics->listen(*m_options.metrics, error))
        return true;
    *error = QStringLiteral("--metrics ") + *error;
    m_metrics.reset();
    return false;
}

QString MeterWatchers::metricsUrl() const
{
    return m_options.metrics
               ? QStringLiteral("http://%1/metrics").arg(metricsAddressText(*m_options.metrics))
               : QString();
}

void MeterWatchers::start(const std::vector<Meter>& meters, const QString& loggerName)
{
    std::map<QString, MqttPublisher*> publishers;
    for (const Meter& meter : meters) {
        publishers[meter.name] = meter.mqtt;
        m_names << meter.name;
    }
    if (!m_options.alarms.alarms.empty()) {
        m_alarms = std::make_unique<LogAlarms>(m_options.alarms, m_err);
        m_alarms->setPublish([publishers](const QString& meter, const std::string& payload) {
            if (const auto it = publishers.find(meter); it != publishers.end() && it->second)
                it->second->alarmState(payload);
        });
        if (m_metrics) {
            const auto toPage = [this](const AlarmEvent& event) {
                m_metrics->setAlarmState(event.name,
                                         QString::fromLatin1(alarmStateName(event.state)));
            };
            for (const Meter& meter : meters)
                if (AlarmWatcher* watcher = m_alarms->watcher(meter.name)) {
                    connect(watcher, &AlarmWatcher::stateKnown, this, toPage);
                    connect(watcher, &AlarmWatcher::stateChanged, this, toPage);
                }
        }
    }
    for (const Meter& meter : meters) {
        if (!meter.mqtt)
            continue;
        if (m_metrics)
            m_metrics->watchMqtt(meter.name, meter.mqtt);
        if (m_options.mqttDiscovery.isEmpty())
            continue;
        const QString prefix = m_options.mqtt->url.prefix;
        auto discovery = std::make_unique<DiscoveryPublisher>(
            *meter.mqtt, m_options.mqttDiscovery, prefix,
            discoveryDevice(prefix, loggerName, QStringLiteral(DMM_VERSION)));
        discovery->addMeter(meter.name);
        m_discovery[meter.name] = std::move(discovery);
    }
    // PREFIX/power goes out through the volt meter's publisher.
    if (m_options.power && !m_discovery.empty()) {
        const QString volts = m_options.meters[m_options.power->volts].name;
        const QString amperes = m_options.meters[m_options.power->amperes].name;
        if (const auto it = m_discovery.find(volts); it != m_discovery.end())
            it->second->addPower(volts, amperes);
    }
}

void MeterWatchers::readingDecoded(const QString& meter, const TARecord& record)
{
    if (m_metrics)
        m_metrics->readingReceived(meter, record);
}

void MeterWatchers::readingLogged(const QString& meter, const QDateTime& time,
                                  const TARecord& record)
{
    if (const auto it = m_discovery.find(meter); it != m_discovery.end())
        it->second->readingLogged(meter, record.function);
    if (m_alarms)
        m_alarms->readingLogged(meter, time, record);
}

void MeterWatchers::meterSilent(const QString& meter)
{
    if (m_metrics)
        m_metrics->setLinkUp(meter, false);
}

void MeterWatchers::stopPublishing()
{
    m_discovery.clear();
    if (m_metrics)
        for (const QString& meter : m_names)
            m_metrics->watchMqtt(meter, nullptr);
}

void MeterWatchers::finish(std::function<void()> done)
{
    if (!m_alarms || !m_alarms->busy()) {
        done();
        return;
    }
    connect(m_alarms.get(), &LogAlarms::drained, this, std::move(done));
    m_alarms->finish();
}

} // namespace dmm::logtool
