// SPDX-License-Identifier: MIT
#include "RecordFile.h"

#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <type_traits>

#include <unistd.h>

#include "AtomicFile.h"
#include "FileChecks.h"
#include "StringTable.h"

namespace dmm {

namespace {

constexpr int kMemoryErrorEntry = 9006;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// In memory a record is laid out byte for byte as in the file, so on a
// little-endian machine whole records are copied as they lie (as the files
// were always written); the field-by-field codec is several times slower and
// would dominate the time of loading or saving a long recording.
constexpr bool kCopyRecords =
    std::endian::native == std::endian::little && std::numeric_limits<float>::is_iec559 &&
    std::is_standard_layout_v<TARecord> && std::is_trivially_copyable_v<TARecord> &&
    sizeof(TARecord) == kARecordSize && offsetof(TARecord, display) == 0 &&
    offsetof(TARecord, exponent) == 8 && offsetof(TARecord, function) == 12 &&
    offsetof(TARecord, timeStamp) == 16 && offsetof(TARecord, value) == 32 &&
    offsetof(TARecord, prefix) == 48 && offsetof(TARecord, unit) == 56 &&
    offsetof(TARecord, fValue) == 64 && offsetof(TARecord, subDisplay) == kRecordSize;

static_assert(kCopyRecords || std::endian::native != std::endian::little,
              "a record's memory layout no longer matches its file layout");

// Texts keep whatever bytes follow their terminators; readers never look past
// a terminator or a field's end, and a save writes them back unchanged.
TARecord recordFromBytes(const std::uint8_t* bytes, int recordSize)
{
    if constexpr (kCopyRecords) {
        TARecord record; // the sub-display stays empty for 68-byte records
        std::memcpy(static_cast<void*>(&record), bytes, std::size_t(recordSize));
        return record;
    } else {
        if (recordSize == int(kRecordSize))
            return decodeRecord(std::span<const std::uint8_t, kRecordSize>(bytes, kRecordSize));
        return decodeARecord(std::span<const std::uint8_t, kARecordSize>(bytes, kARecordSize));
    }
}

void recordToBytes(const TARecord& record, std::uint8_t* bytes)
{
    if constexpr (kCopyRecords) {
        std::memcpy(bytes, static_cast<const void*>(&record), kARecordSize);
    } else {
        const auto encoded = encodeARecord(record);
        std::copy(encoded.begin(), encoded.end(), bytes);
    }
}

} // namespace

int recordSizeForFile(const QString& path)
{
    // The name alone decides: a folder called runs.g51 must not turn the
    // .g52 files inside it into 68-byte garbage.
    const QString name = QFileInfo(path).fileName();
    return name.contains(QLatin1String(".g51"), Qt::CaseSensitive) ? int(kRecordSize)
                                                                   : int(kARecordSize);
}

bool RecordFileReader::open(const QString& path, QString* error)
{
    close();
    m_file.setFileName(path);
    // Only a regular file, opened without waiting: a FIFO of that name would
    // block the open until a writer came.
    const int fd = openRegularFileForReading(path, error);
    if (fd < 0)
        return false;
    // Unbuffered: the blocks are large, a second copy through QIODevice's
    // buffer would only cost time.
    if (!m_file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                     QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        setError(error, m_file.errorString());
        return false;
    }
    m_recordSize = recordSizeForFile(path);
    m_count = m_file.size() / m_recordSize;
    try {
        if (!kCopyRecords || m_recordSize != int(kARecordSize))
            m_block.resize(
                static_cast<std::size_t>(std::min(m_count, kBlockRecords) * m_recordSize));
    } catch (const std::bad_alloc&) {
        m_file.close();
        m_count = 0;
        setError(error, tableString(kMemoryErrorEntry));
        return false;
    }
    if (m_count == 0)
        m_file.close();
    return true;
}

void RecordFileReader::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_count = 0;
    m_read = 0;
    m_truncated = false;
    m_error.clear();
    m_blockPos = 0;
    m_blockEnd = 0;
}

qint64 RecordFileReader::readWholeRecords(char* data, qint64 records)
{
    const qint64 wanted = records * m_recordSize;
    qint64 got = 0;
    qint64 n = 0;
    while (got < wanted && (n = m_file.read(data + got, wanted - got)) > 0)
        got += n;
    const qint64 whole = got / m_recordSize;
    if (got < wanted) {
        // The file is shorter than it was when opened, or unreadable: keep the
        // whole records that did arrive and end there.
        m_truncated = true;
        if (n < 0)
            m_error = m_file.errorString();
        m_count = m_read + whole;
    }
    return whole;
}

bool RecordFileReader::fillBlock()
{
    const qint64 whole = readWholeRecords(reinterpret_cast<char*>(m_block.data()),
                                          std::min(kBlockRecords, m_count - m_read));
    m_blockPos = 0;
    m_blockEnd = static_cast<std::size_t>(whole * m_recordSize);
    return m_blockEnd > 0;
}

qint64 RecordFileReader::readSome(RecordBuffer& buffer, qint64 maxRecords)
{
    qint64 appended = 0;
    while (appended < maxRecords && !atEnd()) {
        const std::span<TARecord> room = buffer.room();
        const qint64 n = read(
            room.first(std::size_t(std::min<qint64>(qint64(room.size()), maxRecords - appended))));
        if (n == 0)
            break;
        buffer.commit(std::size_t(n));
        appended += n;
    }
    return appended;
}

qint64 RecordFileReader::read(std::span<TARecord> out)
{
    qint64 done = 0;
    if (kCopyRecords && m_recordSize == int(kARecordSize)) {
        done = readDirect(out);
    } else {
        // 68-byte records, or a machine whose records differ from the file's
        // layout: through the block and the codec.
        while (done < qint64(out.size()) && m_read < m_count) {
            if (m_blockPos >= m_blockEnd && !fillBlock())
                break;
            out[std::size_t(done)] = recordFromBytes(m_block.data() + m_blockPos, m_recordSize);
            m_blockPos += static_cast<std::size_t>(m_recordSize);
            ++m_read;
            ++done;
        }
    }
    if (atEnd() && m_file.isOpen())
        m_file.close();
    return done;
}

qint64 RecordFileReader::readDirect(std::span<TARecord> out)
{
    // The file's bytes are the records' memory: they go straight where the
    // records are kept, with no copy and no pass over the memory first.
    const qint64 whole = readWholeRecords(reinterpret_cast<char*>(out.data()),
                                          std::min(qint64(out.size()), m_count - m_read));
    m_read += whole;
    return whole;
}

bool readRecordFile(const QString& path, RecordBuffer& out, QString* error)
{
    RecordFileReader reader;
    if (!reader.open(path, error))
        return false;
    out.clear();
    while (!reader.atEnd())
        reader.readSome(out, RecordFileReader::kBlockRecords);
    if (reader.truncated()) {
        setError(error, reader.errorString());
        return false;
    }
    return true;
}

bool saveRecordFile(const QString& path, const RecordBuffer& buffer, QString* error)
{
    if (const auto reason = saveRecordFile(path, buffer.snapshot())) {
        setError(error, *reason);
        return false;
    }
    return true;
}

std::optional<QString> saveRecordFile(const QString& path, const RecordBuffer::Snapshot& records,
                                      JobControl* job)
{
    constexpr std::size_t kBlock = std::size_t(RecordFileReader::kBlockRecords);
    std::size_t index = 0;
    const auto nextBlock = [&](QByteArray& block) {
        if (index >= records.size())
            return false;
        if constexpr (kCopyRecords) {
            // Entries are kept in their file layout: the chunks are written
            // as they are, without a copy.
            const std::span<const TARecord> run = records.run(index);
            block = QByteArray::fromRawData(reinterpret_cast<const char*>(run.data()),
                                            qsizetype(run.size() * kARecordSize));
            index += run.size();
            return true;
        }
        const std::size_t count = std::min(kBlock, records.size() - index);
        block.resize(qsizetype(count * kARecordSize));
        auto* bytes = reinterpret_cast<std::uint8_t*>(block.data());
        for (std::size_t i = 0; i < count; ++i)
            recordToBytes(records.at(index + i), bytes + i * kARecordSize);
        index += count;
        return true;
    };
    try {
        return writeFileAtomically(path, nextBlock, job);
    } catch (const std::bad_alloc&) {
        return tableString(kMemoryErrorEntry);
    }
}

} // namespace dmm
