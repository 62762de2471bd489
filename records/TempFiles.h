// SPDX-License-Identifier: MIT
// The real-time temporary files ~KOPLXn.TMP in the start-up directory: one per
// timed recording run, each record written the moment it is logged, so a run
// survives a crash of the program. A file left by an earlier, crashed run is
// never overwritten or deleted: a new run takes the next free number, and the
// normal end deletes only the files this program run made.
//
// Each file is a RecordAppender that queues what the disk refused: the file
// holds whole records only at every moment, and the records it missed are
// written, in order, as soon as the disk takes them again (the next write of
// any run, or retry()), also after the run was stopped. The file of the run
// being written, of the newest finished runs and of any run that misses
// records stays open and locked (flock), so that a file nobody holds is a
// crashed run's; older finished runs written whole let their descriptor go, so
// the program holds a bounded number. A finished run whose readings were all
// saved is deleted: a saved file holds them. Writes reach the disk itself
// right after each write, on a thread of their own.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "Record.h"

namespace dmm {

class DelayedSync;
class RecordAppender;

// The name filter of the temporary files ("~KOPLX*.TMP"; QDir ignores its
// case), and whether a file name is one of them in exactly the form the
// program writes.
QString tempFileNameFilter();
bool isTempFileName(const QString& fileName);
// The run number in a temporary file's name ("~KOPLX12.TMP" gives 12).
long long tempFileNumber(const QString& fileName);

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

    // Ends the open run, if any, and creates the next numbered file; false
    // (with the system's reason, or the program holding the new file's lock)
    // when no file could be made. `bufferFilling` names the filling of the
    // recorder's buffer the run logs into (see deleteSavedRuns).
    bool createNext(QString* reason = nullptr, unsigned long long bufferFilling = 0);
    bool isOpen() const { return m_writing; }
    // The run's file, or the last run's after close().
    QString currentFileName() const;
    // Ends the run's writing: missed records are tried once more and the file
    // is synced to the disk at once. It stays locked until it is deleted or
    // the program ends; records it still misses wait for retry().
    void close();
    // The run's file to the disk now (a save, the program's end).
    void sync();
    // Why the last close() or sync() failed (a refused write or sync); empty
    // when it did not, or once taken.
    QString takeSyncFailure();

    // Writes the record's 76 bytes after any records earlier writes missed
    // (earlier runs' first); nothing when no run is open. False, with the
    // system's reason, when the file could not take them all: the records it
    // missed wait for the next write.
    bool write(const TARecord& record, QString* reason = nullptr);
    // Records of the run (the last run after close()) that are not in its file.
    qsizetype missedRecords() const;

    // Writes the records every file missed, oldest run first. True when all
    // are written and no delayed sync failed; else false with the file and
    // the reason of the first that failed.
    bool retry(QString* path = nullptr, QString* reason = nullptr);
    // Some file still misses records.
    bool hasMissedRecords() const;

    struct Missed
    {
        QString path;
        qsizetype records = 0;
        QString reason; // why the file did not take them
    };
    // The files that still miss records, oldest run first.
    std::vector<Missed> missedByFile() const;

    // tempFileCount: the highest number this program run has used.
    int tempFileCount() const { return m_count; }
    QStringList createdFiles() const;

    // Deletes this program run's files, newest first.
    void deleteCreatedFiles();
    // A save held every reading of the buffer filling `bufferFilling`: the
    // finished runs logged into it are deleted (the run being written stays).
    void deleteSavedRuns(unsigned long long bufferFilling);

private:
    struct Run
    {
        std::unique_ptr<RecordAppender> file;
        unsigned long long bufferFilling = 0;
    };
    void deleteRun(Run& run);
    // Closes the descriptors of finished runs that miss no record, all but
    // the newest `keep` of them.
    void letGoFinishedRuns(std::size_t keep);

    QString m_directory;
    std::unique_ptr<DelayedSync> m_sync;
    // Every file this program run made, oldest first: the last is the run's
    // while m_writing.
    std::vector<Run> m_created;
    bool m_writing = false;
    QString m_syncFailure;
    int m_count = 0;
};

} // namespace dmm
