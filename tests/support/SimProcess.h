// SPDX-License-Identifier: MIT
// dmm-sim running on a scratch directory: the port the program under test opens
// is <scratch>/COM1, a link to the simulator's pseudo-terminal.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>

class SimProcess
{
public:
    SimProcess();
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts dmm-sim with --link <scratch>/COM1 and `arguments`, and waits for
    // its "ready" line. False when it did not get ready in time (it may have
    // ended: see process()).
    bool start(const QStringList& arguments,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

    QString directory() const { return m_directory.path(); }
    QString linkPath() const { return m_directory.filePath(QStringLiteral("COM1")); }
    // The pseudo-terminal's slave device that the simulator reported.
    QString devicePath() const { return m_devicePath; }
    QProcess& process() { return m_process; }

    // Ends the simulator (its link goes with it) and starts a new one on the same
    // link path, as when a USB adapter is pulled out and plugged in again.
    bool restart(const QStringList& arguments,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // SIGTERM, then waits for the simulator to end. False when it did not end in
    // time or ended other than with status 0.
    bool terminate(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    QTemporaryDir m_directory;
    QProcess m_process;
    QString m_devicePath;
};
