// SPDX-License-Identifier: MIT
#include "RecorderStore.h"

#include <QTime>

#include <algorithm>
#include <utility>

#include "LoggedRecord.h"
#include "RecorderRules.h"

namespace dmm {

RecorderStore::RecorderStore(const QString& startupDirectory, RecorderStoreView* view)
    : m_view(view), m_tempFiles(startupDirectory)
{
    m_tempFileRetry.setInterval(1000);
    m_tempFileRetry.callOnTimeout([this] { retryTempFiles(); });
}

bool RecorderStore::appendReading(const CurrentReading& reading)
{
    return appendRecord(loggedRecord(reading, m_clock()));
}

bool RecorderStore::appendReading(const CurrentReading& reading, const std::string& timeStamp)
{
    return appendRecord(loggedRecord(reading, timeStamp));
}

bool RecorderStore::appendRecord(const std::optional<TARecord>& made)
{
    // Logging always happens on the newest page.
    if (m_state.shownPage != m_state.lastPage) {
        m_state.shownPage = m_state.lastPage;
        if (m_view)
            m_view->redrawShownPage();
    }

    if (!made)
        return false;
    const TARecord& record = *made;
    const float value = record.fValue;

    updateScale(m_state.scaleMaxY, m_state.scaleMinY, m_state.readingCount, value);
    if (m_view)
        m_view->scaleChanged();

    m_buffer.append(record);
    writeToTempFile(record);

    updateMaxMin(m_state.maxIndex, m_state.minIndex, m_buffer, m_state.readingCount, value);
    m_state.lastPage = lastPageFor(m_state.readingCount);
    m_state.shownPage = m_state.lastPage;
    if (m_view) {
        m_view->showMaxMin(m_state.readingCount == 0);
        m_view->chartPointAppended(record);
        m_view->listAdded(static_cast<int>(m_buffer.size()) - 1);
        m_view->progressStepped();
    }
    ++m_state.readingCount;
    m_state.bufferEmpty = false;
    m_state.unsavedData = true;
    if (m_view) {
        m_view->statusChanged();
        m_view->controlsChanged();
    }
    return true;
}

void RecorderStore::writeToTempFile(const TARecord& record)
{
    if (m_tempFiles.isOpen() && !m_tempFileRetry.isActive())
        m_tempFileRetry.start();
    QString reason;
    if (m_tempFiles.write(record, &reason)) {
        // A stopped run's file may still miss readings: the outage goes on.
        if (!m_tempFiles.hasMissedRecords())
            m_tempFileFailing = false;
        return;
    }
    tempFileFailed(m_tempFiles.currentFileName(), reason);
}

void RecorderStore::tempFileFailed(const QString& path, const QString& reason)
{
    // One outage, one notice, whichever of the files it touches.
    if (std::exchange(m_tempFileFailing, true))
        return;
    if (m_view)
        m_view->tempFileWriteFailed(path, reason);
}

void RecorderStore::retryTempFiles()
{
    QString path;
    QString reason;
    if (!m_tempFiles.retry(&path, &reason)) {
        tempFileFailed(path, reason);
        return;
    }
    m_tempFileFailing = false;
    if (!m_tempFiles.isOpen())
        m_tempFileRetry.stop();
}

QStringList RecorderStore::readingsInNoFileAtExit()
{
    m_tempFileRetry.stop();
    m_tempFiles.retry();
    QStringList lines;
    for (const TempFiles::Missed& missed : m_tempFiles.missedByFile())
        lines << QStringLiteral("%1 readings of this run are in no file: %2 could not take them "
                                "(%3); they were not saved")
                     .arg(missed.records)
                     .arg(missed.path, missed.reason);
    return lines;
}

void RecorderStore::finishLoad(const RecordTally& tally)
{
    m_state.scaleMaxY = tally.scaleMaxY;
    m_state.scaleMinY = tally.scaleMinY;
    m_state.maxIndex = tally.extremes.maxIndex;
    m_state.minIndex = tally.extremes.minIndex;
    m_state.readingCount = tally.count;
    m_state.lastPage = tally.lastPage();
    m_state.shownPage = m_state.lastPage;
    // Even an empty file counts as loaded, unsaved data.
    m_state.bufferEmpty = false;
    m_state.unsavedData = true;
    if (m_view && tally.count > 0) {
        m_view->scaleChanged();
        // As when the records were logged: a single reading leaves the six
        // panels empty, as logging a first reading does.
        m_view->showMaxMin(tally.count == 1);
        m_view->statusChanged();
    }
}

void RecorderStore::expectLoad(long long records)
{
    m_state.lastPage = lastPageFor(records);
}

void RecorderStore::clear()
{
    m_state.reset();
    m_buffer.clear();
    ++m_filling;
}

void RecorderStore::stopRun()
{
    m_state.recording = false;
    m_state.logTickPending = false;
}

void RecorderStore::setMode(bool manual, int intervalMs)
{
    m_state.manualMode = manual;
    m_state.logIntervalMs = intervalMs;
}

void RecorderStore::showPage(int page)
{
    m_state.shownPage = std::clamp(page, 1, m_state.lastPage);
}

void RecorderStore::takeLoaded(RecordBuffer&& loaded)
{
    m_buffer = std::move(loaded);
    ++m_filling;
}

void RecorderStore::markSaved(const SaveSource& saved)
{
    if (saved.filling != m_filling || saved.records.size() != m_buffer.size())
        return;
    m_state.bufferEmpty = false;
    m_state.unsavedData = false;
}

std::string timeStampNow()
{
    const QTime now = QTime::currentTime();
    return formatTimeStamp(now.hour(), now.minute(), now.second(), now.msec());
}

} // namespace dmm
