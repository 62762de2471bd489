// SPDX-License-Identifier: MIT
#include "LogFile.h"

#include <unistd.h>

#include "Record.h"

namespace dmm::logtool {

namespace {

constexpr qint64 kTailBlock = 64 * 1024;

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

LogFile::~LogFile()
{
    close();
}

bool LogFile::cutIncompleteEnd(Kind kind, QString* error)
{
    QFile file(m_file.fileName());
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadWrite)) {
        *error = file.errorString();
        return false;
    }
    const qint64 size = file.size();
    qint64 keep = size;
    if (kind == Kind::Records) {
        keep = wholeRecordsSize(size, static_cast<int>(kARecordSize));
    } else if (size > 0) {
        // Back from the end, block by block, to the last line end; a file
        // without any holds no whole line.
        keep = 0;
        for (qint64 end = size; end > 0;) {
            const qint64 start = std::max<qint64>(0, end - kTailBlock);
            if (!file.seek(start)) {
                *error = file.errorString();
                return false;
            }
            const QByteArray block = file.read(end - start);
            if (block.size() != end - start) {
                *error = file.errorString();
                return false;
            }
            if (const qint64 lineEnd = wholeLinesEnd(block, start); lineEnd >= 0) {
                keep = lineEnd;
                break;
            }
            end = start;
        }
    }
    if (keep != size && !file.resize(keep)) {
        *error = file.errorString();
        return false;
    }
    m_cut = size - keep;
    return true;
}

bool LogFile::open(const QString& path, Kind kind, bool append, QString* error)
{
    close();
    m_cut = 0;
    m_file.setFileName(path);
    QString reason;
    if (append && !cutIncompleteEnd(kind, &reason)) {
        *error = path + QStringLiteral(": ") + reason;
        return false;
    }
    const QIODevice::OpenMode mode =
        append ? QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered
               : QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered;
    if (!m_file.open(mode)) {
        *error = path + QStringLiteral(": ") + m_file.errorString();
        return false;
    }
    m_size = m_file.size();
    return true;
}

bool LogFile::write(QByteArrayView bytes, QString* error)
{
    const qint64 written = m_file.write(bytes.data(), bytes.size());
    if (written == bytes.size()) {
        m_size += written;
        return true;
    }
    *error = m_file.fileName() + QStringLiteral(": ") + m_file.errorString();
    // A disk that filled up mid-record leaves part of it behind: take it away,
    // so the file still holds whole records only.
    if (m_file.size() != m_size)
        m_file.resize(m_size);
    return false;
}

void LogFile::sync()
{
    if (m_file.isOpen())
        ::fsync(m_file.handle());
}

void LogFile::close()
{
    if (!m_file.isOpen())
        return;
    sync();
    m_file.close();
}

} // namespace dmm::logtool
