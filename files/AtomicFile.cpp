// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FileChecks.h"
#include "FileLocks.h"

namespace dmm {

namespace {

QString cancelledText()
{
    return QCoreApplication::translate("AtomicFile", "Cancelled");
}

// Writes every block `next` produces to `fd`, retrying short writes, so a real
// failure comes back from the system with its reason.
std::optional<QString> writeBlocks(int fd, const BlockProducer& next, const WriteProgress& progress)
{
    QByteArray block;
    for (;;) {
        if (progress.cancel && progress.cancel->load())
            return cancelledText();
        block.clear();
        if (!next(block))
            return std::nullopt;
        qint64 done = 0;
        if (const int error = writeFully(fd, block.constData(), block.size(), -1, &done))
            return systemReason(error);
        if (progress.bytesWritten)
            progress.bytesWritten->fetch_add(done);
    }
}

// A character device (a null device, a terminal) takes the bytes as they are:
// it is never replaced by a regular file.
std::optional<QString> writeIntoDevice(const QByteArray& name, const BlockProducer& next,
                                       const WriteProgress& progress)
{
    const int fd = openWithoutWaiting(name, O_WRONLY);
    if (fd < 0)
        return systemReason(errno);
    auto reason = writeBlocks(fd, next, progress);
    if (::close(fd) != 0 && !reason && errno != EINTR)
        reason = systemReason(errno);
    return reason;
}

// A new file beside `target`, named after it, made with the permissions a new
// file gets here; -1 with the reason when the folder refuses it.
int createTemporaryBeside(const QString& target, QString* tempPath, QString* reason)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *tempPath = target + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(), 8,
                                                       16, QLatin1Char('0'));
        const int fd = ::open(QFile::encodeName(*tempPath).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            *reason = QStringLiteral("the folder refuses a temporary file (%1), so the file "
                                     "is not written; an existing file is left as it was")
                          .arg(systemReason(errno));
            return -1;
        }
    }
    *reason = systemReason(EEXIST);
    return -1;
}

void syncFolderOf(const QString& path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::optional<QString> writeFileAtomically(const QString& path, const BlockProducer& next,
                                           WriteProgress progress)
{
    // A link is followed: the file it names is replaced, the link stays.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString target = canonical.isEmpty() ? path : canonical;
    const QByteArray name = QFile::encodeName(target);

    struct stat existing
    {
    };
    const bool exists = ::stat(name.constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return systemReason(errno);
    if (exists && S_ISCHR(existing.st_mode))
        return writeIntoDevice(name, next, progress);
    if (exists && !S_ISREG(existing.st_mode))
        return *notRegularFileReason(target) + QStringLiteral(": it is never replaced");
    // Replacing a file another program is writing would leave that program
    // writing into a deleted file.
    if (exists)
        if (auto reason = heldByAnotherProgramReason(target))
            return reason;

    QString tempPath;
    QString reason;
    const int fd = createTemporaryBeside(target, &tempPath, &reason);
    if (fd < 0)
        return reason;
    if (exists) {
        // The new file keeps the old one's permissions (and owner, where allowed).
        ::fchmod(fd, existing.st_mode & 07777);
        [[maybe_unused]] const int owned = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    std::optional<QString> failure = writeBlocks(fd, next, progress);
    // On the disk before the rename, so a power cut leaves the old file or the
    // whole new one, never an empty one.
    if (!failure && ::fdatasync(fd) != 0)
        failure = systemReason(errno);
    if (::close(fd) != 0 && !failure && errno != EINTR)
        failure = systemReason(errno);
    if (!failure && ::rename(QFile::encodeName(tempPath).constData(), name.constData()) != 0)
        failure = systemReason(errno);
    if (failure) {
        ::unlink(QFile::encodeName(tempPath).constData());
        return failure;
    }
    syncFolderOf(target);
    return std::nullopt;
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    bool given = false;
    return writeFileAtomically(path, [&](QByteArray& block) {
        if (given)
            return false;
        block = bytes;
        given = true;
        return true;
    });
}

} // namespace dmm
