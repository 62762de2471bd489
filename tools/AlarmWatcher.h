// SPDX-License-Identifier: MIT
// One meter's alarm in dmm-log: its logged readings through the alarm's
// state machine (AlarmRange.h). Others read the state it is in and hear of
// each change; it acts on nothing itself (AlarmActions.h does).
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include "AlarmRange.h"
#include "AlarmTexts.h"
#include "Record.h"

namespace dmm::logtool {

class AlarmWatcher : public QObject
{
    Q_OBJECT
public:
    AlarmWatcher(QString meterName, AlarmRange range, double hysteresis, QObject* parent = nullptr);

    const QString& meterName() const { return m_name; }
    // The current state: normal until a reading says otherwise.
    AlarmState state() const { return m_machine.state(); }
    // Whether a reading in the limits' unit came yet.
    bool known() const { return m_known; }
    const AlarmMachine& machine() const { return m_machine; }

    void readingLogged(const QDateTime& time, const TARecord& record);

signals:
    // The first reading in the limits' unit: their unit is now known.
    void unitChosen(const QString& unit);
    // The state after the first reading in the limits' unit, and after each
    // change: what a retained state follows.
    void stateKnown(const dmm::logtool::AlarmEvent& event);
    // A change of state (previous is set): what is reported and acted on.
    void stateChanged(const dmm::logtool::AlarmEvent& event);

private:
    QString m_name;
    AlarmMachine m_machine;
    bool m_known = false;
};

} // namespace dmm::logtool
