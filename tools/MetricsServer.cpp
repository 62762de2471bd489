// SPDX-License-Identifier: MIT
#include "MetricsServer.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QTcpServer>

#include <cmath>

#include "MqttPublisher.h"
#include "SiUnits.h"
#include "TableExport.h"

namespace dmm::logtool {

MetricsServer::MetricsServer(QObject* parent)
    : QObject(parent), m_http(std::make_unique<QHttpServer>())
{
    m_clock.start();
    m_http->route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [this] {
        return QHttpServerResponse(QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
                                   QByteArray::fromStdString(page()));
    });
}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::listen(const MetricsAddress& address, QString* error)
{
    auto tcp = std::make_unique<QTcpServer>();
    if (!tcp->listen(QHostAddress(address.host), address.port)) {
        *error = metricsAddressText(address) + QStringLiteral(": ") + tcp->errorString();
        return false;
    }
    m_http->bind(tcp.release()); // the HTTP server owns it from now on
    return true;
}

MeterMetrics& MetricsServer::meter(const QString& name)
{
    return m_meters[name.toStdString()];
}

void MetricsServer::addMeter(const QString& name)
{
    meter(name);
}

void MetricsServer::readingReceived(const QString& name, const TARecord& record)
{
    MeterMetrics& m = meter(name);
    const SiUnit unit = siUnit(record.function);
    const bool overload = isOverload(record);
    m.value = overload || !std::isfinite(record.fValue)
                  ? std::string()
                  : siValueText(record.fValue, unit.decimalShift);
    m.unit = unit.symbol;
    m.function = functionName(record.function);
    m.readingAt = std::chrono::milliseconds(m_clock.elapsed());
    ++m.readings;
    if (overload)
        ++m.overloads;
    m.linkUp = true;
}

void MetricsServer::setLinkUp(const QString& name, bool up)
{
    meter(name).linkUp = up;
}

void MetricsServer::setAlarmState(const QString& name, const QString& state)
{
    meter(name).alarm = state.toStdString();
}

void MetricsServer::watchMqtt(const QString& name, const MqttPublisher* publisher)
{
    m_mqtt[name.toStdString()] = publisher;
}

std::string MetricsServer::page() const
{
    auto meters = m_meters;
    for (const auto& [name, publisher] : m_mqtt) {
        if (!publisher)
            continue;
        MeterMetrics& m = meters[name];
        m.mqttQueued = publisher->queued();
        m.mqttDropped = publisher->dropped();
    }
    return prometheusText(meters, std::chrono::milliseconds(m_clock.elapsed()));
}

} // namespace dmm::logtool
