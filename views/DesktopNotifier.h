// SPDX-License-Identifier: MIT
// Desktop notifications through the freedesktop notification service on the
// session bus (org.freedesktop.Notifications). The call is asynchronous: the
// window never waits for the bus. Where there is no session bus or no such
// service, nothing is shown and nothing is said. Each notification replaces
// the notifier's previous one, so a reading that comes and goes leaves one
// bubble, not a pile.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace dmm {

class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);
    // Another bus, for tests.
    DesktopNotifier(const QDBusConnection& bus, QObject* parent);

    void notify(const QString& summary, const QString& body);

    // The id the service gave the last notification; 0 before its answer.
    uint lastId() const { return m_lastId; }

signals:
    // The service's answer to a call (its id), or an error (id 0).
    void answered(uint id);

private:
    QDBusConnection m_bus;
    uint m_lastId = 0;
};

} // namespace dmm
