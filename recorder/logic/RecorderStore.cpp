// SPDX-License-Identifier: MIT
#include "RecorderStore.h"

#include <QTime>

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
    if (state.shownPage != state.lastPage) {
        state.shownPage = state.lastPage;
        if (m_view)
            m_view->redrawShownPage();
    }

    if (!made)
        return false;
    const TARecord& record = *made;
    const float value = record.fValue;

    updateScale(state.scaleMaxY, state.scaleMinY, state.readingCount, value);
    if (m_view)
        m_view->scaleChanged();

    m_buffer.append(record);
    writeToTempFile(record);

    updateMaxMin(state.maxIndex, state.minIndex, m_buffer, state.readingCount, value);
    state.lastPage = lastPageFor(state.readingCount);
    state.shownPage = state.lastPage;
    if (m_view) {
        m_view->showMaxMin(state.readingCount == 0);
        m_view->chartPointAppended(record);
        m_view->listAdded(static_cast<int>(m_buffer.size()) - 1);
        m_view->progressStepped();
    }
    ++state.readingCount;
    state.bufferEmpty = false;
    state.unsavedData = true;
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
        m_failingFile.clear();
        return;
    }
    tempFileFailed(m_tempFiles.currentFileName(), reason);
}

void RecorderStore::tempFileFailed(const QString& path, const QString& reason)
{
    if (m_failingFile == path)
        return;
    m_failingFile = path;
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
    m_failingFile.clear();
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

RecordTally RecorderStore::tallySoFar() const
{
    RecordTally tally;
    tally.count = state.readingCount;
    tally.scaleMaxY = state.scaleMaxY;
    tally.scaleMinY = state.scaleMinY;
    tally.extremes.maxIndex = state.maxIndex;
    tally.extremes.minIndex = state.minIndex;
    if (state.readingCount > 0) {
        tally.extremes.atMax = m_buffer.at(static_cast<std::size_t>(state.maxIndex)).fValue;
        tally.extremes.atMin = m_buffer.at(static_cast<std::size_t>(state.minIndex)).fValue;
    }
    return tally;
}

void RecorderStore::countLoaded(int end)
{
    RecordTally tally = tallySoFar();
    while (tally.count < end)
        tally.add(m_buffer.at(static_cast<std::size_t>(tally.count)).fValue);
    countLoaded(tally);
}

void RecorderStore::countLoaded(const RecordTally& tally)
{
    if (tally.count <= state.readingCount)
        return;
    state.scaleMaxY = tally.scaleMaxY;
    state.scaleMinY = tally.scaleMinY;
    state.maxIndex = tally.extremes.maxIndex;
    state.minIndex = tally.extremes.minIndex;
    state.readingCount = tally.count;
    state.lastPage = tally.lastPage();
    state.shownPage = state.lastPage;
    if (m_view) {
        m_view->scaleChanged();
        m_view->showMaxMin(false);
        m_view->statusChanged();
    }
}

void RecorderStore::emptyBuffer()
{
    m_buffer.clear();
    ++m_filling;
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
    state.bufferEmpty = false;
    state.unsavedData = false;
}

std::string timeStampNow()
{
    const QTime now = QTime::currentTime();
    return formatTimeStamp(now.hour(), now.minute(), now.second(), now.msec());
}

} // namespace dmm
