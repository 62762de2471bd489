// SPDX-License-Identifier: MIT
#include "RecordAppender.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <variant>

#include "DelayedSync.h"
#include "FileChecks.h"
#include "FileLocks.h"
#include "RecordDates.h"

namespace dmm {

namespace {

constexpr qint64 kTailBlock = 64 * 1024;
constexpr qint64 kRecord = qint64(kARecordSize);

// Reads `size` bytes at `offset`; an empty result when the file ends before.
QByteArray readAt(int fd, qint64 offset, qint64 size, int* error)
{
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size_t(size - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = n < 0 ? errno : 0;
            return {};
        }
        got += n;
    }
    return bytes;
}

// The end of the whole lines of the file (of `size` bytes): back from the end,
// block by block, to the last line end; -1 when there is none.
qint64 wholeLinesSize(int fd, qint64 size, int* error)
{
    for (qint64 end = size; end > 0;) {
        const qint64 start = std::max<qint64>(0, end - kTailBlock);
        const QByteArray block = readAt(fd, start, end - start, error);
        if (block.isEmpty())
            return -1;
        if (const qint64 lineEnd = wholeLinesEnd(block, start); lineEnd >= 0)
            return lineEnd;
        end = start;
    }
    return -1;
}

// How much of the file at `fd` is kept when appending to it as `kind`, or the
// reason it is no such file.
std::variant<qint64, QString> keptSize(int fd, RecordAppender::Kind kind,
                                       QByteArrayView expectedHeader)
{
    int error = 0;
    const auto unreadable = [&] { return systemReason(error != 0 ? error : EIO); };
    const qint64 size = ::lseek(fd, 0, SEEK_END);
    if (size < 0)
        return systemReason(errno);
    if (size == 0)
        return qint64(0);
    if (kind == RecordAppender::Kind::Records) {
        const auto ends = readEndRecords(fd, size, &error);
        if (!ends && error == 0)
            return QStringLiteral("holds no whole record: not a recording");
        if (!ends)
            return unreadable();
        for (const auto& [offset, bytes] :
             {std::pair{qint64(0), &ends->first}, {(ends->count - 1) * kRecord, &ends->last}}) {
            if (!isPlausibleRecord(QByteArrayView(bytes->data(), qsizetype(bytes->size()))))
                return QStringLiteral("the record at byte %1 is not one the logger writes: not "
                                      "a recording")
                    .arg(offset);
        }
        return ends->count * kRecord;
    }
    const QByteArray head = readAt(fd, 0, std::min<qint64>(size, expectedHeader.size()), &error);
    if (head != expectedHeader)
        return head.isEmpty() && error != 0
                   ? unreadable()
                   : QStringLiteral("does not start with the header dmm-log writes: not its CSV");
    const qint64 whole = wholeLinesSize(fd, size, &error);
    if (whole < 0)
        return unreadable();
    return whole;
}

} // namespace

qint64 wholeRecordsSize(qint64 size, int recordSize)
{
    return size <= 0 || recordSize <= 0 ? 0 : size - size % recordSize;
}

qint64 wholeLinesEnd(QByteArrayView tail, qint64 tailOffset)
{
    const qsizetype last = tail.lastIndexOf('\n');
    return last < 0 ? -1 : tailOffset + last + 1;
}

bool isPlausibleRecord(QByteArrayView bytes)
{
    if (bytes.size() != kRecord)
        return false;
    for (const ARecordField& field : kARecordTextFields)
        if (!bytes.sliced(field.offset, field.size).contains('\0'))
            return false;
    const QByteArrayView field =
        bytes.sliced(kARecordTimeStampField.offset, kARecordTimeStampField.size);
    const QByteArrayView text = field.first(field.indexOf('\0'));
    return isLoggedTimeText(std::string_view(text.data(), size_t(text.size())));
}

std::optional<EndRecords> readEndRecords(int fd, qint64 size, int* error)
{
    *error = 0;
    EndRecords ends;
    ends.count = wholeRecordsSize(size, int(kRecord)) / kRecord;
    if (ends.count == 0)
        return std::nullopt;
    for (auto [index, out] : {std::pair{qint64(0), &ends.first}, {ends.count - 1, &ends.last}}) {
        const QByteArray bytes = readAt(fd, index * kRecord, kRecord, error);
        if (bytes.isEmpty()) {
            if (*error == 0)
                *error = EIO; // shorter than its size said
            return std::nullopt;
        }
        std::memcpy(out->data(), bytes.constData(), kARecordSize);
    }
    return ends;
}

QString RecordAppender::appendProblem(const QString& path, Kind kind, QByteArrayView expectedHeader)
{
    QString error;
    const int fd = openRegularFileForReading(path, &error);
    if (fd < 0)
        return error;
    const auto kept = keptSize(fd, kind, expectedHeader);
    ::close(fd);
    if (const auto* reason = std::get_if<QString>(&kept))
        return *reason;
    return heldByAnotherProgramReason(path).value_or(QString());
}

RecordAppender::RecordAppender(Kind kind, OnFailure onFailure, DelayedSync& sync)
    : m_kind(kind), m_onFailure(onFailure), m_sync(sync)
{
}

RecordAppender::~RecordAppender()
{
    close(nullptr);
}

bool RecordAppender::open(int fd, const QString& path)
{
    m_fd = fd;
    m_path = path;
    m_size = 0;
    m_cut = 0;
    m_queue.clear();
    m_lastFailure.clear();
    return true;
}

int RecordAppender::create(const QString& path, QString* reason)
{
    close(nullptr);
    // O_EXCL: made here and now, never another run's file.
    const int fd = ::open(fileNameBytes(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        const int error = errno;
        if (reason)
            *reason = systemReason(error);
        return error;
    }
    if (!lockExclusive(fd)) {
        // Someone took it between the make and the lock: it is theirs now.
        ::close(fd);
        if (reason)
            *reason = heldByAnotherProgramReason(path).value_or(systemReason(EWOULDBLOCK));
        return EWOULDBLOCK;
    }
    m_device = false;
    open(fd, path);
    return 0;
}

bool RecordAppender::openDevice(const QString& path, QString* reason)
{
    close(nullptr);
    const int fd = openWithoutWaiting(fileNameBytes(path), O_WRONLY);
    if (fd < 0) {
        *reason = systemReason(errno);
        return false;
    }
    m_device = true;
    return open(fd, path);
}

bool RecordAppender::openForAppend(const QString& path, QByteArrayView expectedHeader,
                                   QString* reason, const CutAnnouncer& announceCut)
{
    close(nullptr);
    // Never waiting on a FIFO: its kind is checked before anything else.
    const int fd = openWithoutWaiting(fileNameBytes(path), O_RDWR);
    if (fd < 0) {
        *reason = systemReason(errno);
        return false;
    }
    const auto refuse = [&](const QString& why) {
        ::close(fd);
        m_fd = -1;
        *reason = why;
        return false;
    };
    if (const auto notRegular = notRegularFileReason(fd))
        return refuse(*notRegular);
    if (!lockExclusive(fd))
        return refuse(heldByAnotherProgramReason(path).value_or(systemReason(EWOULDBLOCK)));
    m_device = false;
    open(fd, path);
    const auto kept = keptSize(fd, m_kind, expectedHeader);
    if (const auto* why = std::get_if<QString>(&kept))
        return refuse(*why);
    const qint64 keep = std::get<qint64>(kept);
    m_cut = ::lseek(fd, 0, SEEK_END) - keep;
    if (m_cut > 0) {
        if (announceCut)
            announceCut(m_cut);
        if (::ftruncate(fd, keep) != 0)
            return refuse(systemReason(errno));
    }
    m_size = keep;
    return true;
}

bool RecordAppender::failed(int error, QString* reason)
{
    m_lastFailure = systemReason(error);
    if (reason)
        *reason = m_lastFailure;
    return false;
}

bool RecordAppender::write(QByteArrayView bytes, QString* reason)
{
    if (m_fd < 0)
        return true;
    if (m_onFailure == OnFailure::Queue) {
        m_queue.append(bytes.data(), bytes.size());
        return writeQueue(reason);
    }
    qint64 done = 0;
    int error = writeFully(m_fd, bytes.data(), bytes.size(), m_device ? -1 : m_size, &done);
    if (error == 0) {
        m_size += done;
        m_dirty = true;
        m_sync.written(m_fd);
        error = m_sync.takeError(m_fd);
    } else if (done > 0 && !m_device) {
        // A disk that filled up (or a size limit reached) mid-unit leaves part
        // of it behind: it goes, so the file holds whole units only.
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, m_size);
    }
    return error == 0 || failed(error, reason);
}

bool RecordAppender::retry(QString* reason)
{
    if (m_fd < 0)
        return true;
    if (!m_queue.isEmpty())
        return writeQueue(reason);
    const int error = m_sync.takeError(m_fd);
    return error == 0 || failed(error, reason);
}

bool RecordAppender::writeQueue(QString* reason)
{
    qint64 done = 0;
    int error = writeFully(m_fd, m_queue.constData(), m_queue.size(), m_size, &done);
    // Part of a record on the disk would be read as a garbled reading after a
    // crash: it goes at once. Writing at explicit offsets puts the next record
    // on the boundary even if this cut failed.
    const qint64 whole = done - done % kRecord;
    if (whole != done) {
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, m_size + whole);
    }
    m_size += whole;
    m_queue.remove(0, whole);
    if (whole > 0) {
        m_dirty = true;
        m_sync.written(m_fd);
    }
    if (error == 0)
        error = m_sync.takeError(m_fd);
    if (error == 0)
        m_lastFailure.clear();
    return error == 0 || failed(error, reason);
}

bool RecordAppender::sync(QString* reason)
{
    if (m_fd < 0)
        return true;
    QString why;
    bool ok = m_queue.isEmpty() || writeQueue(&why);
    // A clean file (no write since its last sync) may still have a delayed
    // sync's failure to tell: syncNow hands that on as well.
    const int error = m_sync.syncNow(m_fd);
    m_dirty = false;
    if (error != 0) {
        ok = false;
        why = systemReason(error);
        m_lastFailure = why;
    }
    if (!ok && reason)
        *reason = why;
    return ok;
}

bool RecordAppender::close(QString* reason)
{
    if (m_fd < 0)
        return true;
    QString why;
    bool ok = !m_dirty && m_queue.isEmpty() ? retry(&why) : sync(&why);
    m_sync.forget(m_fd);
    // The descriptor is gone whatever close() says, EINTR included.
    if (::close(m_fd) != 0 && errno != EINTR && ok) {
        ok = false;
        why = systemReason(errno);
    }
    m_fd = -1;
    m_queue.clear();
    if (!ok && reason)
        *reason = why;
    return ok;
}

} // namespace dmm
