// SPDX-License-Identifier: MIT
// The recorder's files: headerless arrays of records, 76 bytes each in .g52
// and temporary files, 68 bytes each in older .g51 files. The record count is
// the file size divided by the record size; a trailing incomplete record is
// ignored. Nothing in the content is checked: float values come back exactly
// as stored, NaN and infinities included, so whoever scales a chart from them
// has to guard against non-finite values.
#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "AtomicFile.h"
#include "RecordBuffer.h"

namespace dmm {

// 68 when the file's name (not its folder) contains ".g51" in exactly that
// case, otherwise 76. DATA.G51 is therefore read as 76-byte records.
int recordSizeForFile(const QString& path);

// Reads a record file a slice at a time, so that a caller on the UI thread can
// let events run (and offer Abort) between slices. The file is read in large
// blocks of whole records; records are handed out of the block on request.
class RecordFileReader
{
public:
    // Records per block read from the disk: about 2.5 MB of 76-byte records.
    static constexpr qint64 kBlockRecords = 32768;

    RecordFileReader() = default;
    RecordFileReader(const RecordFileReader&) = delete;
    RecordFileReader& operator=(const RecordFileReader&) = delete;

    // Opens an existing regular file for reading, never waiting, and takes its
    // record count from its size. On failure (anything but a regular file
    // included) returns false with the reason in `error`.
    bool open(const QString& path, QString* error = nullptr);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    qint64 recordCount() const { return m_count; }
    int recordSize() const { return m_recordSize; }
    qint64 recordsRead() const { return m_read; }
    // All records are read, or the file ended early (see truncated()).
    bool atEnd() const { return m_read >= m_count; }
    // The file delivered fewer bytes than its size promised when it was
    // opened (it shrank, or a read failed): reading ended with the whole
    // records read before that, and errorString() tells why when it can.
    bool truncated() const { return m_truncated; }
    QString errorString() const { return m_error; }

    // Appends up to `maxRecords` records to `buffer` and returns how many it
    // appended; 0 at the end. A std::bad_alloc from the buffer passes through,
    // with the records appended before it counted in recordsRead().
    qint64 readSome(RecordBuffer& buffer, qint64 maxRecords);
    // Reads the next records into `out` (whose contents are overwritten, not
    // read) and returns how many; 0 at the end.
    qint64 read(std::span<TARecord> out);

private:
    // Reads up to `records` records' bytes into `data` and returns how many
    // whole records arrived; a short file marks the reader truncated.
    qint64 readWholeRecords(char* data, qint64 records);
    bool fillBlock();
    qint64 readDirect(std::span<TARecord> out);

    QFile m_file;
    int m_recordSize = 76;
    qint64 m_count = 0;
    qint64 m_read = 0;
    bool m_truncated = false;
    QString m_error;
    std::vector<std::uint8_t> m_block;
    std::size_t m_blockPos = 0; // next unread byte in m_block
    std::size_t m_blockEnd = 0; // bytes of whole records in m_block
};

// Reads the whole file into `out`, which is emptied first when the file opens.
// Returns false with the reason in `error` when the file cannot be opened
// (`out` untouched) or ended before its size promised (`out` holds the
// records read until then).
bool readRecordFile(const QString& path, RecordBuffer& out, QString* error = nullptr);

// Writes every record of `buffer` as 76 bytes, in index order, through the one
// writer of whole files (writeFileAtomically): a failed save leaves an
// existing file as it was. Returns false with the reason in `error` on any
// failure.
bool saveRecordFile(const QString& path, const RecordBuffer& buffer, QString* error = nullptr);
// The same from another thread: the records of `records`, with a cancel flag
// and a byte count; returns the reason of a failure.
std::optional<QString> saveRecordFile(const QString& path, const RecordBuffer::Snapshot& records,
                                      JobControl* job = nullptr);

} // namespace dmm
