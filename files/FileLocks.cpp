// SPDX-License-Identifier: MIT
#include "FileLocks.h"

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

#include "FileChecks.h"

namespace dmm {

namespace {

struct HeldFiles
{
    std::mutex mutex;
    std::vector<std::pair<QString, QString>> files; // path, description
};

HeldFiles& heldFiles()
{
    static HeldFiles held;
    return held;
}

} // namespace

bool lockExclusive(int fd)
{
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool isHeldByAnotherProgram(const QString& path)
{
    const QByteArray name = fileNameBytes(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    // An exclusive try: a shared lock (a backup or a reader that locks what
    // it reads) keeps this program's writers out as well as an exclusive one.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // also drops the lock if it was taken
    return held;
}

std::optional<QString> lockHolderName(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(fileNameBytes(path).constData(), &st) != 0)
        return std::nullopt;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    // A line reads "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF": the
    // fifth field is the holder's pid, the sixth major:minor:inode.
    const QString wanted = QStringLiteral("%1:%2:%3")
                               .arg(major(st.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(minor(st.st_dev), 2, 16, QLatin1Char('0'))
                               .arg(st.st_ino);
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields.at(1) != "FLOCK" || fields.at(4) == "->")
            continue;
        if (QString::fromLatin1(fields.at(5)) != wanted)
            continue;
        const qint64 pid = fields.at(4).toLongLong();
        if (pid <= 0 || pid == ::getpid())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        QString program;
        if (comm.open(QIODevice::ReadOnly))
            program = QString::fromLocal8Bit(comm.readAll()).trimmed();
        if (program.isEmpty())
            return QStringLiteral("pid %1").arg(pid);
        return QStringLiteral("%1 (pid %2)").arg(program).arg(pid);
    }
    return std::nullopt;
}

std::optional<QString> heldByAnotherProgramReason(const QString& path)
{
    if (!isHeldByAnotherProgram(path))
        return std::nullopt;
    const QString reason = QStringLiteral("in use by another program");
    if (const auto holder = lockHolderName(path))
        return reason + QStringLiteral(": ") + *holder;
    return reason;
}

void registerHeldFile(const QString& path, const QString& description)
{
    HeldFiles& held = heldFiles();
    const std::lock_guard lock(held.mutex);
    held.files.emplace_back(path, description);
}

void forgetHeldFile(const QString& path)
{
    HeldFiles& held = heldFiles();
    const std::lock_guard lock(held.mutex);
    std::erase_if(held.files, [&](const auto& file) { return file.first == path; });
}

std::optional<QString> heldByThisProgramReason(const QString& path)
{
    HeldFiles& held = heldFiles();
    const std::lock_guard lock(held.mutex);
    for (const auto& [heldPath, description] : held.files)
        if (isSameFile(path, heldPath))
            return QStringLiteral("held by this program: ") + description;
    return std::nullopt;
}

} // namespace dmm
