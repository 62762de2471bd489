// SPDX-License-Identifier: MIT
// One output file of dmm-log: the records' appender (RecordAppender.h) in its
// cut-back mode, as dmm-log stops at the first write that fails, with the
// file's name in front of every reason.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

#include "RecordAppender.h"

namespace dmm {
class DelayedSync;
}

namespace dmm::logtool {

class LogFile
{
public:
    using Kind = RecordAppender::Kind;
    using CutAnnouncer = RecordAppender::CutAnnouncer;

    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // A new file, never one that exists (a character device is written into
    // as it is); with `append` an existing file is opened at its end after an
    // incomplete record or line there was cut off (or a new one is made), once
    // RecordAppender::openForAppend found it to be of `kind`; for lines its
    // first bytes must be `header`, the header these options write. Only the
    // header is compared: a decimal comma or point in the lines is not looked
    // at. False with the reason in `error`.
    bool open(const QString& path, Kind kind, bool append, QByteArrayView header, QString* error,
              const CutAnnouncer& announceCut = {});
    bool isOpen() const { return m_file->isOpen(); }
    QString fileName() const { return m_file->path(); }

    // Bytes cut off the end when the file was opened for appending.
    qint64 bytesCut() const { return m_file->bytesCut(); }
    qint64 size() const { return m_file->size(); }

    // One write of all of `bytes`. On failure the file is cut back to its size
    // before the write and `error` gives the system's reason.
    bool write(QByteArrayView bytes, QString* error);

    // To the disk now, so the records survive a power cut as well; false with
    // the reason when the sync (or a delayed one before it) failed.
    bool sync(QString* error);
    // sync(), then the file is closed; false with the reason when either failed.
    bool close(QString* error = nullptr);

private:
    bool fail(QString* error, const QString& reason) const;

    std::unique_ptr<DelayedSync> m_sync;
    std::unique_ptr<RecordAppender> m_file;
    QString m_path;
};

// Why `path` cannot be appended to as `kind` (lines after `header`), read
// without changing it; empty when it can (or does not exist).
QString appendProblem(const QString& path, LogFile::Kind kind, QByteArrayView header);

} // namespace dmm::logtool
