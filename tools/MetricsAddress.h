// SPDX-License-Identifier: MIT
// Where dmm-log --metrics listens: [HOST:]PORT, the loopback address unless
// HOST names another. HOST is an IPv4 address, an IPv6 address in brackets
// ([::1]) or "localhost"; 0.0.0.0 and [::] listen on every interface, which
// the user must ask for.
#pragma once

#include <QString>

#include <optional>

namespace dmm::logtool {

struct MetricsAddress
{
    QString host = QStringLiteral("127.0.0.1"); // an IP address, without brackets
    quint16 port = 0;
};

struct MetricsAddressResult
{
    std::optional<MetricsAddress> address;
    QString error; // what is wrong with the text, when no address
};

MetricsAddressResult parseMetricsAddress(const QString& text);

// "127.0.0.1:9100", "[::1]:9100".
QString metricsAddressText(const MetricsAddress& address);

} // namespace dmm::logtool
