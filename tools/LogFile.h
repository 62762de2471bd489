// SPDX-License-Identifier: MIT
// One output file of dmm-log: the records' appender (RecordAppender.h) in its
// cut-back mode, as dmm-log stops at the first write that fails, with the
// file's name in front of every reason.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

#include "RecordAppender.h"
#include "TableExport.h"

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

    // A new regular file, never one that exists; with `append` an existing
    // regular file is opened at its end after an incomplete record or line
    // there was cut off (or a new one is made), once appendProblem() found
    // nothing against it. Anything but a regular file (a device, the meter's
    // port, a FIFO) is refused. False with the reason in `error`.
    bool open(const QString& path, Kind kind, bool append, const TableFormat& table, QString* error,
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

// Why `path` cannot be appended to as `kind`, read without changing it;
// empty when it can (or does not exist). A CSV must start with the header
// `table` writes, and its rows must be of the form `table` writes them in
// (TableRowForm: decimal mark, UTC times).
QString appendProblem(const QString& path, LogFile::Kind kind, const TableFormat& table);

} // namespace dmm::logtool
