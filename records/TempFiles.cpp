// SPDX-License-Identifier: MIT
#include "TempFiles.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "DelayedSync.h"
#include "FileChecks.h"
#include "FileLocks.h"
#include "StringTable.h"

namespace dmm {

namespace {

// Numbers tried past the run count before giving up on a directory that is
// full of leftovers (or refuses every name).
constexpr int kMaxNameAttempts = 10000;

} // namespace

TempFiles::TempFiles(QString directory) : m_directory(std::move(directory)) {}

TempFiles::~TempFiles()
{
    close();
    for (const Created& file : m_created)
        if (file.fd >= 0)
            ::close(file.fd);
}

QString TempFiles::fileName(int n) const
{
    return QDir(m_directory).filePath(tableString(6) + QString::number(n) + QStringLiteral(".TMP"));
}

QString TempFiles::currentFileName() const
{
    return m_created.empty() ? QString() : m_created.back().path;
}

QStringList TempFiles::createdFiles() const
{
    QStringList paths;
    for (const Created& file : m_created)
        paths << file.path;
    return paths;
}

qsizetype TempFiles::missedRecords() const
{
    return m_pending.size() / qsizetype(kARecordSize);
}

bool TempFiles::createNext(QString* reason)
{
    close();
    m_pending.clear();
    if (!m_sync)
        m_sync = std::make_unique<DelayedSync>();
    int lastError = 0;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const int n = m_count + 1;
        const QString path = fileName(n);
        // O_EXCL: created here and now, never an older run's file.
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            lockExclusive(fd);
            m_count = n;
            m_created.push_back({path, fd});
            m_fd = fd;
            m_size = 0;
            return true;
        }
        lastError = errno;
        if (lastError != EEXIST)
            break; // not a name clash: the directory refuses new files
        m_count = n;
    }
    if (reason)
        *reason = systemReason(lastError);
    return false;
}

void TempFiles::close()
{
    if (m_fd < 0)
        return;
    // Readings of a stopped run reach the disk before the user goes on.
    sync();
    m_sync->forget(m_fd);
    m_fd = -1;
}

void TempFiles::sync()
{
    if (m_fd < 0)
        return;
    writePending(nullptr);
    m_sync->syncNow(m_fd);
}

bool TempFiles::write(const TARecord& record, QString* reason)
{
    if (m_fd < 0)
        return true;
    const auto bytes = encodeARecord(record);
    m_pending.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return writePending(reason);
}

bool TempFiles::writePending(QString* reason)
{
    qint64 done = 0;
    int error = writeFully(m_fd, m_pending.constData(), m_pending.size(), m_size, &done);
    // Part of a record on the disk would be read as a garbled reading after a
    // crash: it goes at once. Writing at explicit offsets puts the next record
    // on the boundary even if this cut failed.
    const qint64 whole = done - done % qint64(kARecordSize);
    if (whole != done) {
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, m_size + whole);
    }
    m_size += whole;
    m_pending.remove(0, whole);
    if (whole > 0)
        m_sync->written(m_fd);
    if (error == 0)
        error = m_sync->takeError(m_fd);
    if (error == 0)
        return true;
    if (reason)
        *reason = systemReason(error);
    return false;
}

void TempFiles::deleteCreatedFiles()
{
    close();
    // Removed while still locked, so no one takes a file being deleted for a
    // crashed run's.
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
        QFile::remove(it->path);
        if (it->fd >= 0)
            ::close(it->fd);
    }
    m_created.clear();
}

} // namespace dmm
