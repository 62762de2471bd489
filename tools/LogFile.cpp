// SPDX-License-Identifier: MIT
#include "LogFile.h"

#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <variant>

#include "DelayedSync.h"
#include "FileChecks.h"
#include "FileLocks.h"
#include "LogLines.h"
#include "Record.h"

namespace dmm::logtool {

namespace {

constexpr qint64 kTailBlock = 64 * 1024;
constexpr qint64 kRecord = qint64(kARecordSize);

// The fields of a 76-byte record: offset and size of each text.
struct TextField
{
    int offset;
    int size;
};
constexpr TextField kTextFields[] = {{0, 8}, {8, 4}, {16, 16}, {32, 16}, {48, 8}, {56, 8}, {68, 8}};
constexpr TextField kTimeStamp{16, 16};

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

// How much of the file at `fd` (of `size` bytes) is kept when appending to it
// as `kind`, or the reason it is no such file.
std::variant<qint64, QString> keptSize(int fd, qint64 size, LogFile::Kind kind)
{
    int error = 0;
    const auto unreadable = [&] { return systemReason(error != 0 ? error : EIO); };
    if (size == 0)
        return qint64(0);
    if (kind == LogFile::Kind::Records) {
        const qint64 whole = wholeRecordsSize(size, int(kRecord));
        if (whole == 0)
            return QStringLiteral("holds no whole record: not a recording");
        for (const qint64 offset : {qint64(0), whole - kRecord}) {
            const QByteArray record = readAt(fd, offset, kRecord, &error);
            if (record.isEmpty())
                return unreadable();
            if (!isPlausibleRecord(record))
                return QStringLiteral("the record at byte %1 is not one the logger writes: not "
                                      "a recording")
                    .arg(offset);
        }
        return whole;
    }
    const QByteArray header = QByteArray::fromStdString(csvHeader());
    const QByteArray head = readAt(fd, 0, std::min<qint64>(size, header.size()), &error);
    if (head != header)
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
    for (const TextField& field : kTextFields)
        if (!bytes.sliced(field.offset, field.size).contains('\0'))
            return false;
    // "%3d:%02d:%02d.%-3d": hour, minutes, seconds, one digit of tenths.
    static const QRegularExpression timeStamp(
        QStringLiteral("^ [ 12][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]  $"));
    const QByteArrayView field = bytes.sliced(kTimeStamp.offset, kTimeStamp.size);
    return timeStamp.match(QString::fromLatin1(field.first(field.indexOf('\0')))).hasMatch();
}

QString appendProblem(const QString& path, LogFile::Kind kind)
{
    if (!QFile::exists(path) || isCharacterDevice(path))
        return {};
    QString error;
    const int fd = openRegularFileForReading(path, &error);
    if (fd < 0)
        return path + QStringLiteral(": ") + error;
    const qint64 size = ::lseek(fd, 0, SEEK_END);
    const auto kept = keptSize(fd, size, kind);
    ::close(fd);
    if (const auto* reason = std::get_if<QString>(&kept))
        return path + QStringLiteral(": ") + *reason;
    if (const auto held = heldByAnotherProgramReason(path))
        return path + QStringLiteral(": ") + *held;
    return {};
}

LogFile::LogFile() = default;

LogFile::~LogFile()
{
    close();
}

bool LogFile::fail(QString* error, const QString& reason)
{
    *error = m_path + QStringLiteral(": ") + reason;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}

bool LogFile::checkAndCut(Kind kind, QString* error, const CutAnnouncer& announceCut)
{
    const qint64 size = ::lseek(m_fd, 0, SEEK_END);
    const auto kept = keptSize(m_fd, size, kind);
    if (const auto* reason = std::get_if<QString>(&kept))
        return fail(error, *reason);
    const qint64 keep = std::get<qint64>(kept);
    m_cut = size - keep;
    if (m_cut > 0) {
        if (announceCut)
            announceCut(m_cut);
        if (::ftruncate(m_fd, keep) != 0)
            return fail(error, systemReason(errno));
    }
    m_size = keep;
    return true;
}

bool LogFile::open(const QString& path, Kind kind, bool append, QString* error,
                   const CutAnnouncer& announceCut)
{
    close();
    m_path = path;
    m_cut = 0;
    m_size = 0;
    m_device = false;
    const QByteArray name = QFile::encodeName(path);
    const int create = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY;
    m_fd = ::open(name.constData(), create, 0666);
    if (m_fd < 0 && errno == EEXIST && isCharacterDevice(path)) {
        // A null device or a terminal takes the output as it comes.
        m_fd = openWithoutWaiting(name, O_WRONLY);
        if (m_fd < 0)
            return fail(error, systemReason(errno));
        m_device = true;
    } else if (m_fd < 0 && append && errno == EEXIST) {
        // Never waiting on a FIFO: its kind is checked before anything else.
        m_fd = openWithoutWaiting(name, O_RDWR);
        if (m_fd < 0)
            return fail(error, systemReason(errno));
        if (const auto reason = notRegularFileReason(m_fd))
            return fail(error, *reason);
        if (!lockExclusive(m_fd))
            return fail(error,
                        heldByAnotherProgramReason(path).value_or(systemReason(EWOULDBLOCK)));
        if (!checkAndCut(kind, error, announceCut))
            return false;
    } else if (m_fd < 0) {
        return fail(error, systemReason(errno));
    } else {
        lockExclusive(m_fd);
    }
    m_sync = std::make_unique<DelayedSync>();
    return true;
}

bool LogFile::write(QByteArrayView bytes, QString* error)
{
    qint64 done = 0;
    int failure = writeFully(m_fd, bytes.data(), bytes.size(), m_device ? -1 : m_size, &done);
    if (failure == 0) {
        m_size += done;
        m_sync->written(m_fd);
        failure = m_sync->takeError(m_fd);
        if (failure == 0)
            return true;
    } else if (done > 0 && !m_device) {
        // A disk that filled up (or a size limit reached) mid-record leaves
        // part of it behind: take it away, so the file holds whole units only.
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, m_size);
    }
    *error = m_path + QStringLiteral(": ") + systemReason(failure);
    return false;
}

void LogFile::sync()
{
    if (m_fd >= 0)
        m_sync->syncNow(m_fd);
}

void LogFile::close()
{
    if (m_fd < 0)
        return;
    if (m_sync) {
        m_sync->syncNow(m_fd);
        m_sync->forget(m_fd);
    }
    ::close(m_fd);
    m_fd = -1;
}

} // namespace dmm::logtool
