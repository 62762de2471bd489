// SPDX-License-Identifier: MIT
#include "DeviceLink.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

bool DeviceLink::create(const std::string& path, const std::string& target, std::string& error)
{
    struct stat existing
    {
    };
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = path + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    // A new link under a temporary name renamed over the old one, so the path
    // never points nowhere in between.
    const std::string temporary = path + ".dmm-sim-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    m_path = path;
    m_target = target;
    return true;
}

void DeviceLink::remove()
{
    if (m_path.empty())
        return;
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink(m_path.c_str(), buffer.data(), buffer.size() - 1);
    if (n >= 0 && std::string(buffer.data(), static_cast<std::size_t>(n)) == m_target)
        ::unlink(m_path.c_str());
    m_path.clear();
}
