// SPDX-License-Identifier: MIT
#include "TempFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <utility>

#include "DelayedSync.h"
#include "RecordAppender.h"
#include "StringTable.h"

namespace dmm {

namespace {

// Numbers tried past the run count before giving up on a directory that is
// full of leftovers (or refuses every name).
constexpr int kMaxNameAttempts = 10000;

constexpr int kTempFilePrefixEntry = 6; // "~KOPLX"
const QString kTempFileSuffix = QStringLiteral(".TMP");

} // namespace

QString tempFileNameFilter()
{
    return tableString(kTempFilePrefixEntry) + QLatin1Char('*') + kTempFileSuffix;
}

bool isTempFileName(const QString& fileName)
{
    return fileName.startsWith(tableString(kTempFilePrefixEntry)) &&
           fileName.endsWith(kTempFileSuffix);
}

long long tempFileNumber(const QString& fileName)
{
    const qsizetype prefix = tableString(kTempFilePrefixEntry).size();
    return fileName.mid(prefix, fileName.size() - prefix - kTempFileSuffix.size()).toLongLong();
}

TempFiles::TempFiles(QString directory) : m_directory(std::move(directory)) {}

TempFiles::~TempFiles()
{
    close();
    m_created.clear(); // before the sync thread they use goes
}

QString TempFiles::fileName(int n) const
{
    return QDir(m_directory)
        .filePath(tableString(kTempFilePrefixEntry) + QString::number(n) + kTempFileSuffix);
}

QString TempFiles::currentFileName() const
{
    return m_created.empty() ? QString() : m_created.back()->path();
}

QStringList TempFiles::createdFiles() const
{
    QStringList paths;
    for (const auto& file : m_created)
        paths << file->path();
    return paths;
}

qsizetype TempFiles::missedRecords() const
{
    return m_created.empty() ? 0 : m_created.back()->queuedRecords();
}

bool TempFiles::hasMissedRecords() const
{
    for (const auto& file : m_created)
        if (file->queuedRecords() > 0)
            return true;
    return false;
}

std::vector<TempFiles::Missed> TempFiles::missedByFile() const
{
    std::vector<Missed> missed;
    for (const auto& file : m_created)
        if (file->queuedRecords() > 0)
            missed.push_back({file->path(), file->queuedRecords(), file->lastFailure()});
    return missed;
}

bool TempFiles::createNext(QString* reason)
{
    close();
    if (!m_sync)
        m_sync = std::make_unique<DelayedSync>();
    auto file = std::make_unique<RecordAppender>(RecordAppender::Kind::Records,
                                                 RecordAppender::OnFailure::Queue, *m_sync);
    QString why;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const int n = m_count + 1;
        const QString path = fileName(n);
        const int error = file->create(path, &why);
        if (error == EEXIST) {
            m_count = n;
            continue;
        }
        if (error == EWOULDBLOCK) {
            // Made here, but another program took its lock at once: never
            // written, and not left behind as a lost run.
            QFile::remove(path);
            m_count = n;
        }
        if (error != 0)
            break; // not a name clash: the directory refuses new files
        m_count = n;
        m_created.push_back(std::move(file));
        m_writing = true;
        return true;
    }
    if (reason)
        *reason = why;
    return false;
}

void TempFiles::close()
{
    if (!m_writing)
        return;
    // Readings of a stopped run reach the disk before the user goes on.
    sync();
    m_writing = false;
}

void TempFiles::sync()
{
    if (!m_writing)
        return;
    QString reason;
    if (!m_created.back()->sync(&reason))
        m_syncFailure = reason;
}

QString TempFiles::takeSyncFailure()
{
    return std::exchange(m_syncFailure, QString());
}

bool TempFiles::write(const TARecord& record, QString* reason)
{
    if (!m_writing)
        return true;
    // Stopped runs' records first, so each file takes its records in order
    // once there is room again.
    for (std::size_t i = 0; i + 1 < m_created.size(); ++i)
        if (m_created[i]->queuedRecords() > 0)
            m_created[i]->retry(nullptr);
    const auto bytes = encodeARecord(record);
    return m_created.back()->write(
        QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), reason);
}

bool TempFiles::retry(QString* path, QString* reason)
{
    bool all = true;
    for (const auto& file : m_created) {
        QString why;
        if (file->retry(&why) || !all)
            continue;
        all = false;
        if (path)
            *path = file->path();
        if (reason)
            *reason = why;
    }
    return all;
}

void TempFiles::deleteCreatedFiles()
{
    close();
    // Removed while still locked, so no one takes a file being deleted for a
    // crashed run's.
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
        QFile::remove((*it)->path());
        (*it)->close(nullptr);
    }
    m_created.clear();
}

} // namespace dmm
