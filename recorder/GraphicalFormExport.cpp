// SPDX-License-Identifier: MIT
// The recorder's export: its pages as comma-separated text, or pictures of
// its chart pages on the clipboard, in a file or on the printer.
#include "GraphicalForm.h"

#include <QApplication>

#include "DlgExportForm.h"
#include "ExportChoice.h"
#include "ExportText.h"
#include "MessageBox.h"
#include "PEGraph.h"
#include "StringTable.h"

namespace dmm {

void TGraphicalForm::sbtnExportClick()
{
    if (!m_exportDialog)
        return;
    const RecorderState& state = m_store.state;
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
        const RecordBuffer& buffer = m_store.buffer();
        const QByteArray text =
            exportText(buffer, pageRangeEntries(buffer.size(), state.lastPage, pages.pages));
        if (const auto reason = saveExportText(choice.fileName, text))
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
    for (int page = pages.pages.first; done && page <= pages.pages.last; ++page)
        done = exportPicture(page, choice);
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
        PEGraph->ViewingStyle = dmm::PEGraph::gMonochrome;
        PEGraph->RunAction(2);
        done = PEGraph->RunAction(18);
        PEGraph->ViewingStyle = dmm::PEGraph::gColor;
        PEGraph->RunAction(0);
    }
    if (!done)
        ShowMsgBox(this, kStrErrorCaption,
                   choice.destination == ExportDestination::Printer ? 9014 : 9015, QMessageBox::Ok,
                   QMessageBox::NoIcon, PEGraph->lastError());
    return done;
}

} // namespace dmm
