// SPDX-License-Identifier: MIT
// What kind of file a name stands for, and the system's reasons as text: a
// writer never replaces a device or a FIFO, a reader never blocks on one.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace dmm {

// A file name as text and back, byte for byte: UTF-8, and every byte that is
// no part of a valid UTF-8 character kept as the lone surrogate U+DC80 + byte.
// QFile::decodeName turns such a byte into U+FFFD, so a name such as
// "r\xe9.g52" (made on a Latin-1 system) named a file that was not there.
QString fileNameText(QByteArrayView bytes);
QByteArray fileNameBytes(QStringView text);

// The system's text for an errno value ("No space left on device").
QString systemReason(int errnum);

// Why the existing file at `path` is no regular file ("not a regular file
// but a FIFO"); nothing for a regular file or a name that does not exist.
std::optional<QString> notRegularFileReason(const QString& path);

// Whether anything has the name `path`: a file, a folder, or a link, also
// one that points nowhere.
bool nameIsTaken(const QString& path);

// Whether `path` names a folder, links followed.
bool isFolder(const QString& path);

// Whether `path` names a character device (a null device, a terminal), which
// takes output as it comes and is never replaced.
bool isCharacterDevice(const QString& path);

// Whether two names stand for one existing file (the same device and inode,
// links followed): a name compared as text misses "./r.g52" and links.
bool isSameFile(const QString& a, const QString& b);

// The same for an open descriptor.
std::optional<QString> notRegularFileReason(int fd);

// Writes all `size` bytes, at `offset` or, for a stream (offset < 0), where
// the descriptor stands, trying a short write again with the rest so that a
// real failure comes back with its errno (0 when all went out). `written`
// gets the bytes that did go out.
int writeFully(int fd, const char* data, qint64 size, qint64 offset, qint64* written);

// Opens `name` with `flags` without waiting (a FIFO for a peer, a serial line
// for its carrier), then lets reads and writes block as usual. The
// descriptor, or -1 with errno set.
int openWithoutWaiting(const QByteArray& name, int flags);

// Opens `path` for reading without ever blocking (a FIFO waits for no writer)
// and returns the descriptor, or -1 with the reason in `error`: anything but a
// regular file is refused.
int openRegularFileForReading(const QString& path, QString* error);

} // namespace dmm
