// SPDX-License-Identifier: MIT
#include "BusyLog.h"

BusyLog::~BusyLog()
{
    if (m_log.state() != QProcess::NotRunning) {
        m_log.kill();
        m_log.waitForFinished(5000);
    }
}

bool BusyLog::start()
{
    if (!m_sim.start({"--scenario", "steady", "--period", "100"}))
        return false;
    m_log.setWorkingDirectory(m_sim.directory());
    m_log.start(QStringLiteral(DMM_LOG_PATH), {"--port", "COM1", "--out", "busy.g52"});
    // A reading on standard output: it is in the file as well.
    return m_log.waitForStarted() && m_log.waitForReadyRead(10000);
}

int BusyLog::stop()
{
    m_log.terminate();
    if (!m_log.waitForFinished(10000) || m_log.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_log.exitCode();
}
