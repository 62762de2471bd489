// SPDX-License-Identifier: MIT
#include "MetricsAddress.h"

#include <QHostAddress>

namespace dmm::logtool {

MetricsAddressResult parseMetricsAddress(const QString& text)
{
    const auto fail = [](const QString& error) { return MetricsAddressResult{{}, error}; };
    MetricsAddress address;
    QString portText = text.trimmed();
    if (const qsizetype colon = portText.lastIndexOf(u':'); colon >= 0) {
        QString host = portText.left(colon);
        portText = portText.mid(colon + 1);
        const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
        if (bracketed)
            host = host.mid(1, host.size() - 2);
        if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
            host = QStringLiteral("127.0.0.1");
        QHostAddress ip;
        // An IPv6 address needs its brackets, or its last group would read as the port.
        if (host.isEmpty() || !ip.setAddress(host) ||
            (ip.protocol() == QAbstractSocket::IPv6Protocol) != bracketed)
            return fail(QStringLiteral("needs [HOST:]PORT, HOST an IP address such as 127.0.0.1, "
                                       "0.0.0.0 (every interface) or [::1], or localhost"));
        address.host = ip.toString();
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return fail(QStringLiteral("needs [HOST:]PORT with a PORT from 1 to 65535"));
    address.port = static_cast<quint16>(port);
    return {address, {}};
}

QString metricsAddressText(const MetricsAddress& address)
{
    const bool ipv6 = address.host.contains(u':');
    return (ipv6 ? u'[' + address.host + u']' : address.host) + u':' +
           QString::number(address.port);
}

} // namespace dmm::logtool
