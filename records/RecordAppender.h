// SPDX-License-Identifier: MIT
// One file written a record (or a text line) at a time, as the recorder's
// temporary files and dmm-log's outputs are: each unit goes out in one
// unbuffered write the moment it is logged, so a crash leaves whole units
// behind, and a write the disk takes only part of is cut back at once. The
// file is locked (flock) for as long as it is open, and reaches the disk
// itself right after each write (DelayedSync).
//
// When the disk refuses a write the appender either keeps the records the
// file missed in a queue, in order, for the next write or retry() (the
// recorder: its readings are in memory too), or cuts the file back to its
// size before the write and says why (dmm-log, which stops then).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "Record.h"

namespace dmm {

class DelayedSync;

// The size of the part of a file of `size` bytes that holds whole records of
// `recordSize` bytes.
qint64 wholeRecordsSize(qint64 size, int recordSize);
// For text: the offset just after the last line end in `tail`, which is the
// end of the file starting at `tailOffset`; -1 when `tail` holds none.
qint64 wholeLinesEnd(QByteArrayView tail, qint64 tailOffset);

// Whether 76 bytes look like a record the logger wrote: every text ends
// within its field and the time text is a logged one (isLoggedTimeText).
bool isPlausibleRecord(QByteArrayView bytes);

// The first and the last whole 76-byte record of the open file at `fd`, of
// `size` bytes; none with `error` set (0 when the file holds no whole record).
struct EndRecords
{
    qint64 count = 0; // whole records
    std::array<std::uint8_t, kARecordSize> first{};
    std::array<std::uint8_t, kARecordSize> last{};
};
std::optional<EndRecords> readEndRecords(int fd, qint64 size, int* error);

class RecordAppender
{
public:
    enum class Kind
    {
        Records, // 76-byte records
        Lines    // text lines ending in '\n', after the writer's own header
    };
    enum class OnFailure
    {
        Queue,  // missed records wait, in order, for the next write or retry()
        CutBack // the file goes back to its size before the write
    };
    // Told the number of bytes an append will cut off, before they are cut.
    using CutAnnouncer = std::function<void(qint64 bytes)>;

    // `sync` does the delayed syncs; it outlives the appender.
    RecordAppender(Kind kind, OnFailure onFailure, DelayedSync& sync);
    // Closes as close() does; a failure then goes unheard.
    ~RecordAppender();
    RecordAppender(const RecordAppender&) = delete;
    RecordAppender& operator=(const RecordAppender&) = delete;

    // Makes `path`, never an existing file, and locks it. 0 or the errno
    // (EEXIST: the name is taken); a lock another program holds is refused
    // with its reason in `reason`.
    int create(const QString& path, QString* reason);
    // A character device (a null device, a terminal) takes the output as it
    // comes: opened without a lock and written as a stream.
    bool openDevice(const QString& path, QString* reason);
    // An existing file, opened at its end after an incomplete record or line
    // there was cut off. It is checked before any byte changes: a regular
    // file nobody else holds, of this kind (a recording whose first and last
    // whole records are plausible, or text starting with `expectedHeader`).
    bool openForAppend(const QString& path, QByteArrayView expectedHeader, QString* reason,
                       const CutAnnouncer& announceCut = {});

    // Why the existing regular file `path` could not be appended to as
    // openForAppend() would, read without changing a byte; empty when it can.
    static QString appendProblem(const QString& path, Kind kind, QByteArrayView expectedHeader);

    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    qint64 size() const { return m_size; }
    qint64 bytesCut() const { return m_cut; }

    // Appends `bytes` (whole records or lines). False with the system's
    // reason when the file did not take them all (queued or cut back), or a
    // delayed sync of the file failed since the last look.
    bool write(QByteArrayView bytes, QString* reason);
    // Writes the queued records as far as the file takes them; true when
    // none is left and no delayed sync failed since the last look.
    bool retry(QString* reason);
    qsizetype queuedRecords() const { return m_queue.size() / qsizetype(kARecordSize); }
    // Why the queue could not be written the last time it was tried.
    QString lastFailure() const { return m_lastFailure; }

    // The queue tried once more and the file to the disk now; false with the
    // reason when either failed (a delayed sync's failure included).
    bool sync(QString* reason);
    // sync(), then the descriptor and the lock go; false with the reason when
    // the sync or the close failed. The queue is dropped.
    bool close(QString* reason);

private:
    bool open(int fd, const QString& path);
    bool writeQueue(QString* reason);
    bool failed(int error, QString* reason);

    const Kind m_kind;
    const OnFailure m_onFailure;
    DelayedSync& m_sync;
    QString m_path;
    int m_fd = -1;
    bool m_device = false; // written as a stream
    bool m_dirty = false;  // written since the last sync
    qint64 m_size = 0;
    qint64 m_cut = 0;
    QByteArray m_queue;
    QString m_lastFailure;
};

} // namespace dmm
