// SPDX-License-Identifier: MIT
// A TCP relay on a free localhost port to a server's port, on its own thread:
// it can hold what the client sends (a server that has stopped answering) and
// cut the connection (a server that died), and keeps listening for the next.
#pragma once

#include <atomic>
#include <thread>

class TcpRelay
{
public:
    explicit TcpRelay(int serverPort);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    // Listens; false when no port can be had.
    bool start();
    int port() const { return m_port; }
    // While held, nothing the client sends reaches the server.
    void hold(bool on);
    // Closes the connection on both sides, as a server's death would.
    void cut();

private:
    void run();
    void wake();

    int m_serverPort;
    int m_port = 0;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_held{false};
    std::atomic<bool> m_cut{false};
    std::atomic<bool> m_stop{false};
};
