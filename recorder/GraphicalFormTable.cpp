// SPDX-License-Identifier: MIT
// The recorder's table export: the whole buffer as the table spreadsheets
// read (TableExport.h), written atomically.
#include "GraphicalForm.h"

#include <QApplication>
#include <QStatusBar>

#include "AtomicFile.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "TableExport.h"

namespace dmm {

namespace {

constexpr int kStatusMs = 15000;

} // namespace

void TGraphicalForm::miExportTableClick()
{
    const auto target = m_chooseTable ? m_chooseTable() : chooseTableTarget(this);
    if (!target)
        return;
    const RecordBuffer& buffer = m_store.buffer();
    // Readings without a date stamp came from a file: its date is the last
    // reading's, unless stamped readings tell better.
    const QDate lastDate = m_loadedFileDate.isValid() ? m_loadedFileDate : QDate::currentDate();
    TableProducer table(target->format, firstRecordDate(bufferRecords(buffer), lastDate),
                        bufferRecords(buffer));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto error = writeFileAtomically(
        target->path, [&table](QByteArray& block) { return table.nextBlock(block); });
    QApplication::restoreOverrideCursor();
    if (error) {
        ShowMsgBox(this, kStrErrorCaption, 9015, QMessageBox::Ok, QMessageBox::NoIcon,
                   target->path + QStringLiteral(": ") + *error);
        return;
    }
    statusBar()->showMessage(
        fillNumbers(tableString(table.datesInferred() ? 1609 : 1608), {table.rows()}), kStatusMs);
}

} // namespace dmm
