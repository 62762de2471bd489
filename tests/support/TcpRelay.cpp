// SPDX-License-Identifier: MIT
#include "TcpRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

// Moves what `from` has to `to`; false when either side is gone.
bool forward(int from, int to)
{
    char buffer[16384];
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    for (ssize_t done = 0; done < n;) {
        const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
        if (w <= 0)
            return false;
        done += w;
    }
    return true;
}

} // namespace

TcpRelay::TcpRelay(int serverPort) : m_serverPort(serverPort) {}

TcpRelay::~TcpRelay()
{
    m_stop = true;
    wake();
    if (m_thread.joinable())
        m_thread.join();
    for (const int fd : {m_listener, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

bool TcpRelay::start()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (m_listener < 0 || ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0 ||
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread(&TcpRelay::run, this);
    return true;
}

void TcpRelay::hold(bool on)
{
    m_held = on;
    wake();
}

void TcpRelay::cut()
{
    m_cut = true;
    wake();
}

void TcpRelay::wake()
{
    const char byte = 1;
    if (m_wake[1] >= 0) [[maybe_unused]]
        const ssize_t n = ::write(m_wake[1], &byte, 1);
}

void TcpRelay::run()
{
    int client = -1;
    int server = -1;
    const auto drop = [&] {
        for (int* fd : {&client, &server}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    };
    while (!m_stop) {
        if (m_cut.exchange(false))
            drop();
        pollfd fds[4] = {{m_listener, POLLIN, 0},
                         {m_wake[0], POLLIN, 0},
                         {m_held ? -1 : client, POLLIN, 0},
                         {server, POLLIN, 0}};
        if (::poll(fds, 4, -1) < 0)
            continue;
        if (fds[1].revents) {
            char buffer[64];
            while (::read(m_wake[0], buffer, sizeof buffer) > 0) {
            }
        }
        if (fds[0].revents & POLLIN) {
            drop(); // one client at a time: the newest
            client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in address = loopback(m_serverPort);
            if (client < 0 || server < 0 ||
                ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
                drop();
            continue;
        }
        if ((fds[2].revents && !forward(client, server)) ||
            (fds[3].revents && !forward(server, client)))
            drop();
    }
    drop();
}
