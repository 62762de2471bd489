// SPDX-License-Identifier: MIT
// dmm-log writing busy.g52 from the simulator's port: a file another program
// holds while it writes, for the tests of two writers on one file.
#pragma once

#include <QProcess>
#include <QString>

#include "SimProcess.h"

class BusyLog
{
public:
    BusyLog() = default;
    ~BusyLog();
    BusyLog(const BusyLog&) = delete;
    BusyLog& operator=(const BusyLog&) = delete;

    // Starts the simulator and dmm-log; true once the first reading is logged.
    bool start();
    QString directory() const { return m_sim.directory(); }
    QString file() const { return m_sim.directory() + QStringLiteral("/busy.g52"); }
    // SIGTERM; dmm-log's exit status, or -1 when it did not end normally.
    int stop();

private:
    SimProcess m_sim;
    QProcess m_log;
};
