// SPDX-License-Identifier: MIT
// The recorder's files: opening a recording (in time slices, with progress and
// Abort) and saving the buffer.
#include "GraphicalForm.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

#include <atomic>
#include <optional>

#include "BackgroundWork.h"
#include "GlobalFlags.h"
#include "MessageBox.h"
#include "MsgForm.h"
#include "PEGraph.h"
#include "RecordDates.h"
#include "RecordFile.h"
#include "RecordLoad.h"
#include "StringTable.h"
#include "ViewMessages.h"

namespace dmm {

namespace {

constexpr int kProgressWindowSteps = 64;
constexpr int kSaveFileEntry = 1046;

QString progressText(int entry)
{
    return QStringLiteral("[W%1] ").arg(entry) + tableString(entry);
}

void showProgressMessage(TMsgForm* progress, int entry, const QColor& colour)
{
    QPalette palette = progress->MsgPanel->palette();
    palette.setColor(QPalette::WindowText, colour);
    progress->MsgPanel->setPalette(palette);
    progress->MsgPanel->setText(progressText(entry));
    progress->repaint();
}

} // namespace

QString TGraphicalForm::chooseOpenFile()
{
    if (m_chooseOpenFile)
        return m_chooseOpenFile();
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("g52"));
    // Name filters match without regard to case, so *.TMP also finds *.tmp.
    dialog.setNameFilters({QStringLiteral("Data Logger files(*.g52)"),
                           QStringLiteral("Data Logger files(*.g51)"),
                           QStringLiteral("Temporary files(*.TMP)")});
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString TGraphicalForm::proposedFileName() const
{
    return m_recordingName.isEmpty() ? QStringLiteral("Untitled") : m_recordingName;
}

QString TGraphicalForm::chooseSaveFile()
{
    if (m_chooseSaveFile)
        return m_chooseSaveFile();
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("g52"));
    dialog.setNameFilter(QStringLiteral("Data Logger files(*.g52)"));
    dialog.selectFile(proposedFileName() + QStringLiteral(".g52"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void TGraphicalForm::sbtnOpenFileClick()
{
    if (!sbtnClearClick() || !m_store.state().bufferEmpty)
        return;
    const QString path = chooseOpenFile();
    if (path.isEmpty())
        return;
    loadFile(path);
}

bool TGraphicalForm::openFile(const QString& path)
{
    return sbtnClearClick() && m_store.state().bufferEmpty && loadFile(path);
}

bool TGraphicalForm::loadFile(const QString& path)
{
    QApplication::processEvents();
    RecordFileReader reader;
    QString reason;
    if (!reader.open(path, &reason)) {
        ShowMsgBox(this, kStrErrorCaption, 9004, QMessageBox::Ok, QMessageBox::NoIcon,
                   path + QStringLiteral(": ") + reason);
        return false;
    }
    m_loadedFileDate = fileModificationDate(path);
    loadRecords(reader);
    if (m_store.state().bufferEmpty)
        return false;
    const QFileInfo info(path);
    // "~KOPLX3.TMP" says nothing about the readings: the day of the run does.
    m_recordingName = isTempFileName(info.fileName())
                          ? QStringLiteral("run-") + m_loadedFileDate.toString(Qt::ISODate)
                          : info.completeBaseName();
    return true;
}

void TGraphicalForm::setBusy(bool busy)
{
    bBusy = busy;
    UpdateControls();
    if (m_busyChanged)
        m_busyChanged();
}

void TGraphicalForm::loadRecords(RecordFileReader& reader)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_progress) {
        m_progress->Label1->clear();
        m_progress->ProgressBar->setRange(0, kProgressWindowSteps);
        m_progress->ProgressBar->setValue(0);
        m_progress->show();
        m_progress->raise();
        showProgressMessage(m_progress, 8005, Qt::red);
    }
    setBusy(true);
    m_store.expectLoad(reader.recordCount());
    ProgressBar->setRange(0, RecorderState::pageSize);

    const std::optional<RecordTally> tally = readRecordsUntilDone(reader);
    if (!tally) {
        // Aborted (or out of memory): what was read is dropped, so the
        // buffer, the counters, the chart and the data list agree.
        reader.close();
        if (m_progress)
            m_progress->hide();
        dropLoadedRecords();
        QApplication::restoreOverrideCursor();
        return;
    }
    reader.close();
    if (m_progress) {
        m_progress->ProgressBar->setValue(kProgressWindowSteps);
        QApplication::processEvents();
        showProgressMessage(m_progress, 8006, Qt::blue);
    }
    countLoadedRecords(*tally);

    RedrawShownPage();
    if (m_progress)
        m_progress->hide();
    QApplication::restoreOverrideCursor();
    PEGraph->SetCursorPoint(RecorderState::pageSize - 1);
    PEGraphCursorMoved();
    setBusy(false);
}

std::optional<RecordTally> TGraphicalForm::readRecordsUntilDone(RecordFileReader& reader)
{
    // The records go into a buffer of the load's own on another thread, and
    // are counted there; the store takes it over once it is complete.
    RecordBuffer loaded;
    RecordTally tally;
    JobControl job;
    LoadEnd end = LoadEnd::Complete;
    const qint64 count = reader.recordCount();
    runInBackground([&] { end = dmm::loadRecords(reader, loaded, &job, &tally); },
                    [&] {
                        if (!bBusy)
                            job.cancel = true;
                        if (!m_progress)
                            return;
                        const qint64 read = job.done.load();
                        m_progress->ProgressBar->setValue(
                            static_cast<int>(read % (kProgressWindowSteps + 1)));
                        m_progress->Label1->setText(fillNumbers(tableString(7999), {read, count}));
                    });
    if (end == LoadEnd::OutOfMemory)
        ShowMsgBox(this, kStrErrorCaption, 9006);
    if (end == LoadEnd::Cancelled || end == LoadEnd::OutOfMemory || !bBusy)
        return std::nullopt;
    // A file that ended early keeps the whole records read before that.
    m_store.takeLoaded(std::move(loaded));
    return tally;
}

void TGraphicalForm::countLoadedRecords(const RecordTally& tally)
{
    // No events run meanwhile. The records were counted as they were read;
    // the data list adds every entry up to the one named, in one notice.
    // The store counts them in and shows the newest page.
    m_store.finishLoad(tally);
    if (m_dataList && tally.count > 0)
        sendViewMessage(m_dataList, WM_LIST_ADD, tally.count - 1);
    ProgressBar->setValue(tally.count % (RecorderState::pageSize + 1));
    UpdateStatusBar();
}

void TGraphicalForm::dropLoadedRecords()
{
    m_store.clear();
    m_recordingName.clear();
    ProgressBar->setValue(0);
    ResetChart();
    if (m_dataList)
        sendViewMessage(m_dataList, WM_LIST_RESET);
    showMaxMinPanels(true);
    setBusy(false);
    UpdateStatusBar();
}

bool TGraphicalForm::sbtnSaveFileClick()
{
    m_store.tempFiles().sync();
    reportMissedReadings();
    const QString path = chooseSaveFile();
    if (path.isEmpty())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const RecorderStore::SaveSource source = m_store.saveSource();
    std::optional<QString> reason;
    runFileJob(tableString(kSaveFileEntry), qint64(source.records.size() * kARecordSize),
               [&](JobControl& job) { reason = saveRecordFile(path, source.records, &job); });
    QApplication::restoreOverrideCursor();
    if (reason) {
        // The readings stay unsaved, so closing the program still asks.
        ShowMsgBox(this, kStrErrorCaption, 9005, QMessageBox::Ok, QMessageBox::NoIcon,
                   path + QStringLiteral(": ") + *reason);
        return false;
    }
    m_store.markSaved(source);
    m_recordingName = QFileInfo(path).completeBaseName();
    // Every reading is in the saved file: the ended runs' temporary files are
    // not needed to bring them back, and are not offered as lost after a crash.
    if (!m_store.state().unsavedData)
        m_store.tempFiles().deleteSavedRuns(source.filling);
    UpdateControls();
    emit fileSaved(path);
    return true;
}

bool TGraphicalForm::runFileJob(const QString& message, qint64 total,
                                const std::function<void(JobControl&)>& work, bool abortable,
                                const std::atomic<qint64>* done)
{
    // The commands wait as they do for a file load.
    setBusy(true);
    JobControl job;
    {
        LateProgress progress(m_progress, message, abortable);
        runInBackground([&] { work(job); },
                        [&] {
                            // Abort clears bBusy, as it does for a load.
                            if (abortable && !bBusy)
                                job.cancel = true;
                            progress.update(done ? done->load() : job.done.load(), total);
                        });
    }
    setBusy(false);
    return job.cancel;
}

} // namespace dmm
