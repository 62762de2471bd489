// SPDX-License-Identifier: MIT
// A TCP port on 127.0.0.1 that nothing listens on just now, for a server a
// test starts.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// 0 when none could be had.
inline int freeLocalPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    ::close(fd);
    return ok ? ntohs(address.sin_port) : 0;
}
