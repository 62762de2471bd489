// SPDX-License-Identifier: MIT
// The simulator's end of a pseudo-terminal: the meter writes to the master, the
// program under test opens the slave as its serial port.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // False with the reason in `error`.
    bool open(std::string& error);
    const std::string& slavePath() const { return m_slavePath; }

    // Whether any process has the slave open. While nobody does, the line is
    // hung up and writes would only queue stale frames for the next reader.
    bool hasReader() const;

    enum class WriteResult
    {
        Written,
        NoReader,
        Full,
        Short,
        Failed
    };
    // One write() of all bytes, never blocking; `written` tells how many went out.
    WriteResult write(std::span<const std::uint8_t> bytes, std::size_t& written);

    // Throws away whatever the reader sent, so its writes never block.
    void drain();

private:
    int m_master = -1;
    std::string m_slavePath;
};
