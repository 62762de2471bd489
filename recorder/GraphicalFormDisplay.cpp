// SPDX-License-Identifier: MIT
// What the recorder window shows: enabled controls, the status bar, the chart
// page, the cursor readout and the extremes.
#include "GraphicalForm.h"

#include "MeterFunction.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTime>
#include <QToolButton>

#include "DisplayLabels.h"
#include "GlobalFlags.h"
#include "PEGraph.h"
#include "RecorderControls.h"
#include "RecorderRules.h"
#include "StringTable.h"
#include "ViewMessages.h"

namespace dmm {

namespace {

// The unit a reading is charted in, for the Y axis label.
QString axisLabel(int function, const QString& unitPanelText)
{
    const QString reading = tableString(7011);
    if (asFunction(function) == MeterFunction::Capacitance)
        return reading + QStringLiteral("(uF)");
    if (isResistance(asFunction(function)))
        return reading + QStringLiteral("(Ohm)");
    return reading + QLatin1Char('(') + unitPanelText + QLatin1Char(')');
}

void showEntry(QLabel* value, QLabel* prefix, QLabel* unit, const TARecord& record)
{
    value->setText(QString::fromLatin1(record.value.view()));
    showInFace(prefix, QString::fromLatin1(record.prefix.view()),
               prefixPanelStyle(record.function));
    showInFace(unit, QString::fromLatin1(record.unit.view()), unitPanelStyle(record.function));
}

} // namespace

void TGraphicalForm::UpdateControls()
{
    const RecorderState& state = m_store.state();
    const RecorderControls c = recorderControls(state.recording, state.manualMode, bBusy,
                                                state.bufferEmpty, state.lastPage);
    sbtnRecordStart->setEnabled(c.startStopButtons);
    sbtnRecordStop->setEnabled(c.startStopButtons);
    miStart->setEnabled(c.menuStart);
    miStop->setEnabled(c.menuStop);
    sbtnManualLogging->setEnabled(c.manual);
    miManual->setEnabled(c.manual);
    for (QToolButton* button : {sbtnOption, sbtnOpenFile, sbtnImport})
        button->setEnabled(c.openOption);
    for (QAction* entry : {miInterval, miOpen, miPrinterSetup, miImport})
        entry->setEnabled(c.openOption);
    for (QToolButton* button : {sbtnSaveFile, sbtnPrintGraphic, sbtnClear, sbtnExport})
        button->setEnabled(c.saveAndPrint);
    for (QAction* entry : {miSaveAs, miPrintPage, miClear, miExport, miExportTable})
        entry->setEnabled(c.saveAndPrint);
    for (QToolButton* button : {sbtnFirstPage, sbtnPageUp, sbtnFitView})
        button->setEnabled(c.pageBack);
    for (QAction* entry : {miFirstPage, miPageUp, miFitAll})
        entry->setEnabled(c.pageBack);
    for (QToolButton* button : {sbtnPageDown, sbtnLastPage})
        button->setEnabled(c.pageForward);
    for (QAction* entry : {miPageDown, miLastPage})
        entry->setEnabled(c.pageForward);
}

void TGraphicalForm::enablePaging()
{
    const RecorderState& state = m_store.state();
    const bool back = state.shownPage != 1;
    const bool forward = state.shownPage != state.lastPage;
    sbtnPageUp->setEnabled(back);
    miPageUp->setEnabled(back);
    sbtnFirstPage->setEnabled(back);
    miFirstPage->setEnabled(back);
    sbtnPageDown->setEnabled(forward);
    miPageDown->setEnabled(forward);
    sbtnLastPage->setEnabled(forward);
    miLastPage->setEnabled(forward);
}

void TGraphicalForm::UpdateStatusBar()
{
    const RecorderState& state = m_store.state();
    const auto setText = [](QLabel* panel, const QString& text) {
        if (panel->text() != text)
            panel->setText(text);
    };
    setText(StatusPanels[0], state.recording ? tableString(7001) : QString());
    setText(StatusPanels[1], fillNumbers(tableString(7002), {state.readingCount}));
    setText(StatusPanels[2], fillNumbers(tableString(7003), {state.shownPage, state.lastPage}));
    setText(StatusPanels[3], recorderModeText(state.manualMode, state.logIntervalMs));
    const QTime now = QTime::currentTime();
    const QLocale locale = QLocale::system();
    setText(StatusPanels[4], recorderClockText(now.hour(), now.minute(), now.second(),
                                               locale.amText(), locale.pmText()));
}

void TGraphicalForm::ResetChart()
{
    const int pageSize = RecorderState::pageSize;
    PEGraph->SetSubsetStyle(0, 0);
    PEGraph->Points = pageSize;
    PEGraph->MaxPointsToGraph = pageSize;
    PEGraph->PointsToGraph = pageSize;
    PEGraph->ManualMaxY = m_store.state().scaleMaxY;
    PEGraph->ManualMinY = m_store.state().scaleMinY;
    for (int k = 0; k < pageSize; ++k) {
        PEGraph->SetYData(0, k, dmm::PEGraph::kNullDataValue);
        PEGraph->SetPointLabel(k, QStringLiteral(" "));
    }
    rebuildChart();
    PEGraph->SetCursorPoint(pageSize - 1);
    PEGraphCursorMoved();
}

void TGraphicalForm::rebuildChart()
{
    // Every rebuild asks for the chart's default size.
    PEGraph->SetActionWidth(0);
    PEGraph->SetActionHeight(0);
    PEGraph->RunAction(ChartAction::Rebuild);
}

void TGraphicalForm::loadPageIntoChart(int page)
{
    const RecordBuffer& buffer = m_store.buffer();
    const PageSlice slice =
        pageSlice(buffer.size(), m_store.state().lastPage, page, RecorderState::pageSize);
    int k = 0;
    for (; k < slice.emptySlots; ++k) {
        PEGraph->SetYData(0, k, dmm::PEGraph::kNullDataValue);
        PEGraph->SetPointLabel(k, QStringLiteral(" "));
    }
    for (int i = 0; i < slice.count; ++i, ++k) {
        const TARecord& record = buffer.at(slice.first + static_cast<std::size_t>(i));
        PEGraph->SetYData(0, k, record.fValue);
        PEGraph->SetPointLabel(k, QString::fromLatin1(record.timeStamp.view()));
    }
    rebuildChart();
}

void TGraphicalForm::RedrawShownPage()
{
    loadPageIntoChart(m_store.state().shownPage);
    PEGraphCursorMoved();
    enablePaging();
    UpdateStatusBar();
}

void TGraphicalForm::PEGraphCursorMoved()
{
    const RecorderState& state = m_store.state();
    const RecordBuffer& buffer = m_store.buffer();
    if (buffer.empty())
        return;
    QString label = tableString(7011);
    const long long i = cursorIndex(PEGraph->GetCursorPoint(), buffer.size(), state.lastPage,
                                    state.shownPage, RecorderState::pageSize);
    if (i < 0 || static_cast<std::size_t>(i) >= buffer.size()) {
        for (QLabel* panel : {TimePanel, ReadingDataPanel, ReadingUnitPanel, ReadingFuncPanel})
            panel->clear();
    } else {
        const TARecord& e = buffer.at(static_cast<std::size_t>(i));
        TimePanel->setText(QString::fromLatin1(e.timeStamp.view()));
        PFPanel->setText(QString::fromLatin1(e.subDisplay.view()));
        showEntry(ReadingDataPanel, ReadingUnitPanel, ReadingFuncPanel, e);
        label = axisLabel(e.function, ReadingFuncPanel->text());
    }
    PEGraph->YAxisLabel = label;
    rebuildChart();
}

void TGraphicalForm::showMaxMinPanels(bool reset)
{
    if (reset) {
        for (QLabel* panel :
             {MaxDataPanel, MaxUnitPanel, MaxFuncPanel, MinDataPanel, MinUnitPanel, MinFuncPanel})
            panel->clear();
        return;
    }
    const RecordBuffer& buffer = m_store.buffer();
    const RecorderState& state = m_store.state();
    if (buffer.empty())
        return;
    showEntry(MaxDataPanel, MaxUnitPanel, MaxFuncPanel,
              buffer.at(static_cast<std::size_t>(state.maxIndex)));
    showEntry(MinDataPanel, MinUnitPanel, MinFuncPanel,
              buffer.at(static_cast<std::size_t>(state.minIndex)));
}

void TGraphicalForm::scaleChanged()
{
    PEGraph->ManualMaxY = m_store.state().scaleMaxY;
    PEGraph->ManualMinY = m_store.state().scaleMinY;
}

void TGraphicalForm::chartPointAppended(const TARecord& record)
{
    PEGraph->AppendPoint(QString::fromLatin1(record.timeStamp.view()), record.fValue);
    // The readout below rebuilds the chart once, for the new point and its label.
    PEGraph->SetCursorPoint(RecorderState::pageSize - 1);
    PEGraphCursorMoved();
}

void TGraphicalForm::listAdded(int index)
{
    if (m_dataList)
        sendViewMessage(m_dataList, WM_LIST_ADD, index);
}

void TGraphicalForm::progressStepped()
{
    // The bar wraps back to the start when it passes its maximum.
    const int next = ProgressBar->value() + 1;
    ProgressBar->setValue(next > ProgressBar->maximum() ? ProgressBar->minimum() : next);
}

} // namespace dmm
