// SPDX-License-Identifier: MIT
// The real-time temporary files ~KOPLXn.TMP in the start-up directory: one per
// timed recording run, each record written the moment it is logged, so a run
// survives a crash of the program. A file left by an earlier, crashed run is
// never overwritten or deleted: a new run takes the next free number, and the
// normal end deletes only the files this program run made.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>

#include "Record.h"

namespace dmm {

class TempFiles
{
public:
    explicit TempFiles(QString directory);
    ~TempFiles();

    // The run's file name for number n.
    QString fileName(int n) const;

    // Closes the open file, if any, and creates the next numbered one; false
    // (with the system's reason) when no file could be made.
    bool createNext(QString* reason = nullptr);
    bool isOpen() const { return m_file != nullptr; }
    // Flushes to disk and closes the open file.
    void close();

    // One unbuffered write of the record's 76 bytes; nothing when no file is
    // open. False when the write failed.
    bool write(const TARecord& record);

    // tempFileCount: the highest number this program run has used.
    int tempFileCount() const { return m_count; }
    QStringList createdFiles() const { return m_created; }

    // Deletes this program run's files, newest first, closing the open one
    // when it is in the way.
    void deleteCreatedFiles();

private:
    QString m_directory;
    std::unique_ptr<QFile> m_file;
    int m_count = 0;
    QStringList m_created;
};

} // namespace dmm
