// SPDX-License-Identifier: MIT
// The recorder's table export: the whole buffer as the table spreadsheets
// read (TableExport.h), written atomically.
#include "GraphicalForm.h"

#include "AtomicFile.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "TableExport.h"
#include "TableFile.h"

namespace dmm {

namespace {

constexpr int kExportingEntry = 107;
constexpr int kExportTableCaption = 1601;
constexpr int kTableWrittenEntry = 1608;
constexpr int kDatesInferredEntry = 1609;

} // namespace

void TGraphicalForm::miExportTableClick()
{
    const auto target =
        m_chooseTable ? m_chooseTable() : chooseTableTarget(this, proposedFileName());
    if (!target)
        return;
    // Written from a snapshot on a worker: readings may go on arriving.
    const RecordBuffer::Snapshot records = m_store.buffer().snapshot();
    // Readings without a date stamp came from a file: its date is the last
    // reading's, unless stamped readings tell better.
    const QDate lastDate = m_loadedFileDate.isValid() ? m_loadedFileDate : QDate::currentDate();
    std::optional<QString> error;
    TableFileResult written;
    // The progress counts readings, for text and workbook alike; Abort stops
    // the write, which then leaves no file and an existing one as it was.
    std::atomic<qint64> given{0};
    const bool aborted = runFileJob(
        tableString(kExportingEntry), qint64(records.size()),
        [&](JobControl& job) {
            RecordRuns counted(records);
            const QDate firstDate = firstRecordDate(counted, lastDate);
            RecordRuns rows(records);
            rows.observeRuns([&given](std::size_t end) { given = qint64(end); });
            error = writeTableFile(target->path, target->format, firstDate, rows, &job, &written);
        },
        true, &given);
    if (error && aborted)
        return;
    if (error) {
        ShowMsgBox(this, kStrErrorCaption, 9015, QMessageBox::Ok, QMessageBox::NoIcon,
                   target->path + QStringLiteral(": ") + *error);
        return;
    }
    // A box, not a status bar message: QStatusBar::showMessage hides the
    // status panels ("Data Logging ...", the count) while it shows.
    MessageBoxRequest done;
    done.messageId = written.datesInferred ? kDatesInferredEntry : kTableWrittenEntry;
    done.caption = tableString(kExportTableCaption);
    done.text = fillNumbers(tableString(done.messageId), {written.rows});
    done.icon = QMessageBox::Information;
    showMessageBox(this, done);
}

} // namespace dmm
