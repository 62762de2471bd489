// SPDX-License-Identifier: MIT
// A pseudo-terminal pair standing in for the meter's serial line: the program
// opens the slave by its path, the test writes the meter's bytes to the master.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

class PtyPair
{
public:
    // Opens the pair; check isValid() (a machine without /dev/ptmx cannot run
    // the serial tests).
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Writes all bytes to the master in one write(), as the line would deliver a
    // burst. False when the write fails or the master is closed.
    bool write(const QByteArray& bytes);
    // Bytes that reached the slave's input queue and no reader has taken yet.
    int slaveQueued() const;
    // Polls without running the event loop, so no reader can take the bytes.
    bool waitUntilSlaveQueued(int count, std::chrono::milliseconds timeout) const;
    // Hangs the line up, as when the device goes away.
    void closeMaster();

private:
    int m_master = -1;
    // Held open so the line stays up while the program closes and reopens the
    // slave, and so the slave's input queue can be inspected.
    int m_slave = -1;
    QString m_slavePath;
};
