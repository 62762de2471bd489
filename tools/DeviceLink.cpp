// SPDX-License-Identifier: MIT
#include "DeviceLink.h"

#include <array>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "SymbolicLink.h"

bool DeviceLink::create(const std::string& path, const std::string& target, std::string& error)
{
    struct stat existing
    {
    };
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = path + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    // The path never points nowhere in between.
    if (const auto reason = dmm::replaceSymbolicLink(QString::fromStdString(path),
                                                     QString::fromStdString(target))) {
        error = path + ": " + reason->toStdString();
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
