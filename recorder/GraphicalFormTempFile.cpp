// SPDX-License-Identifier: MIT
// The recorder's side of the temporary file at its edges: a write the disk
// refused is told once per failure episode, the readings the file missed are
// named again at Stop and Save, and an end by a signal keeps unsaved runs.
#include "GraphicalForm.h"

#include <QTimer>
#include <QToolButton>

#include <cstdio>

#include "GlobalFlags.h"
#include "MessageBox.h"
#include "StringTable.h"

namespace dmm {

namespace {

constexpr int kStrReadingsNotInTempFile = 8179;   // count
constexpr int kStrOneReadingNotInTempFile = 8193; // count

} // namespace

void TGraphicalForm::tempFileWriteFailed(const QString& path, const QString& reason)
{
    // The store is in the middle of logging a reading: the box waits for the
    // event loop, and logging goes on while it is open.
    QTimer::singleShot(0, this, [this, path, reason] {
        ShowMsgBox(this, kStrErrorCaption, kStrTempFileWrite, QMessageBox::Ok, QMessageBox::NoIcon,
                   path, QMessageBox::NoButton, tableString(kStrTempFileWrite).arg(reason));
    });
}

void TGraphicalForm::reportMissedReadings()
{
    TempFiles& files = m_store.tempFiles();
    const qsizetype missed = files.missedRecords();
    // A sync that failed: the readings may not be on the disk.
    if (const QString failure = files.takeSyncFailure(); !failure.isEmpty() && missed == 0) {
        ShowMsgBox(this, kStrErrorCaption, kStrTempFileWrite, QMessageBox::Ok, QMessageBox::NoIcon,
                   files.currentFileName(), QMessageBox::NoButton,
                   tableString(kStrTempFileWrite).arg(failure));
        return;
    }
    if (missed == 0)
        return;
    const QString reason = tableString(missed == 1 ? kStrOneReadingNotInTempFile
                                                   : kStrReadingsNotInTempFile)
                               .arg(missed);
    ShowMsgBox(this, kStrErrorCaption, kStrTempFileWrite, QMessageBox::Ok, QMessageBox::NoIcon,
               files.currentFileName(), QMessageBox::NoButton,
               tableString(kStrTempFileWrite).arg(reason));
}

void TGraphicalForm::endForExit()
{
    const RecorderState& state = m_store.state();
    // A load under way stops at its next slice.
    bBusy = false;
    TimerLogger.stop();
    m_store.stopRun();
    sbtnRecordStop->setChecked(true);
    // On the disk now, and kept when its readings were never saved.
    m_store.tempFiles().close();
    m_keepTempFilesAtExit = !state.bufferEmpty && state.unsavedData;
    // The buffer goes with the program: readings of a file that never took
    // them are lost, and said so where a service's log keeps it. The exit
    // status stays 0: the program ended as it was asked to.
    if (m_keepTempFilesAtExit)
        for (const QString& line : m_store.readingsInNoFileAtExit())
            std::fprintf(stderr, "dmmlogger: %s\n", qPrintable(line));
}

} // namespace dmm
