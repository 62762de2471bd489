// SPDX-License-Identifier: MIT
#include "SimProcess.h"

#include <QDeadlineTimer>

SimProcess::SimProcess() = default;

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

bool SimProcess::start(const QStringList& arguments, std::chrono::milliseconds timeout)
{
    m_process.start(QStringLiteral(DMM_SIM_PATH),
                    QStringList{QStringLiteral("--link"), linkPath()} + arguments);
    if (!m_process.waitForStarted(static_cast<int>(timeout.count())))
        return false;

    QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
            if (line.endsWith(QStringLiteral(" ready"))) {
                m_devicePath = line.chopped(6);
                return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    return false;
}

bool SimProcess::terminate(std::chrono::milliseconds timeout)
{
    m_process.terminate();
    return m_process.waitForFinished(static_cast<int>(timeout.count())) &&
           m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool SimProcess::restart(const QStringList& arguments, std::chrono::milliseconds timeout)
{
    if (m_process.state() != QProcess::NotRunning && !terminate(timeout))
        return false;
    m_devicePath.clear();
    return start(arguments, timeout);
}
