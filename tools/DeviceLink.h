// SPDX-License-Identifier: MIT
// The symbolic link through which the program under test finds the simulated
// port (for example ./COM1 -> /dev/pts/3).
#pragma once

#include <string>

class DeviceLink
{
public:
    DeviceLink() = default;
    ~DeviceLink() { remove(); }
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Points `path` at `target`. An existing symbolic link is replaced; any
    // other file is left alone and the call fails with the reason in `error`.
    bool create(const std::string& path, const std::string& target, std::string& error);

    // Removes the link if it still points where this object made it point, so
    // a link another simulator has taken over stays.
    void remove();

private:
    std::string m_path;
    std::string m_target;
};
