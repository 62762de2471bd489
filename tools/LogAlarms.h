// SPDX-License-Identifier: MIT
// dmm-log's alarms: one watcher per meter that has one (AlarmWatcher.h), and
// what each change of state does: a line on standard error, the retained
// PREFIX/NAME/alarm over MQTT (through the publish function the session
// gives) and the --on-alarm command (AlarmCommand.h).
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AlarmCommand.h"
#include "AlarmOptions.h"
#include "AlarmWatcher.h"
#include "Record.h"

namespace dmm::logtool {

class LogAlarms : public QObject
{
    Q_OBJECT
public:
    using Publish = std::function<void(const QString& meterName, const std::string& payload)>;

    LogAlarms(const AlarmOptions& options, std::FILE* err, QObject* parent = nullptr);

    // The watcher of a meter; null when it has no alarm.
    AlarmWatcher* watcher(const QString& meterName) const;
    void setPublish(Publish publish) { m_publish = std::move(publish); }

    void readingLogged(const QString& meterName, const QDateTime& time, const TARecord& record);

    // The end of the run: drained() when no command runs any more.
    void finish();
    bool busy() const { return m_command && m_command->busy(); }
    AlarmCommand* command() const { return m_command.get(); }

signals:
    void drained();

private:
    void say(const QString& text);

    std::FILE* m_err;
    std::vector<std::unique_ptr<AlarmWatcher>> m_watchers;
    std::unique_ptr<AlarmCommand> m_command;
    Publish m_publish;
};

} // namespace dmm::logtool
