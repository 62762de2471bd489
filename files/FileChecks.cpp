// SPDX-License-Identifier: MIT
#include "FileChecks.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dmm {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    return QStringLiteral("a special file");
}

std::optional<QString> reasonFor(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return std::nullopt;
    return QStringLiteral("not a regular file but ") + kindOf(st.st_mode);
}

} // namespace

QString systemReason(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

std::optional<QString> notRegularFileReason(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return reasonFor(st);
}

bool isCharacterDevice(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::optional<QString> notRegularFileReason(int fd)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        return systemReason(errno);
    return reasonFor(st);
}

int writeFully(int fd, const char* data, qint64 size, qint64 offset, qint64* written)
{
    qint64 done = 0;
    int error = 0;
    while (done < size) {
        const auto rest = size_t(size - done);
        const ssize_t n = offset < 0 ? ::write(fd, data + done, rest)
                                     : ::pwrite(fd, data + done, rest, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    *written = done;
    return error;
}

int openWithoutWaiting(const QByteArray& name, int flags)
{
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int openRegularFileForReading(const QString& path, QString* error)
{
    const int fd = openWithoutWaiting(QFile::encodeName(path), O_RDONLY);
    if (fd < 0) {
        if (error)
            *error = systemReason(errno);
        return -1;
    }
    if (const auto reason = notRegularFileReason(fd)) {
        ::close(fd);
        if (error)
            *error = *reason;
        return -1;
    }
    return fd;
}

} // namespace dmm
