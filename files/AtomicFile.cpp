// SPDX-License-Identifier: MIT
#include "AtomicFile.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "FileChecks.h"
#include "FileLocks.h"

namespace dmm {

namespace {

// ".", then the random part: eight hexadecimal digits.
constexpr qsizetype kTemporarySuffix = 9;
// The links a name may pass through, as the system counts them (ELOOP).
constexpr int kMaxLinks = 40;

QString cancelledText()
{
    return QCoreApplication::translate("AtomicFile", "Cancelled");
}

bool cancelled(const JobControl* job)
{
    return job && job->cancel.load();
}

// Writes every block `next` produces to `fd`, retrying short writes, so a real
// failure comes back from the system with its reason. A producer that sets the
// cancel flag (its input failed) cancels the write, also in the call that
// ends it: what it gave so far must not pass for the whole file.
std::optional<QString> writeBlocks(int fd, const BlockProducer& next, JobControl* job)
{
    QByteArray block;
    for (;;) {
        if (cancelled(job))
            return cancelledText();
        block.truncate(0); // keeps its memory for the next block
        const bool more = next(block);
        if (cancelled(job))
            return cancelledText();
        if (!more)
            return std::nullopt;
        qint64 done = 0;
        if (const int error = writeFully(fd, block.constData(), block.size(), -1, &done))
            return systemReason(error);
        if (job)
            job->done.fetch_add(done);
    }
}

// A character device (a null device, a terminal) takes the bytes as they are:
// it is never replaced by a regular file.
std::optional<QString> writeIntoDevice(const QByteArray& name, const BlockProducer& next,
                                       JobControl* job)
{
    const int fd = openWithoutWaiting(name, O_WRONLY);
    if (fd < 0)
        return systemReason(errno);
    auto reason = writeBlocks(fd, next, job);
    if (::close(fd) != 0 && !reason && errno != EINTR)
        reason = systemReason(errno);
    return reason;
}

// The folder part of a name, with its closing '/'; empty for a bare name.
QByteArray folderOf(const QByteArray& name)
{
    return name.left(name.lastIndexOf('/') + 1);
}

// The name a write lands on: the symbolic links `name` ends in are followed,
// a dangling one too, so a link stays a link and the file it names is
// written (made where it does not exist yet). -1 with errno on failure.
int followLinks(QByteArray* name)
{
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        struct stat st
        {
        };
        if (::lstat(name->constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return 0; // a missing name is the caller's to judge
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(name->constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return -1;
        target.truncate(n);
        *name = target.startsWith('/') ? target : folderOf(*name) + target;
    }
    errno = ELOOP;
    return -1;
}

// The start every temporary file for `target` is named with: the target's
// name, cut where name and suffix would pass the folder's limit on a name
// (a 250-byte name is still saved), never inside a UTF-8 character.
QByteArray temporaryStem(const QByteArray& target)
{
    const QByteArray folder = folderOf(target);
    const long limit = ::pathconf(folder.isEmpty() ? "." : folder.constData(), _PC_NAME_MAX);
    QByteArray base = target.mid(folder.size());
    qsizetype room = (limit > 0 ? qsizetype(limit) : qsizetype(NAME_MAX)) - kTemporarySuffix;
    if (base.size() > room) {
        for (int back = 0; back < 3 && room > 1 && (uchar(base.at(room)) & 0xC0) == 0x80; ++back)
            --room;
        base.truncate(room);
    }
    return folder + base;
}

bool isHexDigits(QByteArrayView text)
{
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return !text.isEmpty();
}

// Removes the temporary files an earlier write of the same target left
// behind (killed before it could clean up), found by the naming rule. One that
// a program holds a lock on is being written now and stays.
void removeLeftovers(const QByteArray& stem)
{
    const QByteArray folder = folderOf(stem);
    const QByteArray base = stem.mid(folder.size());
    DIR* dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name.size() != base.size() + kTemporarySuffix || !name.startsWith(base) ||
            name.at(base.size()) != '.' || !isHexDigits(name.sliced(base.size() + 1)))
            continue;
        const QByteArray path = folder + name.toByteArray();
        struct stat st
        {
        };
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            !isHeldByAnotherProgram(fileNameText(path)))
            ::unlink(path.constData());
    }
    ::closedir(dir);
}

// A new file beside the target, named by `stem` and a random part, made with
// the permissions a new file gets here and locked while it is written (so the
// next write's clean-up leaves it alone); -1 with the reason when the folder
// refuses it.
int createTemporary(const QByteArray& stem, QByteArray* tempName, QString* reason)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *tempName =
            stem + '.' +
            QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0');
        const int fd =
            ::open(tempName->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            // A file system without locks still takes the write.
            lockExclusive(fd);
            return fd;
        }
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

void syncFolderOf(const QByteArray& name)
{
    const QByteArray folder = folderOf(name);
    const int fd =
        ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Fills the temporary: its open descriptor and its name.
using TemporaryFiller = std::function<std::optional<QString>(int fd, const QString& tempName)>;
// Takes the bytes for a character device, which is never replaced.
using DeviceWriter = std::function<std::optional<QString>(const QByteArray& name)>;

// The one replace: links followed, devices, FIFOs and held files refused (or
// a device given to `intoDevice`), a temporary beside the target with its
// permissions, filled, synced and renamed over it. A failure leaves the old
// file and no temporary.
std::optional<QString> replaceFile(const QString& path, const TemporaryFiller& fill,
                                   const DeviceWriter& intoDevice)
{
    QByteArray name = fileNameBytes(path);
    if (followLinks(&name) != 0)
        return systemReason(errno);
    const QString target = fileNameText(name);

    struct stat existing
    {
    };
    const bool exists = ::stat(name.constData(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return systemReason(errno);
    if (exists && S_ISCHR(existing.st_mode) && intoDevice)
        return intoDevice(name);
    if (exists && !S_ISREG(existing.st_mode))
        return *notRegularFileReason(target) + QStringLiteral(": it is never replaced");
    // Replacing a file a program is writing would leave it writing into a
    // deleted file; this program's own are named for what they are.
    if (exists) {
        if (auto reason = heldByThisProgramReason(target))
            return reason;
        if (auto reason = heldByAnotherProgramReason(target))
            return reason;
    }

    const QByteArray stem = temporaryStem(name);
    removeLeftovers(stem);
    QByteArray tempName;
    QString reason;
    // Kept open and locked while it is filled, also by a writer that opens it
    // by its name.
    const int fd = createTemporary(stem, &tempName, &reason);
    if (fd < 0)
        return reason;
    std::optional<QString> failure;
    if (exists) {
        // The new file keeps the old one's permissions (a private recording
        // stays private) and, where allowed, its owner.
        if (::fchmod(fd, existing.st_mode & 07777) != 0)
            failure = systemReason(errno);
        [[maybe_unused]] const int owned = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    if (!failure)
        failure = fill(fd, fileNameText(tempName));
    // On the disk before the rename, so a power cut leaves the old file or the
    // whole new one, never an empty one.
    if (!failure && ::fdatasync(fd) != 0)
        failure = systemReason(errno);
    if (::close(fd) != 0 && !failure && errno != EINTR)
        failure = systemReason(errno);
    if (!failure && ::rename(tempName.constData(), name.constData()) != 0)
        failure = systemReason(errno);
    if (failure) {
        ::unlink(tempName.constData());
        return failure;
    }
    syncFolderOf(name);
    return std::nullopt;
}

} // namespace

std::optional<QString> writeFileAtomically(const QString& path, const BlockProducer& next,
                                           JobControl* job)
{
    return replaceFile(
        path, [&](int fd, const QString&) { return writeBlocks(fd, next, job); },
        [&](const QByteArray& name) { return writeIntoDevice(name, next, job); });
}

std::optional<QString> replaceFileAtomically(const QString& path, const NamedFileWriter& write)
{
    return replaceFile(
        path, [&](int, const QString& tempName) { return write(tempName); }, {});
}

BlockProducer singleBlock(QByteArray bytes)
{
    return [bytes = std::move(bytes), given = false](QByteArray& block) mutable {
        if (given)
            return false;
        block = bytes;
        given = true;
        return true;
    };
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    return writeFileAtomically(path, singleBlock(bytes));
}

} // namespace dmm
