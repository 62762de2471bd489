// SPDX-License-Identifier: MIT
// What dmm-log tells systemd when it runs as a Type=notify service: READY
// once the port is open, STATUS with the state and the readings count, and
// WATCHDOG pings while the acquisition loop finishes its ticks (a loop hung
// in a port or a write stops them, and systemd restarts the service). Also
// the state the journal needs: whether the meter is silent, so that the
// first reading after it says that readings flow again. Without
// NOTIFY_SOCKET nothing is sent; the state is kept all the same.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <chrono>

namespace dmm::logtool {

class ServiceNotify
{
public:
    // Reads NOTIFY_SOCKET and WATCHDOG_USEC from the environment.
    ServiceNotify();

    // The port is open and polling starts.
    void portOpened(long long logged);
    // The acquisition loop finished a tick: a WATCHDOG ping, at most four per
    // watchdog interval, with the status.
    void tickFinished(long long logged);
    // The meter stopped answering (W8004): the adapter is out or the meter off.
    void meterSilent(long long logged);
    // A frame was decoded. True when it ends a silence: readings flow again.
    bool readingDecoded(long long logged);
    void stopping();

    // "logging, 12 readings", "waiting for the adapter, 12 readings".
    QString statusText(long long logged) const;
    std::chrono::microseconds watchdogInterval() const { return m_watchdog; }

private:
    void send(const QString& message);

    std::chrono::microseconds m_watchdog{0}; // 0: no watchdog asked for
    QElapsedTimer m_sinceLastPing;
    bool m_silent = false;
};

} // namespace dmm::logtool
