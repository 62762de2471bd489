// SPDX-License-Identifier: MIT
#include "FormViewGraphic.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "BackgroundThread.h"
#include "DisplayLabels.h"
#include "DlgExportForm.h"
#include "MessageBox.h"
#include "PEGraph.h"
#include "PictureButton.h"
#include "RecordBuffer.h"
#include "RecorderState.h"
#include "StringTable.h"
#include "TraceChart.h"
#include "TraceLoader.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

const QColor kRed(0xff, 0x00, 0x00);
const QColor kFuchsia(0xff, 0x00, 0xff);
constexpr int kAddRecordingEntry = 8300;
constexpr int kRemoveRecordingsEntry = 8301;

QLabel* makePanel(QWidget* parent, const char* name, const QColor& text, int width,
                  bool serif = true)
{
    const QFont font(serif ? QStringLiteral("Times New Roman") : QStringLiteral("Arial"), 12,
                     QFont::Bold);
    QLabel* label = makeColouredPanel(parent, name, text, font, width);
    label->setFixedHeight(22);
    return label;
}

QToolButton* makeButton(QWidget* parent, const QString& art, int hint)
{
    QToolButton* button =
        makePictureButton(parent, art, tableString(hint), art + QStringLiteral("-disabled"));
    button->setFixedSize(25, 25);
    return button;
}

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TFormViewGraphic::TFormViewGraphic(const RecordBuffer* buffer, const RecorderState* state,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_buffer(buffer), m_state(state)
{
    setModal(true);
    FormCreate();
}

TFormViewGraphic::~TFormViewGraphic()
{
    // The load writes into this window's members: it ends before they go.
    m_loader->cancel();
}

void TFormViewGraphic::FormCreate()
{
    setWindowTitle(tableString(105));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildDisplayPanel();
    PEGraphView = new dmm::PEGraph(this);
    PEGraphView->setObjectName(QStringLiteral("PEGraphView"));
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    column->addWidget(findChild<QWidget*>(QStringLiteral("DisplayPanel")));
    buildTraceControls();
    column->addWidget(ReadoutPanel);
    column->addWidget(PEGraphView, 1);
    column->addWidget(TraceView, 1);
    column->addWidget(StatusBar1);
    setUpChart();
    connect(PEGraphView, &dmm::PEGraph::OnZoomIn, this, [this] { sbtnUndoZoom->setEnabled(true); });
}

void TFormViewGraphic::buildDisplayPanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("DisplayPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(0);

    const auto addGroup = [&](const QString& caption, const QColor& colour, QLabel*& time,
                              QLabel*& data, QLabel*& unit, QLabel*& func, QLabel*& pf,
                              const char* names[5]) {
        row->addWidget(makeColouredCaption(panel, caption, colour));
        row->addSpacing(4);
        time = makePanel(panel, names[0], Qt::white, 110, false);
        data = makePanel(panel, names[1], colour, 96);
        data->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // A click on the value puts the cursor on that reading.
        data->setCursor(Qt::PointingHandCursor);
        data->installEventFilter(this);
        unit = makePanel(panel, names[2], colour, 18);
        func = makePanel(panel, names[3], colour, 24);
        func->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        pf = makePanel(panel, names[4], Qt::white, 60, false);
        row->addWidget(time);
        row->addSpacing(4);
        row->addWidget(data);
        row->addWidget(unit);
        row->addWidget(func);
        row->addSpacing(6);
        row->addWidget(new QLabel(tableString(7013), panel));
        row->addSpacing(4);
        row->addWidget(pf);
        row->addSpacing(16);
    };
    const char* maxNames[5] = {"MaxTimePanel", "MaxDataPanel", "MaxUnitPanel", "MaxFuncPanel",
                               "MaxPFPanel"};
    const char* minNames[5] = {"MinTimePanel", "MinDataPanel", "MinUnitPanel", "MinFuncPanel",
                               "MinPFPanel"};
    addGroup(tableString(7014), kRed, MaxTimePanel, MaxDataPanel, MaxUnitPanel, MaxFuncPanel,
             MaxPFPanel, maxNames);
    addGroup(tableString(7015), kFuchsia, MinTimePanel, MinDataPanel, MinUnitPanel, MinFuncPanel,
             MinPFPanel, minNames);
    row->addStretch(1);

    sbtnExport = makeButton(panel, QStringLiteral("rec-export"), 1054);
    sbtnPrint = makeButton(panel, QStringLiteral("rec-print"), 1044);
    sbtnUndoZoom = makeButton(panel, QStringLiteral("rec-undo-zoom"), 1053);
    sbtnUndoZoom->setEnabled(false);
    bbtnClose = new QPushButton(tableString(7004), panel);
    for (QWidget* w : {static_cast<QWidget*>(sbtnExport), static_cast<QWidget*>(sbtnPrint),
                       static_cast<QWidget*>(sbtnUndoZoom)})
        row->addWidget(w);
    row->addSpacing(8);
    btnAddRecording = new QPushButton(tableString(kAddRecordingEntry), panel);
    btnRemoveRecordings = new QPushButton(tableString(kRemoveRecordingsEntry), panel);
    btnRemoveRecordings->hide();
    row->addWidget(btnAddRecording);
    row->addWidget(btnRemoveRecordings);
    row->addSpacing(8);
    row->addWidget(bbtnClose);

    connect(sbtnExport, &QToolButton::clicked, this, &TFormViewGraphic::sbtnExportClick);
    connect(sbtnPrint, &QToolButton::clicked, this, &TFormViewGraphic::sbtnPrintClick);
    connect(sbtnUndoZoom, &QToolButton::clicked, this, &TFormViewGraphic::sbtnUndoZoomClick);
    connect(bbtnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormViewGraphic::setUpChart()
{
    dmm::PEGraph* g = PEGraphView;
    const QColor buttonFace = palette().color(QPalette::Button);
    g->MainTitle = tableString(7010);
    g->SubTitle.clear();
    g->YAxisLabel = tableString(7011);
    g->XAxisLabel = tableString(7012);
    g->DeskColor = buttonFace;
    g->GraphBackColor = Qt::white;
    g->GraphForeColor = buttonFace.darker(250); // the face itself would not show on white
    g->SetSubsetColor(0, Qt::blue);
    g->PlottingMethod = dmm::PEGraph::gLine;
    g->SetSubsetStyle(0, 9);
    g->ManualMaxDataString = QStringLiteral("00000000.000");
    g->ManualMaxPointLabel = QStringLiteral("00:00:00.000");
    g->DataPrecision = dmm::PEGraph::gThreeDecimals;
    g->NullDataValue = dmm::PEGraph::kNullDataValue;
    g->ManualScaleControlY = dmm::PEGraph::gManualMinAndMax;
    g->NoStackedData = true;
    g->AllowHistogram = false;
    g->AllowDataHotSpots = true;
    g->PointsToGraphInit = dmm::PEGraph::gLast;
    g->PointSize = dmm::PEGraph::gLargePoints;
    g->GridLineControl = dmm::PEGraph::gYPlusXAxis;
    g->GridStyle = dmm::PEGraph::gThin;
    g->CursorMode = dmm::PEGraph::gVertLine;
    g->MouseCursorControl = true;
    g->CursorPromptStyle = dmm::PEGraph::gNoPrompt;
    g->AllowZooming = dmm::PEGraph::gHorzPlusVertZooming;
    g->AllowPopup = false;
}

void TFormViewGraphic::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormViewGraphic::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        FormClose();
    QDialog::hideEvent(event);
}

void TFormViewGraphic::FormShow()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QSize screen = screenMetrics().screen;
    setOuterGeometry(this, 0, 0, screen.width(), screen.height());
    PEGraphView->setFocus();
    m_maxY = m_state->scaleMaxY;
    m_minY = m_state->scaleMinY;

    const std::size_t count = m_buffer->size();
    if (m_prepared && m_preparedCount == count)
        m_plot = std::move(*m_prepared);
    else
        m_plot = count == 0 ? ViewerPlot{}
                            : planViewerPlot(*m_buffer, static_cast<std::size_t>(m_state->maxIndex),
                                             static_cast<std::size_t>(m_state->minIndex));
    m_prepared.reset();
    const int points = static_cast<int>(m_plot.pointCount);
    PEGraphView->Subsets = 1;
    PEGraphView->Points = points;
    PEGraphView->MaxPointsToGraph = points;
    PEGraphView->PointsToGraph = points;
    PEGraphView->ManualMaxY = m_maxY;
    PEGraphView->ManualMinY = m_minY;
    for (int j = 0; j < points; ++j) {
        const TARecord& entry = m_buffer->at(m_plot.entryAt(static_cast<std::size_t>(j)));
        PEGraphView->SetYData(0, j, entry.fValue);
        PEGraphView->SetPointLabel(j, latin1(entry.timeStamp.view()));
    }
    PEGraphView->PrepareImages = true;
    PEGraphView->SetActionWidth(0);
    PEGraphView->SetActionHeight(0);
    PEGraphView->RunAction(ChartAction::Rebuild);
    PEGraphView->SetCursorPoint(0);
    PEGraphView->RunAction(ChartAction::UndoZoom);
    sbtnUndoZoom->setEnabled(false);
    fillPanels();
    QApplication::restoreOverrideCursor();
}

int TFormViewGraphic::execWholeBuffer()
{
    if (m_preparing) // asked again while the plan is being worked out
        return QDialog::Rejected;
    if (m_buffer->size() >= kDirectPlotLimit) {
        m_preparing = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // From a snapshot: readings may go on arriving meanwhile. Should the
        // buffer change, FormShow() plans it afresh.
        const RecordBuffer::Snapshot entries = m_buffer->snapshot();
        const auto maxIndex = static_cast<std::size_t>(m_state->maxIndex);
        const auto minIndex = static_cast<std::size_t>(m_state->minIndex);
        ViewerPlot plot;
        runInBackground(
            [&] {
                plot = planViewerPlot(
                    entries.size(), [&entries](std::size_t i) { return entries.at(i).fValue; },
                    maxIndex, minIndex);
            },
            [] {});
        QApplication::restoreOverrideCursor();
        m_prepared = std::move(plot);
        m_preparedCount = entries.size();
        m_preparing = false;
    }
    return exec();
}

void TFormViewGraphic::fillPanels()
{
    const auto fill = [this](int index, QLabel* time, QLabel* data, QLabel* unit, QLabel* func,
                             QLabel* pf) {
        // An empty buffer has no extremes to show.
        if (index < 0 || static_cast<std::size_t>(index) >= m_buffer->size()) {
            for (QLabel* label : {time, data, unit, func, pf})
                label->clear();
            return;
        }
        const TARecord& e = m_buffer->at(static_cast<std::size_t>(index));
        time->setText(latin1(e.timeStamp.view()));
        data->setText(latin1(e.value.view()));
        unit->setText(latin1(e.prefix.view()));
        func->setText(latin1(e.unit.view()));
        pf->setText(latin1(e.subDisplay.view()));
    };
    fill(m_state->maxIndex, MaxTimePanel, MaxDataPanel, MaxUnitPanel, MaxFuncPanel, MaxPFPanel);
    fill(m_state->minIndex, MinTimePanel, MinDataPanel, MinUnitPanel, MinFuncPanel, MinPFPanel);
}

void TFormViewGraphic::FormClose()
{
    // Added recordings are for this showing only, as the rest of the chart is.
    m_loader->cancel();
    setLoading(false);
    btnRemoveRecordingsClick();
    m_plot.indices.clear();
    m_plot.indices.shrink_to_fit();
    constexpr int kSmall = 100;
    m_maxY = 100.0f;
    m_minY = -100.0f;
    PEGraphView->Subsets = 1;
    PEGraphView->Points = kSmall;
    PEGraphView->MaxPointsToGraph = kSmall;
    PEGraphView->PointsToGraph = kSmall;
    PEGraphView->ManualMaxY = m_maxY;
    PEGraphView->ManualMinY = m_minY;
    for (int k = 0; k < kSmall; ++k) {
        // Points beyond the buffer are null.
        if (static_cast<std::size_t>(k) < m_buffer->size()) {
            const TARecord& entry = m_buffer->at(static_cast<std::size_t>(k));
            PEGraphView->SetYData(0, k, entry.fValue);
            PEGraphView->SetPointLabel(k, latin1(entry.timeStamp.view()));
        } else {
            PEGraphView->SetYData(0, k, dmm::PEGraph::kNullDataValue);
            PEGraphView->SetPointLabel(k, QStringLiteral(" "));
        }
    }
    PEGraphView->PrepareImages = true;
    PEGraphView->SetActionWidth(0);
    PEGraphView->SetActionHeight(0);
    PEGraphView->RunAction(ChartAction::Rebuild);
}

bool TFormViewGraphic::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == MaxDataPanel)
            MaxDataPanelClick();
        else if (watched == MinDataPanel)
            MinDataPanelClick();
    }
    return QDialog::eventFilter(watched, event);
}

void TFormViewGraphic::MaxDataPanelClick()
{
    if (showsTraces())
        return moveTraceCursorToEntry(m_state->maxIndex);
    PEGraphView->SetCursorPoint(static_cast<int>(m_plot.maxPosition));
}

void TFormViewGraphic::MinDataPanelClick()
{
    if (showsTraces())
        return moveTraceCursorToEntry(m_state->minIndex);
    PEGraphView->SetCursorPoint(static_cast<int>(m_plot.minPosition));
}

void TFormViewGraphic::sbtnUndoZoomClick()
{
    if (showsTraces())
        TraceView->undoZoom();
    else
        PEGraphView->RunAction(ChartAction::UndoZoom);
    sbtnUndoZoom->setEnabled(false);
}

bool TFormViewGraphic::printChart(ChartAction action, ChartAction after)
{
    QPrinter* printer = m_printerProvider ? m_printerProvider() : nullptr;
    if (!printer)
        return true; // the user did not choose a printer
    if (showsTraces())
        return TraceView->print(printer, true);
    PEGraphView->setPrinter(printer);
    return PEGraphView->printInBlackAndWhite(action, after);
}

void TFormViewGraphic::sbtnPrintClick()
{
    if (!printChart(ChartAction::Print, ChartAction::RebuildImage))
        reportFailure(9014);
}

void TFormViewGraphic::reportFailure(int messageId)
{
    ShowMsgBox(this, kStrErrorCaption, messageId, QMessageBox::Ok, QMessageBox::NoIcon,
               PEGraphView->lastError());
}

void TFormViewGraphic::sbtnExportClick()
{
    if (!m_exportDialog)
        return;
    m_exportDialog->prepareViewerExport();
    if (m_exportDialog->exec() != QDialog::Accepted)
        return;
    const ExportChoice choice = m_exportDialog->choice();
    if (choice.missingFileName()) {
        ShowMsgBox(this, kStrErrorCaption, 9013);
        return;
    }
    if (showsTraces())
        return exportTraces(choice);
    PEGraphView->SetActionWidth(choice.actionWidth());
    PEGraphView->SetActionHeight(choice.actionHeight());
    PEGraphView->SetActionFileName(choice.fileName);
    bool done = true;
    if (choice.destination != ExportDestination::Printer)
        done = PEGraphView->RunAction(pictureAction(choice));
    else if (choice.type == ExportType::BitMap)
        done = printChart(ChartAction::Print, ChartAction::RebuildImage); // the viewer's own print
    else
        done = printChart(ChartAction::PrintImage, ChartAction::Rebuild);
    if (!done)
        reportFailure(choice.destination == ExportDestination::Printer ? 9014 : 9015);
}

} // namespace dmm
