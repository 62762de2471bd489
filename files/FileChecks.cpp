// SPDX-License-Identifier: MIT
#include "FileChecks.h"

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

// The bytes a UTF-8 character starting at `bytes` takes, where they are a
// valid one; 0 for a byte that starts none.
qsizetype utf8CharacterLength(QByteArrayView bytes)
{
    const auto lead = uchar(bytes.front());
    const qsizetype length = lead < 0x80   ? 1
                             : lead < 0xC0 ? 0
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                                           : 4;
    return length > 0 && length <= bytes.size() && bytes.first(length).isValidUtf8() ? length : 0;
}

bool isEscapedByte(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !text[i - 1].isHighSurrogate());
}

} // namespace

QString fileNameText(QByteArrayView bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString text;
    while (!bytes.isEmpty()) {
        if (const qsizetype length = utf8CharacterLength(bytes)) {
            text += QString::fromUtf8(bytes.first(length));
            bytes = bytes.sliced(length);
        } else {
            text += QChar(char16_t(0xDC00 + uchar(bytes.front())));
            bytes = bytes.sliced(1);
        }
    }
    return text;
}

QByteArray fileNameBytes(QStringView text)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isEscapedByte(text, i))
            continue;
        bytes += text.sliced(start, i - start).toUtf8();
        bytes += char(text[i].unicode() - 0xDC00);
        start = i + 1;
    }
    return start == 0 ? text.toUtf8() : bytes + text.sliced(start).toUtf8();
}

QString systemReason(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

std::optional<QString> notRegularFileReason(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(fileNameBytes(path).constData(), &st) != 0)
        return std::nullopt;
    return reasonFor(st);
}

bool nameIsTaken(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(fileNameBytes(path).constData(), &st) == 0;
}

bool isFolder(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(fileNameBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isCharacterDevice(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(fileNameBytes(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

bool isSameFile(const QString& a, const QString& b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::stat(fileNameBytes(a).constData(), &first) == 0 &&
           ::stat(fileNameBytes(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
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
    const int fd = openWithoutWaiting(fileNameBytes(path), O_RDONLY);
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
