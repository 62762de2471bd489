// SPDX-License-Identifier: MIT
// The recorder's commands: Start, Stop, manual logging, the interval, Clear,
// paging, zoom, printing and the line colour, from its buttons and menus.
#include "GraphicalForm.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QPrintDialog>
#include <QProgressBar>
#include <QToolButton>

#include "CurrentReading.h"
#include "DialogOption.h"
#include "GlobalFlags.h"
#include "MessageBox.h"
#include "PEGraph.h"
#include "StringTable.h"
#include "ViewMessages.h"

namespace dmm {

void TGraphicalForm::sbtnRecordStartClick()
{
    if (bDataValid == 0) {
        ShowMsgBox(this, kStrErrorCaption, 9002);
        sbtnRecordStop->setChecked(true);
        return;
    }
    // The file first: a run without one never starts, so no reading is
    // logged for it. The run is known by the filling of the buffer it logs
    // into, so that a save of that whole filling deletes it once it has ended.
    QString reason;
    if (!m_store.tempFiles().createNext(&reason, m_store.saveSource().filling)) {
        // The number that failed: those taken by other files were skipped.
        const QString tried = m_store.tempFiles().fileName(m_store.tempFiles().tempFileCount() + 1);
        // Every step of Stop before the box, which waits for the user while
        // readings go on arriving.
        sbtnRecordStop->setChecked(true);
        sbtnRecordStopClick();
        ShowMsgBox(this, kStrErrorCaption, 9003, QMessageBox::Ok, QMessageBox::NoIcon,
                   tried + QStringLiteral(": ") + reason);
        return;
    }
    TimerLogger.setInterval(m_store.state().logIntervalMs);
    if (sbtnRecordStart->isChecked())
        TimerLogger.start();
    // `recording` is the timer's state.
    if (TimerLogger.isActive())
        m_store.startRun();
    else
        m_store.stopRun();
    // The first reading after the start is logged without waiting an interval.
    m_store.setTickPending(true);
    UpdateControls();
    UpdateStatusBar();
}

void TGraphicalForm::sbtnRecordStopClick()
{
    m_store.tempFiles().close();
    if (sbtnRecordStop->isChecked())
        TimerLogger.stop();
    else
        TimerLogger.start();
    // No reading is logged after a stop; `recording` is the timer's state.
    m_store.stopRun();
    if (TimerLogger.isActive())
        m_store.startRun();
    UpdateControls();
    UpdateStatusBar();
    // Told once the run has ended: the box waits for the user, and logging
    // must not go on meanwhile.
    reportMissedReadings();
}

void TGraphicalForm::sbtnManualLoggingClick()
{
    if (bDataValid == 0) {
        ShowMsgBox(this, kStrErrorCaption, 9002);
        sbtnRecordStop->setChecked(true);
        return;
    }
    appendCurrentReading();
}

void TGraphicalForm::appendCurrentReading()
{
    if (m_reading)
        m_store.appendReading(*m_reading);
}

void TGraphicalForm::sbtnOptionClick()
{
    if (!m_optionDialog)
        return;
    const RecorderState& state = m_store.state();
    m_optionDialog->dlgManual = state.manualMode;
    m_optionDialog->dlgIntervalSeconds =
        state.logIntervalMs == 500 ? 0 : state.logIntervalMs / 1000;
    if (m_optionDialog->exec() != QDialog::Accepted)
        return;
    const int seconds = m_optionDialog->dlgIntervalSeconds;
    m_store.setMode(m_optionDialog->dlgManual, seconds == 0 ? 500 : seconds * 1000);
    UpdateControls();
    UpdateStatusBar();
}

bool TGraphicalForm::sbtnClearClick()
{
    const RecorderState& state = m_store.state();
    if (state.bufferEmpty)
        return true;
    if (state.unsavedData &&
        ShowMsgBox(this, kStrWarningCaption, 8002, QMessageBox::Ok | QMessageBox::Cancel,
                   QMessageBox::Question, {}, QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    m_store.clear();
    m_recordingName.clear();
    ProgressBar->setRange(0, RecorderState::pageSize);
    ProgressBar->setValue(0);
    TimerLogger.setInterval(state.logIntervalMs);
    ResetChart();
    if (m_dataList)
        sendViewMessage(m_dataList, WM_LIST_RESET);
    showMaxMinPanels(true);
    UpdateControls();
    UpdateStatusBar();
    return true;
}

void TGraphicalForm::sbtnImportClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_mainWindowObject)
        sendViewMessage(m_mainWindowObject, WM_DMM_UNLINK);
    QApplication::restoreOverrideCursor();
}

void TGraphicalForm::sbtnFitViewClick()
{
    if (m_fitView)
        m_fitView();
}

void TGraphicalForm::sbtnFirstPageClick()
{
    m_store.showPage(1);
    RedrawShownPage();
}

void TGraphicalForm::sbtnPageUpClick()
{
    const RecorderState& state = m_store.state();
    if (state.shownPage == 1) {
        ShowMsgBox(this, kStrWarningCaption, 8008);
        return;
    }
    m_store.showPage(state.shownPage - 1);
    RedrawShownPage();
}

void TGraphicalForm::sbtnPageDownClick()
{
    const RecorderState& state = m_store.state();
    if (state.shownPage == state.lastPage) {
        ShowMsgBox(this, kStrWarningCaption, 8009);
        return;
    }
    m_store.showPage(state.shownPage + 1);
    RedrawShownPage();
}

void TGraphicalForm::sbtnLastPageClick()
{
    m_store.showPage(m_store.state().lastPage);
    RedrawShownPage();
}

void TGraphicalForm::onChartKey(int key)
{
    if (bBusy)
        return;
    if (key == Qt::Key_PageUp)
        sbtnPageUpClick();
    else if (key == Qt::Key_PageDown)
        sbtnPageDownClick();
}

void TGraphicalForm::sbtnUndoZoomClick()
{
    PEGraph->RunAction(ChartAction::UndoZoom);
    setUndoZoomEnabled(false);
}

void TGraphicalForm::setUndoZoomEnabled(bool enabled)
{
    sbtnUndoZoom->setEnabled(enabled);
    miUndoZoom->setEnabled(enabled);
}

QPrinter* TGraphicalForm::printerForPrinting()
{
    // Without a printer chosen, the user picks one first (or a PDF file).
    if (!m_printerChosen)
        miPrinterSetupClick();
    return m_printerChosen ? &m_printer : nullptr;
}

void TGraphicalForm::sbtnPrintGraphicClick()
{
    if (!printerForPrinting())
        return;
    PEGraph->setPrinter(&m_printer);
    const bool printed =
        PEGraph->printInBlackAndWhite(ChartAction::Print, ChartAction::Rebuild, true);
    if (!printed)
        ShowMsgBox(this, kStrErrorCaption, 9014, QMessageBox::Ok, QMessageBox::NoIcon,
                   PEGraph->lastError());
}

void TGraphicalForm::miPrinterSetupClick()
{
    if (m_choosePrinter) {
        m_printerChosen = m_choosePrinter(m_printer) || m_printerChosen;
        return;
    }
    QPrintDialog dialog(&m_printer, this);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() == QDialog::Accepted)
        m_printerChosen = true;
}

void TGraphicalForm::miGraphLineColorClick()
{
    const QColor color = QColorDialog::getColor(PEGraph->GetSubsetColor(0), this);
    if (!color.isValid())
        return;
    PEGraph->SetSubsetColor(0, color);
    rebuildChart();
}

} // namespace dmm
