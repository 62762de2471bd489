// SPDX-License-Identifier: MIT
#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::~PseudoTerminal()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool PseudoTerminal::open(std::string& error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    const char* name = nullptr;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || !(name = ptsname(m_master))) {
        error = std::string("pseudo-terminal set-up: ") + std::strerror(errno);
        return false;
    }
    m_slavePath = name;

    // Raw, so the line discipline neither echoes frames back nor holds bytes
    // until a newline. The settings stay with the terminal while the master is
    // open; closing the slave again leaves the line hung up until a reader comes.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) {
        error = m_slavePath + ": " + std::strerror(errno);
        return false;
    }
    termios settings{};
    bool raw = tcgetattr(slave, &settings) == 0;
    if (raw) {
        cfmakeraw(&settings);
        raw = tcsetattr(slave, TCSANOW, &settings) == 0;
    }
    const int savedErrno = errno;
    ::close(slave);
    if (!raw) {
        error = m_slavePath + ": raw mode: " + std::strerror(savedErrno);
        return false;
    }
    return true;
}

bool PseudoTerminal::hasReader() const
{
    pollfd p{m_master, POLLOUT, 0};
    if (::poll(&p, 1, 0) < 0)
        return false;
    return (p.revents & POLLHUP) == 0;
}

PseudoTerminal::WriteResult PseudoTerminal::write(std::span<const std::uint8_t> bytes,
                                                  std::size_t& written)
{
    written = 0;
    if (!hasReader())
        return WriteResult::NoReader;
    const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? WriteResult::Full : WriteResult::Failed;
    written = static_cast<std::size_t>(n);
    return written == bytes.size() ? WriteResult::Written : WriteResult::Short;
}

void PseudoTerminal::drain()
{
    std::uint8_t buffer[256];
    // Stops at EAGAIN, and at EIO while the line is hung up.
    while (::read(m_master, buffer, sizeof buffer) > 0) {
    }
}
