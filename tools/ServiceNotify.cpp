// SPDX-License-Identifier: MIT
#include "ServiceNotify.h"

#include <systemd/sd-daemon.h>

namespace dmm::logtool {

ServiceNotify::ServiceNotify()
{
    uint64_t usec = 0;
    // > 0 only when WATCHDOG_USEC is set (and WATCHDOG_PID, if set, is ours).
    if (sd_watchdog_enabled(0, &usec) > 0)
        m_watchdog = std::chrono::microseconds(usec);
}

QString ServiceNotify::statusText(long long logged) const
{
    return QStringLiteral("%1, %2 readings")
        .arg(m_silent ? QStringLiteral("waiting for the adapter") : QStringLiteral("logging"))
        .arg(logged);
}

void ServiceNotify::portOpened(long long logged)
{
    m_silent = false;
    send(QStringLiteral("READY=1\nSTATUS=") + statusText(logged));
    if (m_watchdog.count() > 0)
        send(QStringLiteral("WATCHDOG=1"));
    m_sinceLastPing.start();
}

void ServiceNotify::tickFinished(long long logged)
{
    // A tick lasts 500 ms, up to 12 s while a silent meter holds a read: the
    // unit's WatchdogSec leaves room for several.
    const auto quarter = std::chrono::duration_cast<std::chrono::milliseconds>(m_watchdog / 4);
    if (m_watchdog.count() == 0 || m_sinceLastPing.elapsed() < quarter.count())
        return;
    m_sinceLastPing.start();
    send(QStringLiteral("WATCHDOG=1\nSTATUS=") + statusText(logged));
}

void ServiceNotify::meterSilent(long long logged)
{
    if (m_silent)
        return;
    m_silent = true;
    send(QStringLiteral("STATUS=") + statusText(logged));
}

bool ServiceNotify::readingDecoded(long long logged)
{
    if (!m_silent)
        return false;
    m_silent = false;
    send(QStringLiteral("STATUS=") + statusText(logged));
    return true;
}

void ServiceNotify::stopping()
{
    send(QStringLiteral("STOPPING=1"));
}

void ServiceNotify::send(const QString& message)
{
    // Nothing happens without NOTIFY_SOCKET; a failed send is no reason to
    // stop logging, and systemd sees the missing pings.
    sd_notify(0, message.toUtf8().constData());
}

} // namespace dmm::logtool
