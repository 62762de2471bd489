// SPDX-License-Identifier: MIT
// The recorder's export: its pages as comma-separated text, or pictures of
// its chart pages on the clipboard, in a file or on the printer.
#include "GraphicalForm.h"

#include <QApplication>

#include <optional>

#include "BackgroundWork.h"
#include "DlgExportForm.h"
#include "ExportChoice.h"
#include "ExportText.h"
#include "MessageBox.h"
#include "PEGraph.h"
#include "StringTable.h"

namespace dmm {

namespace {

constexpr int kExportingEntry = 107;
// Bytes of an everyday export line, for the progress window's bar.
constexpr std::size_t kTypicalExportLine = 32;

} // namespace

void TGraphicalForm::sbtnExportClick()
{
    if (!m_exportDialog)
        return;
    const RecorderState& state = m_store.state();
    m_exportDialog->prepareRecorderExport(state.lastPage);
    if (m_exportDialog->exec() != QDialog::Accepted)
        return;
    const ExportChoice choice = m_exportDialog->choice();
    if (choice.missingFileName()) {
        ShowMsgBox(this, kStrErrorCaption, 9013);
        return;
    }
    const ExportPages pages = exportPages(choice, state.shownPage, state.lastPage);
    if (pages.badPageText) {
        showConversionError(this, *pages.badPageText, true);
        return;
    }

    if (!choice.isPicture()) {
        // Written a block at a time on another thread, never whole in memory.
        RecordBuffer::Snapshot records = m_store.buffer().snapshot();
        const EntryRange entries = pageRangeEntries(records.size(), state.lastPage, pages.pages);
        std::optional<QString> reason;
        runFileJob(tableString(kExportingEntry), qint64(entries.size() * kTypicalExportLine),
                   [&](JobControl& job) {
                       reason = writeFileAtomically(
                           choice.fileName, exportTextBlocks(std::move(records), entries), &job);
                   });
        if (reason)
            ShowMsgBox(this, kStrErrorCaption, 9015, QMessageBox::Ok, QMessageBox::NoIcon,
                       choice.fileName + QStringLiteral(": ") + *reason);
        return;
    }

    const bool printing = choice.destination == ExportDestination::Printer;
    if (printing && !printerForPrinting())
        return;
    if (printing)
        PEGraph->beginPrintDocument();
    bool done = true;
    // The chart draws each page on this thread: events run between pages.
    setBusy(true);
    {
        LateProgress progress(m_progress, tableString(kExportingEntry));
        const int count = pages.pages.last - pages.pages.first + 1;
        for (int page = pages.pages.first; done && page <= pages.pages.last; ++page) {
            done = exportPicture(page, choice);
            progress.update(page - pages.pages.first + 1, count);
        }
    }
    setBusy(false);
    if (printing && !PEGraph->endPrintDocument() && done)
        ShowMsgBox(this, kStrErrorCaption, 9014, QMessageBox::Ok, QMessageBox::NoIcon,
                   PEGraph->lastError());
    RedrawShownPage();
}

bool TGraphicalForm::exportPicture(int page, const ExportChoice& choice)
{
    loadPageIntoChart(page);
    // The chart is drawn before its picture is taken; the window stays
    // responsive through a long printout.
    QApplication::processEvents();
    PEGraph->SetActionWidth(choice.actionWidth());
    PEGraph->SetActionHeight(choice.actionHeight());
    PEGraph->SetActionFileName(choice.fileName);
    bool done = true;
    if (choice.destination != ExportDestination::Printer) {
        done = PEGraph->RunAction(pictureAction(choice));
    } else {
        // In black and white; a job per page, or a sheet per page where the
        // printer writes to a file.
        PEGraph->setPrinter(&m_printer);
        done = PEGraph->printInBlackAndWhite(ChartAction::PrintImage, ChartAction::Rebuild);
    }
    if (!done)
        ShowMsgBox(this, kStrErrorCaption,
                   choice.destination == ExportDestination::Printer ? 9014 : 9015, QMessageBox::Ok,
                   QMessageBox::NoIcon, PEGraph->lastError());
    return done;
}

} // namespace dmm
