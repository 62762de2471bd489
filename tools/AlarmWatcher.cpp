// SPDX-License-Identifier: MIT
#include "AlarmWatcher.h"

#include "SiUnits.h"

namespace dmm::logtool {

AlarmWatcher::AlarmWatcher(QString meterName, AlarmRange range, double hysteresis, QObject* parent)
    : QObject(parent), m_name(std::move(meterName)), m_machine(range, hysteresis)
{
}

void AlarmWatcher::readingLogged(const QDateTime& time, const TARecord& record)
{
    const AlarmState before = m_machine.state();
    const bool hadUnit = !m_machine.unit().empty();
    const bool changed = m_machine.take(alarmValue(record), siUnit(record.function).symbol);
    if (!hadUnit && !m_machine.unit().empty())
        emit unitChosen(QString::fromStdString(m_machine.unit()));
    if (!changed && m_known)
        return;
    m_known = !m_machine.unit().empty();
    if (!m_known)
        return;
    AlarmEvent event = alarmEvent(m_name, m_machine.state(),
                                  changed ? std::optional(before) : std::nullopt, time, record);
    emit stateKnown(event);
    if (changed)
        emit stateChanged(event);
}

} // namespace dmm::logtool
