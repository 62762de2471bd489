// SPDX-License-Identifier: MIT
#include "LogFile.h"


#include <cerrno>

#include "DelayedSync.h"
#include "FileChecks.h"

namespace dmm::logtool {

namespace {

constexpr RecordAppender::OnFailure kStopAtFailure = RecordAppender::OnFailure::CutBack;

} // namespace

QString appendProblem(const QString& path, LogFile::Kind kind, QByteArrayView header)
{
    if (!nameIsTaken(path) || isCharacterDevice(path))
        return {};
    const QString problem = RecordAppender::appendProblem(path, kind, header);
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

bool LogFile::open(const QString& path, Kind kind, bool append, QByteArrayView header,
                   QString* error, const CutAnnouncer& announceCut)
{
    close();
    m_path = path;
    m_file = std::make_unique<RecordAppender>(kind, kStopAtFailure, *m_sync);
    QString reason;
    const int created = m_file->create(path, &reason);
    if (created == 0)
        return true;
    if (created == EEXIST && isCharacterDevice(path)) {
        // A null device or a terminal takes the output as it comes.
        return m_file->openDevice(path, &reason) || fail(error, reason);
    }
    if (created == EEXIST && append)
        return m_file->openForAppend(path, header, &reason, announceCut) || fail(error, reason);
    return fail(error, reason);
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
