// SPDX-License-Identifier: MIT
// One output file of dmm-log. Each record or line goes out in one unbuffered
// write the moment it is logged, so a killed run leaves whole records behind;
// a write that comes out short is cut off again at once.
#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace dmm::logtool {

// The size of the part of a file that holds whole units: whole records of
// `recordSize` bytes.
qint64 wholeRecordsSize(qint64 size, int recordSize);
// For text: the offset just after the last line end in `tail`, which is the
// end of the file starting at `tailOffset`; -1 when `tail` holds none.
qint64 wholeLinesEnd(QByteArrayView tail, qint64 tailOffset);

class LogFile
{
public:
    enum class Kind
    {
        Records, // 76-byte records
        Lines    // text lines ending in '\n'
    };

    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // A new file, never one that exists; with `append` an existing file is
    // opened at its end after an incomplete record or line there was cut off
    // (or a new one is made). False with the system's reason in `error`.
    bool open(const QString& path, Kind kind, bool append, QString* error);
    bool isOpen() const { return m_file.isOpen(); }
    QString fileName() const { return m_file.fileName(); }

    // Bytes cut off the end when the file was opened for appending.
    qint64 bytesCut() const { return m_cut; }
    qint64 size() const { return m_size; }

    // One write of all of `bytes`. On failure the file is cut back to its size
    // before the write and `error` says why.
    bool write(QByteArrayView bytes, QString* error);

    // To the disk, so the records survive a power cut as well.
    void sync();
    void close();

private:
    bool cutIncompleteEnd(Kind kind, QString* error);

    QFile m_file;
    qint64 m_size = 0;
    qint64 m_cut = 0;
};

} // namespace dmm::logtool
