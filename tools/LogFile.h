// SPDX-License-Identifier: MIT
// One output file of dmm-log. Each record or line goes out in one unbuffered
// write the moment it is logged, so a killed run leaves whole records behind;
// a write that comes out short is cut off again at once. The file is locked
// (flock) while it is written, so no other program replaces it meanwhile, and
// it reaches the disk itself about a second after each write.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

namespace dmm {
class DelayedSync;
}

namespace dmm::logtool {

// The size of the part of a file that holds whole units: whole records of
// `recordSize` bytes.
qint64 wholeRecordsSize(qint64 size, int recordSize);
// For text: the offset just after the last line end in `tail`, which is the
// end of the file starting at `tailOffset`; -1 when `tail` holds none.
qint64 wholeLinesEnd(QByteArrayView tail, qint64 tailOffset);

// Whether 76 bytes look like a record the logger wrote: every text ends
// within its field and the time stamp has the recorder's 13-character form.
bool isPlausibleRecord(QByteArrayView bytes);

class LogFile
{
public:
    enum class Kind
    {
        Records, // 76-byte records
        Lines    // text lines ending in '\n', after the tool's own header
    };

    // Told the number of bytes an append will cut off, before they are cut.
    using CutAnnouncer = std::function<void(qint64 bytes)>;

    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // A new file, never one that exists (a character device is written into
    // as it is); with `append` an existing file is
    // opened at its end after an incomplete record or line there was cut off
    // (or a new one is made). Appending checks before it changes any byte:
    // the file must be a regular file nobody else holds and of `kind` (a
    // recording whose first and last whole records are plausible, or text
    // starting with the tool's header). False with the reason in `error`.
    bool open(const QString& path, Kind kind, bool append, QString* error,
              const CutAnnouncer& announceCut = {});
    bool isOpen() const { return m_fd >= 0; }
    QString fileName() const { return m_path; }

    // Bytes cut off the end when the file was opened for appending.
    qint64 bytesCut() const { return m_cut; }
    qint64 size() const { return m_size; }

    // One write of all of `bytes`. On failure the file is cut back to its size
    // before the write and `error` gives the system's reason.
    bool write(QByteArrayView bytes, QString* error);

    // To the disk now, so the records survive a power cut as well.
    void sync();
    void close();

private:
    bool fail(QString* error, const QString& reason);
    bool checkAndCut(Kind kind, QString* error, const CutAnnouncer& announceCut);

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_cut = 0;
    bool m_device = false; // a character device: written as a stream
    std::unique_ptr<DelayedSync> m_sync;
};

// Why `path` cannot be appended to as `kind`, read without changing it;
// empty when it can (or does not exist).
QString appendProblem(const QString& path, LogFile::Kind kind);

} // namespace dmm::logtool
