// SPDX-License-Identifier: MIT
#include "TempFiles.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "DelayedSync.h"
#include "FileLocks.h"
#include "RecordAppender.h"
#include "StringTable.h"

namespace dmm {

namespace {

// Numbers tried past the run count before giving up on a directory that is
// full of leftovers (or refuses every name).
constexpr int kMaxNameAttempts = 10000;

// Finished runs that keep their descriptor (and lock) open; older ones that
// miss no record let theirs go, so a long session of Start and Stop stays far
// below the descriptor limit.
constexpr std::size_t kHeldFinishedRuns = 8;

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

namespace {

// The highest run number among the temporary files in `directory`; 0 when
// there are none.
long long highestNumberIn(const QString& directory)
{
    long long highest = 0;
    for (const QString& name : QDir(directory).entryList({tempFileNameFilter()}, QDir::Files))
        if (isTempFileName(name))
            highest = std::max(highest, tempFileNumber(name));
    return highest;
}

} // namespace

TempFiles::TempFiles(QString directory) : m_directory(std::move(directory)) {}

TempFiles::~TempFiles()
{
    close();
    for (const Run& run : m_created)
        forgetHeldFile(run.file->path());
    m_created.clear(); // before the sync thread they use goes
}

QString TempFiles::fileName(int n) const
{
    return QDir(m_directory)
        .filePath(tableString(kTempFilePrefixEntry) + QString::number(n) + kTempFileSuffix);
}

QString TempFiles::currentFileName() const
{
    return m_created.empty() ? QString() : m_created.back().file->path();
}

QStringList TempFiles::createdFiles() const
{
    QStringList paths;
    for (const Run& run : m_created)
        paths << run.file->path();
    return paths;
}

qsizetype TempFiles::missedRecords() const
{
    return m_created.empty() ? 0 : m_created.back().file->queuedRecords();
}

bool TempFiles::hasMissedRecords() const
{
    for (const Run& run : m_created)
        if (run.file->queuedRecords() > 0)
            return true;
    return false;
}

std::vector<TempFiles::Missed> TempFiles::missedByFile() const
{
    std::vector<Missed> missed;
    for (const Run& run : m_created)
        if (run.file->queuedRecords() > 0)
            missed.push_back(
                {run.file->path(), run.file->queuedRecords(), run.file->lastFailure()});
    return missed;
}

bool TempFiles::createNext(QString* reason, unsigned long long bufferFilling)
{
    close();
    letGoFinishedRuns(kHeldFinishedRuns);
    if (!m_sync)
        m_sync = std::make_unique<DelayedSync>();
    auto file = std::make_unique<RecordAppender>(RecordAppender::Kind::Records,
                                                 RecordAppender::OnFailure::Queue, *m_sync);
    // However many files earlier runs left, the next number is past them all
    // (a name taken meanwhile is skipped below).
    if (const long long highest = highestNumberIn(m_directory);
        highest > m_count && highest < std::numeric_limits<int>::max() - kMaxNameAttempts)
        m_count = static_cast<int>(highest);
    QString why;
    bool retriedWithFewer = false;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const int n = m_count + 1;
        const QString path = fileName(n);
        const int error = file->create(path, &why);
        if (error == EEXIST) {
            m_count = n;
            continue;
        }
        if ((error == EMFILE || error == ENFILE) && !retriedWithFewer) {
            // Out of descriptors: every finished run written whole lets its go.
            retriedWithFewer = true;
            letGoFinishedRuns(0);
            --attempt;
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
        // Save onto it is refused while this program holds it.
        registerHeldFile(path, QStringLiteral("the temporary file of the current run"));
        m_created.push_back({std::move(file), bufferFilling});
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
    if (!m_created.back().file->sync(&reason))
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
        if (m_created[i].file->queuedRecords() > 0)
            m_created[i].file->retry(nullptr);
    const auto bytes = encodeARecord(record);
    return m_created.back().file->write(
        QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), reason);
}

bool TempFiles::retry(QString* path, QString* reason)
{
    bool all = true;
    for (const Run& run : m_created) {
        QString why;
        if (run.file->retry(&why) || !all)
            continue;
        all = false;
        if (path)
            *path = run.file->path();
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
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
        deleteRun(*it);
    m_created.clear();
}

void TempFiles::deleteRun(Run& run)
{
    const QString path = run.file->path();
    QFile::remove(path);
    run.file->close(nullptr);
    forgetHeldFile(path);
}

void TempFiles::deleteSavedRuns(unsigned long long bufferFilling)
{
    // The run being written goes on taking readings the save does not hold.
    const std::size_t finished = m_writing ? m_created.size() - 1 : m_created.size();
    std::vector<Run> kept;
    for (std::size_t i = 0; i < m_created.size(); ++i) {
        if (i < finished && m_created[i].bufferFilling == bufferFilling)
            deleteRun(m_created[i]);
        else
            kept.push_back(std::move(m_created[i]));
    }
    m_created = std::move(kept);
}

void TempFiles::letGoFinishedRuns(std::size_t keep)
{
    const std::size_t finished = m_writing ? m_created.size() - 1 : m_created.size();
    for (std::size_t i = 0; i + keep < finished; ++i)
        if (m_created[i].file->queuedRecords() == 0)
            m_created[i].file->close(nullptr);
}

} // namespace dmm
