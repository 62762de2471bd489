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
    // A temporary file missed a reading (a full disk): once per outage,
    // however many runs' files it touches; the outage ends when every file
    // has taken its readings. The reading is in the buffer all the same. Must
    // not wait for the user here.
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

    // What the window shows; only the operations below change it.
    const RecorderState& state() const { return m_state; }
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
    void resetState() { m_state.reset(); }
    // Clear: the reset state over an empty buffer.
    void clear();

    // A timed run starts; a stop ends it, and a reading already due is not
    // logged after it.
    void startRun() { m_state.recording = true; }
    void stopRun();
    // A reading is due: the next one that arrives is logged.
    void setTickPending(bool pending) { m_state.logTickPending = pending; }
    // Manual or Automatic acquisition; 500 ms is Full Speed.
    void setMode(bool manual, int intervalMs);
    // The chart shows `page`, kept within 1 ... lastPage.
    void showPage(int page);

    // A file load: the records go into a buffer of the load's own and are
    // counted there (RecordTally); the store then takes both over.
    // While a file of `records` readings loads, the status bar shows its pages.
    void expectLoad(long long records);
    // The buffer to fill in place, uncounted until finishLoad.
    RecordBuffer& bufferForLoading() { return m_buffer; }
    // The buffer a load filled on its own becomes the store's.
    void takeLoaded(RecordBuffer&& loaded);
    // The loaded buffer as counted: its count, scale and extremes, the newest
    // page shown, and its readings unsaved. The view hears of it once.
    void finishLoad(const RecordTally& tally);

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
    // Counts the times the buffer was emptied or loaded: entries counted
    // under one filling stay the same entries.
    unsigned long long filling() const { return m_filling; }

    // Writes what the temporary files missed, once more and as the program
    // ends; one line per file whose readings are still in no file ("28
    // readings of this run are in no file: ... they were not saved").
    QStringList readingsInNoFileAtExit();
    // Fires each second while a run is written or a file misses readings:
    // what the files missed goes in then (tests wait for it).
    const QTimer& tempFileRetryTimer() const { return m_tempFileRetry; }

private:
    void writeToTempFile(const TARecord& record);
    // Each second while a run is written or a file misses readings: the
    // missed ones go in as soon as there is room, and a failed delayed sync
    // is told.
    void retryTempFiles();
    void tempFileFailed(const QString& path, const QString& reason);
    bool appendRecord(const std::optional<TARecord>& record);

    RecorderStoreView* m_view;
    RecorderState m_state;
    Clock m_clock = [] { return QDateTime::currentDateTime(); };
    RecordBuffer m_buffer;
    unsigned long long m_filling = 0; // counts emptyings and loads
    TempFiles m_tempFiles;
    // A write or sync failed and some file still misses readings: the outage
    // has been told.
    bool m_tempFileFailing = false;
    QTimer m_tempFileRetry;
};

// "%3d:%02d:%02d.%-3d" of the local time now.
std::string timeStampNow();

} // namespace dmm
