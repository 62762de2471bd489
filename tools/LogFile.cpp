// SPDX-License-Identifier: MIT
#include "LogFile.h"

#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "DelayedSync.h"
#include "FileChecks.h"
#include "LogLines.h"

namespace dmm::logtool {

namespace {

constexpr RecordAppender::OnFailure kStopAtFailure = RecordAppender::OnFailure::CutBack;
// The rows looked at for their form: a few hundred of them.
constexpr qint64 kTailBytes = 64 * 1024;

// The last kTailBytes of the file, and whether they are all of it; none
// with the reason.
std::optional<std::pair<std::string, bool>> readTail(const QString& path, QString* error)
{
    const int fd = openRegularFileForReading(path, error);
    if (fd < 0)
        return std::nullopt;
    const qint64 size = ::lseek(fd, 0, SEEK_END);
    const qint64 start = std::max<qint64>(0, size - kTailBytes);
    std::string tail(std::size_t(std::max<qint64>(0, size - start)), '\0');
    std::size_t got = 0;
    while (size >= 0 && got < tail.size()) {
        const ssize_t n = ::pread(fd, tail.data() + got, tail.size() - got, start + qint64(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    const int readError = size < 0 ? errno : got < tail.size() ? EIO : 0;
    ::close(fd);
    if (readError != 0) {
        *error = systemReason(readError);
        return std::nullopt;
    }
    return std::pair{std::move(tail), start == 0};
}

// Why rows written as `table` writes them would differ in form from the
// rows at the end of the CSV `path`.
QString rowFormProblem(const QString& path, const TableFormat& table)
{
    QString error;
    const auto tail = readTail(path, &error);
    if (!tail)
        return error;
    const TableRowForm form = tableRowForm(tail->first, tail->second, table.separator);
    QStringList problems;
    if (form.decimalComma && *form.decimalComma != table.decimalComma)
        problems << (*form.decimalComma
                         ? QStringLiteral("its values have a decimal comma: add to it with "
                                          "--decimal-comma")
                         : QStringLiteral("its values have a decimal point: add to it without "
                                          "--decimal-comma"));
    if (form.utc && *form.utc != table.utc)
        problems << (*form.utc ? QStringLiteral("its times are UTC (ending in Z): add to it "
                                                "with --utc")
                               : QStringLiteral("its times are local: add to it without --utc"));
    return problems.join(QStringLiteral("; "));
}

// appendProblem() without the name in front.
QString existingFileProblem(const QString& path, LogFile::Kind kind, const TableFormat& table)
{
    if (const auto reason = notRegularFileReason(path))
        return *reason;
    const bool lines = kind == LogFile::Kind::Lines;
    const std::string header = lines ? csvHeader(table) : std::string();
    QString problem = RecordAppender::appendProblem(
        path, kind, QByteArrayView(header.data(), qsizetype(header.size())));
    if (problem.isEmpty() && lines)
        problem = rowFormProblem(path, table);
    return problem;
}

} // namespace

QString appendProblem(const QString& path, LogFile::Kind kind, const TableFormat& table)
{
    if (!nameIsTaken(path))
        return {};
    const QString problem = existingFileProblem(path, kind, table);
    return problem.isEmpty() ? problem : path + QStringLiteral(": ") + problem;
}

LogFile::LogFile()
    : m_sync(std::make_unique<DelayedSync>()),
      m_file(std::make_unique<RecordAppender>(Kind::Records, kStopAtFailure, *m_sync))
{
}

LogFile::~LogFile()
{
    close();
}

bool LogFile::fail(QString* error, const QString& reason) const
{
    if (error)
        *error = m_path + QStringLiteral(": ") + reason;
    return false;
}

bool LogFile::open(const QString& path, Kind kind, bool append, const TableFormat& table,
                   QString* error, const CutAnnouncer& announceCut)
{
    close();
    m_path = path;
    m_file = std::make_unique<RecordAppender>(kind, kStopAtFailure, *m_sync);
    QString reason;
    const int created = m_file->create(path, &reason);
    if (created == 0)
        return true;
    // Looked at before anything is opened: opening a serial line would
    // raise its DTR, and the program never writes to a port.
    if (const auto notRegular = notRegularFileReason(path); created == EEXIST && notRegular)
        return fail(error, *notRegular);
    if (created != EEXIST || !append)
        return fail(error, reason);
    if (const QString problem = existingFileProblem(path, kind, table); !problem.isEmpty())
        return fail(error, problem);
    const std::string header = kind == Kind::Lines ? csvHeader(table) : std::string();
    return m_file->openForAppend(path, QByteArrayView(header.data(), qsizetype(header.size())),
                                 &reason, announceCut) ||
           fail(error, reason);
}

bool LogFile::write(QByteArrayView bytes, QString* error)
{
    QString reason;
    return m_file->write(bytes, &reason) || fail(error, reason);
}

bool LogFile::sync(QString* error)
{
    QString reason;
    return m_file->sync(&reason) || fail(error, reason);
}

bool LogFile::close(QString* error)
{
    QString reason;
    return m_file->close(&reason) || fail(error, reason);
}

} // namespace dmm::logtool
