// SPDX-License-Identifier: MIT
#include "PtyPair.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return;
    const char* name = nullptr;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        (name = ptsname(m_master)) == nullptr) {
        closeMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0) {
        closeMaster();
        return;
    }
    // Raw, so no byte of a frame is taken for a line-editing or signal character.
    termios settings{};
    if (tcgetattr(m_slave, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(m_slave, TCSANOW, &settings);
    }
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::write(const QByteArray& bytes)
{
    if (m_master < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

int PtyPair::slaveQueued() const
{
    int count = 0;
    if (m_slave < 0 || ::ioctl(m_slave, TIOCINQ, &count) != 0)
        return -1;
    return count;
}

bool PtyPair::waitUntilSlaveQueued(int count, std::chrono::milliseconds timeout) const
{
    const QDeadlineTimer deadline(timeout);
    while (slaveQueued() < count) {
        if (deadline.hasExpired())
            return false;
        QThread::usleep(200);
    }
    return true;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
