// SPDX-License-Identifier: MIT
// The real-time temporary files ~KOPLXn.TMP in the start-up directory: one per
// timed recording run, each record written the moment it is logged, so a run
// survives a crash of the program. A file left by an earlier, crashed run is
// never overwritten or deleted: a new run takes the next free number, and the
// normal end deletes only the files this program run made.
//
// The file holds whole records only at every moment: a write the disk could
// take only part of is cut back to the last whole record at once, and the
// records it missed are written, in order, by the next write that succeeds.
// Every file this program made stays open and locked (flock) for the
// program's life, so a file nobody holds is a crashed run's. Writes reach the
// disk itself within about a second, on a thread of their own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "Record.h"

namespace dmm {

class DelayedSync;

class TempFiles
{
public:
    explicit TempFiles(QString directory);
    // The descriptors close and the locks go; the files stay on the disk.
    ~TempFiles();
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // The run's file name for number n.
    QString fileName(int n) const;

    // Closes the open file, if any, and creates the next numbered one; false
    // (with the system's reason) when no file could be made.
    bool createNext(QString* reason = nullptr);
    bool isOpen() const { return m_fd >= 0; }
    // The run's file, or the last run's after close().
    QString currentFileName() const;
    // Ends the run's writing: missed records are tried once more and the file
    // is synced to the disk at once. It stays locked until it is deleted or
    // the program ends.
    void close();
    // The run's file to the disk now (a save, the program's end).
    void sync();

    // Writes the record's 76 bytes after any records earlier writes missed;
    // nothing when no file is open. False, with the system's reason, when the
    // file could not take them all: the records it missed wait for the next
    // write.
    bool write(const TARecord& record, QString* reason = nullptr);
    // Records of the run (the last run after close()) that are not in its file.
    qsizetype missedRecords() const;

    // tempFileCount: the highest number this program run has used.
    int tempFileCount() const { return m_count; }
    QStringList createdFiles() const;

    // Deletes this program run's files, newest first.
    void deleteCreatedFiles();

private:
    struct Created
    {
        QString path;
        int fd = -1; // kept open for the lock
    };
    bool writePending(QString* reason);

    QString m_directory;
    std::vector<Created> m_created;
    int m_fd = -1; // the run's file while it is written
    qint64 m_size = 0;
    QByteArray m_pending; // whole records not yet in the file
    int m_count = 0;
    std::unique_ptr<DelayedSync> m_sync;
};

} // namespace dmm
