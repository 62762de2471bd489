// SPDX-License-Identifier: MIT
#include "LogAlarms.h"

#include <algorithm>

#include "NumberText.h"

namespace dmm::logtool {

namespace {

QString rangeText(const AlarmRange& range)
{
    const auto side = [](const std::optional<double>& limit) {
        return limit ? QString::fromStdString(formatGeneral(*limit, 15, '.')) : QString();
    };
    return side(range.low) + u':' + side(range.high);
}

} // namespace

LogAlarms::LogAlarms(const AlarmOptions& options, std::FILE* err, QObject* parent)
    : QObject(parent), m_err(err)
{
    if (!options.command.isEmpty()) {
        m_command = std::make_unique<AlarmCommand>(options.command, err);
        m_command->setTimeouts(
            options.commandTimeout,
            std::min<std::chrono::milliseconds>(options.commandTimeout, std::chrono::seconds(5)));
        connect(m_command.get(), &AlarmCommand::drained, this, &LogAlarms::drained);
    }
    for (const MeterAlarm& alarm : options.alarms) {
        auto watcher =
            std::make_unique<AlarmWatcher>(alarm.meterName, alarm.range, alarm.hysteresis);
        AlarmWatcher* w = watcher.get();
        connect(w, &AlarmWatcher::unitChosen, this, [this, w](const QString& unit) {
            say(QStringLiteral("alarm %1: limits %2 %3, the unit of the first reading, "
                               "hysteresis %4")
                    .arg(
                        w->meterName(), rangeText(w->machine().range()), unit,
                        QString::fromStdString(formatGeneral(w->machine().hysteresis(), 15, '.'))));
        });
        connect(w, &AlarmWatcher::stateKnown, this, [this](const AlarmEvent& event) {
            if (m_publish)
                m_publish(event.name, alarmPayload(event));
        });
        connect(w, &AlarmWatcher::stateChanged, this, [this](const AlarmEvent& event) {
            say(alarmLine(event));
            if (m_command)
                m_command->run(event);
        });
        m_watchers.push_back(std::move(watcher));
    }
}

AlarmWatcher* LogAlarms::watcher(const QString& meterName) const
{
    for (const auto& watcher : m_watchers)
        if (watcher->meterName() == meterName)
            return watcher.get();
    return nullptr;
}

void LogAlarms::readingLogged(const QString& meterName, const QDateTime& time,
                              const TARecord& record)
{
    if (AlarmWatcher* w = watcher(meterName))
        w->readingLogged(time, record);
}

void LogAlarms::finish()
{
    if (m_command)
        m_command->finish();
    else
        QMetaObject::invokeMethod(this, &LogAlarms::drained, Qt::QueuedConnection);
}

void LogAlarms::say(const QString& text)
{
    std::fputs(("dmm-log: " + text + u'\n').toUtf8().constData(), m_err);
    std::fflush(m_err);
}

} // namespace dmm::logtool
