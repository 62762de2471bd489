// SPDX-License-Identifier: MIT
#include "TempFiles.h"

#include <QDir>

#include <unistd.h>

#include "StringTable.h"

namespace dmm {

namespace {

// Numbers tried past the run count before giving up on a directory that is
// full of leftovers (or refuses every name).
constexpr int kMaxNameAttempts = 10000;

} // namespace

TempFiles::TempFiles(QString directory) : m_directory(std::move(directory)) {}

TempFiles::~TempFiles()
{
    close();
}

QString TempFiles::fileName(int n) const
{
    return QDir(m_directory).filePath(tableString(6) + QString::number(n) + QStringLiteral(".TMP"));
}

bool TempFiles::createNext(QString* reason)
{
    close();
    QString lastError;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const int n = m_count + 1;
        auto file = std::make_unique<QFile>(fileName(n));
        // NewOnly: created here and now, never an older run's file.
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_count = n;
            m_created << file->fileName();
            m_file = std::move(file);
            return true;
        }
        lastError = file->errorString();
        if (!file->exists())
            break; // not a name clash: the directory refuses new files
        m_count = n;
    }
    if (reason)
        *reason = lastError;
    return false;
}

void TempFiles::close()
{
    if (!m_file)
        return;
    // Readings of a stopped run should survive a power cut as well.
    ::fsync(m_file->handle());
    m_file->close();
    m_file.reset();
}

bool TempFiles::write(const TARecord& record)
{
    if (!m_file)
        return true;
    const auto bytes = encodeARecord(record);
    return m_file->write(reinterpret_cast<const char*>(bytes.data()),
                         static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

void TempFiles::deleteCreatedFiles()
{
    for (auto it = m_created.crbegin(); it != m_created.crend(); ++it) {
        if (!QFile::remove(*it)) {
            close();
            QFile::remove(*it);
        }
    }
    m_created.clear();
}

} // namespace dmm
