// SPDX-License-Identifier: MIT
// The recorder's store: the buffer of logged readings, the recorder state and
// the run's temporary file, with the steps that log one reading. The window
// shows what the store tells it through RecorderStoreView.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

#include "CurrentReading.h"
#include "RecordBuffer.h"
#include "RecorderRules.h"
#include "RecorderState.h"
#include "TempFiles.h"

namespace dmm {

// What the store asks of the window, in the order a logged reading needs it.
class RecorderStoreView
{
public:
    virtual ~RecorderStoreView() = default;
    virtual void redrawShownPage() = 0;
    virtual void scaleChanged() = 0;
    // The extremes changed; `reset` empties the six panels instead.
    virtual void showMaxMin(bool reset) = 0;
    // The newest reading goes onto the chart (lastPage and shownPage are set).
    virtual void chartPointAppended(const TARecord& record) = 0;
    virtual void listAdded(int index) = 0;
    virtual void progressStepped() = 0;
    virtual void statusChanged() = 0;
    virtual void controlsChanged() = 0;
    // The run's temporary file missed a reading (a full disk): once per
    // failure episode, which ends when a write succeeds again. The reading is
    // in the buffer all the same. Must not wait for the user here.
    virtual void tempFileWriteFailed(const QString& path, const QString& reason)
    {
        static_cast<void>(path);
        static_cast<void>(reason);
    }
};

class RecorderStore
{
public:
    explicit RecorderStore(const QString& startupDirectory, RecorderStoreView* view = nullptr);

    void setView(RecorderStoreView* view) { m_view = view; }

    RecorderState state;
    const RecordBuffer& buffer() const { return m_buffer; }
    TempFiles& tempFiles() { return m_tempFiles; }

    // Logs the current reading now by the store's clock: the time text and
    // the record's date stamp. False when its display text gives no value:
    // nothing is logged then.
    bool appendReading(const CurrentReading& reading);
    // The same with a time text as given (13 characters) and no date stamp.
    bool appendReading(const CurrentReading& reading, const std::string& timeStamp);

    // The clock readings are logged by; tests set one of their own.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // The reset of the counters, pages and scale; the entries stay.
    void resetState() { state.reset(); }
    void emptyBuffer();

    // A file load: records go into the buffer uncounted first, then are
    // counted (scale, extremes, pages) in as many steps as the caller likes.
    RecordBuffer& bufferForLoading() { return m_buffer; }
    // The buffer a load filled on its own becomes the store's.
    void takeLoaded(RecordBuffer&& loaded);

    // What a save writes: the entries now, and which filling of the buffer
    // they belong to.
    struct SaveSource
    {
        RecordBuffer::Snapshot records;
        unsigned long long filling = 0;
    };
    SaveSource saveSource() const { return {m_buffer.snapshot(), m_filling}; }
    // The readings count as saved only while the buffer still holds exactly
    // what was written: nothing appended, emptied or loaded since.
    void markSaved(const SaveSource& saved);
    // Counts the loaded entries up to `end` (exclusive) as the append would,
    // without chart points or temporary file; the view hears of it once.
    void countLoaded(int end);
    // The same with the counting done already (by the load, over the whole
    // buffer from its first entry).
    void countLoaded(const RecordTally& tally);

    // Writes what the temporary files missed, once more and as the program
    // ends; one line per file whose readings are still in no file ("28
    // readings of this run are in no file: ... they were not saved").
    QStringList readingsInNoFileAtExit();

private:
    RecordTally tallySoFar() const;
    void writeToTempFile(const TARecord& record);
    // Each second while a run is written or a file misses readings: the
    // missed ones go in as soon as there is room, and a failed delayed sync
    // is told.
    void retryTempFiles();
    void tempFileFailed(const QString& path, const QString& reason);
    bool appendRecord(const std::optional<TARecord>& record);

    RecorderStoreView* m_view;
    Clock m_clock = [] { return QDateTime::currentDateTime(); };
    RecordBuffer m_buffer;
    unsigned long long m_filling = 0; // counts emptyings and loads
    TempFiles m_tempFiles;
    // The file of the failure episode under way; empty while writes succeed.
    QString m_failingFile;
    QTimer m_tempFileRetry;
};

// "%3d:%02d:%02d.%-3d" of the local time now.
std::string timeStampNow();

} // namespace dmm
