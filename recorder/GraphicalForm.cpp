// SPDX-License-Identifier: MIT
#include "GraphicalForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPrintDialog>
#include <QProgressBar>
#include <QStatusBar>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>

#include "Artwork.h"
#include "CurrentReading.h"
#include "DialogOption.h"
#include "DisplayLabels.h"
#include "GlobalFlags.h"
#include "MessageBox.h"
#include "PEGraph.h"
#include "PictureButton.h"
#include "RecorderControls.h"
#include "RecorderRules.h"
#include "StringTable.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

const QColor kLime(0x00, 0xff, 0x00);
const QColor kRed(0xff, 0x00, 0x00);
const QColor kFuchsia(0xff, 0x00, 0xff);

// The unit a reading is charted in, for the Y axis label.
QString axisLabel(int function, const QString& unitPanelText)
{
    const QString reading = tableString(7011);
    if (function == 8)
        return reading + QStringLiteral("(uF)");
    if (function == 128 || function == 384)
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

TGraphicalForm::TGraphicalForm(const QWidget* mainWindow, const CurrentReading* reading,
                               const QString& startupDirectory, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_mainWindow(mainWindow), m_reading(reading),
      m_store(startupDirectory, this)
{
    setWindowTitle(tableString(104));
    setWindowIcon(artworkIcon(QStringLiteral("icon-recorder")));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(client);

    buildMenus();
    buildToolBar();
    buildDisplayPanel();
    buildChart();
    ProgressBar = new QProgressBar(client);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setFixedHeight(12);
    ProgressBar->setRange(0, RecorderState::pageSize);
    ProgressBar->setValue(0);
    column->addWidget(ToolPanel);
    column->addWidget(findChild<QWidget*>(QStringLiteral("DisplayPanel")));
    column->addWidget(PEGraph, 1);
    column->addWidget(ProgressBar);
    buildStatusBar();

    TimerLogger.setInterval(m_store.state.logIntervalMs);
    connect(&TimerLogger, &QTimer::timeout, this, [this] { m_store.state.logTickPending = true; });
    TimerTime.setInterval(1000);
    connect(&TimerTime, &QTimer::timeout, this, &TGraphicalForm::UpdateStatusBar);
    TimerTime.start();

    placeRightOfMeters();
    applySizeLimits();
    UpdateControls();
    UpdateStatusBar();
    show();
    PEGraph->setFocus();
}

TGraphicalForm::~TGraphicalForm()
{
    if (!m_keepTempFilesAtExit)
        m_store.tempFiles().deleteCreatedFiles();
}

void TGraphicalForm::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tableString(501));
    miOpen = file->addAction(tableString(502), this, &TGraphicalForm::sbtnOpenFileClick);
    miSaveAs = file->addAction(tableString(503), this, [this] { sbtnSaveFileClick(); });
    miClear = file->addAction(tableString(504), this, [this] { sbtnClearClick(); });
    file->addSeparator();
    miImport = file->addAction(tableString(505), this, &TGraphicalForm::sbtnImportClick);
    miImport->setVisible(false);
    miExport = file->addAction(tableString(506), this, &TGraphicalForm::sbtnExportClick);
    miExportTable = file->addAction(tableString(1600), this, &TGraphicalForm::miExportTableClick);
    miPrintPage = file->addAction(tableString(507), this, &TGraphicalForm::sbtnPrintGraphicClick);
    miPrinterSetup = file->addAction(tableString(508), this, &TGraphicalForm::miPrinterSetupClick);
    file->addSeparator();
    miExit = file->addAction(tableString(509), this, &QWidget::close);

    QMenu* acquisition = menuBar()->addMenu(tableString(510));
    miStart = acquisition->addAction(tableString(511), this, [this] {
        sbtnRecordStart->setChecked(true);
        sbtnRecordStartClick();
    });
    miStart->setShortcut(Qt::Key_F9);
    miStop = acquisition->addAction(tableString(512), this, [this] {
        sbtnRecordStop->setChecked(true);
        sbtnRecordStopClick();
    });
    miStop->setShortcut(Qt::Key_F3);
    miManual =
        acquisition->addAction(tableString(513), this, &TGraphicalForm::sbtnManualLoggingClick);
    miManual->setShortcut(Qt::Key_F7);
    acquisition->addSeparator();
    miInterval = acquisition->addAction(tableString(514), this, &TGraphicalForm::sbtnOptionClick);

    QMenu* view = menuBar()->addMenu(tableString(520));
    miFirstPage = view->addAction(tableString(521), this, &TGraphicalForm::sbtnFirstPageClick);
    miFirstPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    miPageUp = view->addAction(tableString(522), this, &TGraphicalForm::sbtnPageUpClick);
    miPageDown = view->addAction(tableString(523), this, &TGraphicalForm::sbtnPageDownClick);
    miLastPage = view->addAction(tableString(524), this, &TGraphicalForm::sbtnLastPageClick);
    miLastPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    view->addSeparator();
    miFitAll = view->addAction(tableString(525), this, &TGraphicalForm::sbtnFitViewClick);
    miFitAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    miUndoZoom = view->addAction(tableString(526), this, &TGraphicalForm::sbtnUndoZoomClick);
    miUndoZoom->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    miUndoZoom->setEnabled(false);
    view->addSeparator();
    miGraphLineColor =
        view->addAction(tableString(527), this, &TGraphicalForm::miGraphLineColorClick);
}

QToolButton* TGraphicalForm::makeToolButton(const QString& art, int hint)
{
    QToolButton* button =
        makePictureButton(ToolPanel, art, tableString(hint), art + QStringLiteral("-disabled"));
    button->setFixedSize(25, 25);
    ToolPanel->layout()->addWidget(button);
    return button;
}

void TGraphicalForm::buildToolBar()
{
    ToolPanel = new QFrame(centralWidget());
    ToolPanel->setObjectName(QStringLiteral("ToolPanel"));
    ToolPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* row = new QHBoxLayout(ToolPanel);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(0);

    sbtnRecordStart = makeToolButton(QStringLiteral("rec-start"), 1040);
    sbtnRecordStop = makeToolButton(QStringLiteral("rec-stop"), 1041);
    for (QToolButton* button : {sbtnRecordStart, sbtnRecordStop})
        button->setCheckable(true);
    m_startStopGroup = new QButtonGroup(this);
    m_startStopGroup->setExclusive(true);
    m_startStopGroup->addButton(sbtnRecordStart);
    m_startStopGroup->addButton(sbtnRecordStop);
    sbtnRecordStop->setChecked(true);
    sbtnManualLogging = makeToolButton(QStringLiteral("rec-manual"), 1042);
    sbtnOption = makeToolButton(QStringLiteral("rec-option"), 1043);
    row->addSpacing(8);
    sbtnOpenFile = makeToolButton(QStringLiteral("rec-open"), 1045);
    sbtnSaveFile = makeToolButton(QStringLiteral("rec-save"), 1046);
    sbtnPrintGraphic = makeToolButton(QStringLiteral("rec-print"), 1044);
    sbtnClear = makeToolButton(QStringLiteral("rec-clear"), 1047);
    sbtnImport = makeToolButton(QStringLiteral("rec-import"), 1048);
    sbtnImport->setVisible(false);
    sbtnExport = makeToolButton(QStringLiteral("rec-export"), 1054);
    row->addSpacing(8);
    sbtnFirstPage = makeToolButton(QStringLiteral("rec-first-page"), 1049);
    sbtnPageUp = makeToolButton(QStringLiteral("rec-page-up"), 1050);
    sbtnPageDown = makeToolButton(QStringLiteral("rec-page-down"), 1051);
    sbtnLastPage = makeToolButton(QStringLiteral("rec-last-page"), 1052);
    row->addSpacing(8);
    sbtnUndoZoom = makeToolButton(QStringLiteral("rec-undo-zoom"), 1053);
    sbtnUndoZoom->setEnabled(false);
    sbtnFitView = makeToolButton(QStringLiteral("rec-fit"), 1055);
    row->addStretch(1);
    // The panel's caption: the window's, right-aligned.
    auto* caption = new QLabel(windowTitle() + QStringLiteral("   "), ToolPanel);
    caption->setObjectName(QStringLiteral("ToolPanelCaption"));
    row->addWidget(caption);

    connect(sbtnRecordStart, &QToolButton::clicked, this, &TGraphicalForm::sbtnRecordStartClick);
    connect(sbtnRecordStop, &QToolButton::clicked, this, &TGraphicalForm::sbtnRecordStopClick);
    connect(sbtnManualLogging, &QToolButton::clicked, this,
            &TGraphicalForm::sbtnManualLoggingClick);
    connect(sbtnOption, &QToolButton::clicked, this, &TGraphicalForm::sbtnOptionClick);
    connect(sbtnOpenFile, &QToolButton::clicked, this, &TGraphicalForm::sbtnOpenFileClick);
    connect(sbtnSaveFile, &QToolButton::clicked, this, [this] { sbtnSaveFileClick(); });
    connect(sbtnPrintGraphic, &QToolButton::clicked, this, &TGraphicalForm::sbtnPrintGraphicClick);
    connect(sbtnClear, &QToolButton::clicked, this, [this] { sbtnClearClick(); });
    connect(sbtnImport, &QToolButton::clicked, this, &TGraphicalForm::sbtnImportClick);
    connect(sbtnExport, &QToolButton::clicked, this, &TGraphicalForm::sbtnExportClick);
    connect(sbtnFirstPage, &QToolButton::clicked, this, &TGraphicalForm::sbtnFirstPageClick);
    connect(sbtnPageUp, &QToolButton::clicked, this, &TGraphicalForm::sbtnPageUpClick);
    connect(sbtnPageDown, &QToolButton::clicked, this, &TGraphicalForm::sbtnPageDownClick);
    connect(sbtnLastPage, &QToolButton::clicked, this, &TGraphicalForm::sbtnLastPageClick);
    connect(sbtnUndoZoom, &QToolButton::clicked, this, &TGraphicalForm::sbtnUndoZoomClick);
    connect(sbtnFitView, &QToolButton::clicked, this, &TGraphicalForm::sbtnFitViewClick);
}

void TGraphicalForm::buildDisplayPanel()
{
    auto* panel = new QFrame(centralWidget());
    panel->setObjectName(QStringLiteral("DisplayPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(0);

    const QFont times(QStringLiteral("Times New Roman"), 12, QFont::Bold);
    const QFont arial(QStringLiteral("Arial"), 12, QFont::Bold);
    TimePanel = makeColouredPanel(panel, "TimePanel", Qt::white, arial, 110);
    row->addWidget(TimePanel);
    row->addSpacing(6);

    ReadingDataPanel = makeColouredPanel(panel, "ReadingDataPanel", kLime, times, 96,
                                         Qt::AlignRight | Qt::AlignVCenter);
    ReadingUnitPanel = makeColouredPanel(panel, "ReadingUnitPanel", kLime, times, 14);
    ReadingFuncPanel = makeColouredPanel(panel, "ReadingFuncPanel", kLime, times, 20);
    for (QLabel* label : {ReadingDataPanel, ReadingUnitPanel, ReadingFuncPanel})
        row->addWidget(label);

    PFLabel = new QLabel(tableString(7013), panel);
    PFPanel = makeColouredPanel(panel, "PFPanel", kLime, times, 60);
    PFLabel->setVisible(false);
    PFPanel->setVisible(false);
    row->addWidget(PFLabel);
    row->addWidget(PFPanel);

    auto* separator = new QFrame(panel);
    separator->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    row->addSpacing(10);
    row->addWidget(separator);
    row->addSpacing(10);

    row->addWidget(makeColouredCaption(panel, tableString(7014), kRed));
    row->addSpacing(4);
    MaxDataPanel = makeColouredPanel(panel, "MaxDataPanel", kRed, times, 96,
                                     Qt::AlignRight | Qt::AlignVCenter);
    MaxUnitPanel = makeColouredPanel(panel, "MaxUnitPanel", kRed, times, 14);
    MaxFuncPanel = makeColouredPanel(panel, "MaxFuncPanel", kRed, times, 20);
    for (QLabel* label : {MaxDataPanel, MaxUnitPanel, MaxFuncPanel})
        row->addWidget(label);
    row->addSpacing(12);

    row->addWidget(makeColouredCaption(panel, tableString(7015), kFuchsia));
    row->addSpacing(4);
    MinDataPanel = makeColouredPanel(panel, "MinDataPanel", kFuchsia, times, 96,
                                     Qt::AlignRight | Qt::AlignVCenter);
    MinUnitPanel = makeColouredPanel(panel, "MinUnitPanel", kFuchsia, times, 14);
    MinFuncPanel = makeColouredPanel(panel, "MinFuncPanel", kFuchsia, times, 20);
    for (QLabel* label : {MinDataPanel, MinUnitPanel, MinFuncPanel})
        row->addWidget(label);
    row->addStretch(1);

    for (QLabel* label : panel->findChildren<QLabel*>())
        label->setFixedHeight(22);
}

void TGraphicalForm::buildChart()
{
    PEGraph = new dmm::PEGraph(centralWidget());
    PEGraph->setObjectName(QStringLiteral("PEGraph"));
    const int pageSize = RecorderState::pageSize;
    PEGraph->MainTitle = tableString(7010);
    PEGraph->SubTitle.clear();
    PEGraph->YAxisLabel = tableString(7011);
    PEGraph->XAxisLabel = tableString(7012);
    PEGraph->NullDataValue = dmm::PEGraph::kNullDataValue;
    PEGraph->Subsets = 1;
    PEGraph->Points = pageSize;
    PEGraph->MaxPointsToGraph = pageSize;
    PEGraph->PointsToGraph = pageSize;
    PEGraph->SetSubsetStyle(0, 0);
    PEGraph->PlottingMethod = dmm::PEGraph::gLine;
    PEGraph->ManualMaxDataString = QStringLiteral("00000000.000");
    PEGraph->ManualMaxPointLabel = QStringLiteral("00:00:00.000");
    PEGraph->DataPrecision = dmm::PEGraph::gThreeDecimals;
    PEGraph->DeskColor = palette().color(QPalette::Button);
    PEGraph->GraphBackColor = Qt::black;
    PEGraph->GraphForeColor = QColor(128, 0, 128);
    PEGraph->SetSubsetColor(0, QColor(192, 192, 192));
    PEGraph->ManualScaleControlY = dmm::PEGraph::gManualMinAndMax;
    PEGraph->ManualMaxY = m_store.state.scaleMaxY;
    PEGraph->ManualMinY = m_store.state.scaleMinY;
    PEGraph->NoStackedData = true;
    PEGraph->AllowHistogram = false;
    PEGraph->AllowDataHotSpots = true;
    PEGraph->PointsToGraphInit = dmm::PEGraph::gLast;
    PEGraph->PointSize = dmm::PEGraph::gLargePoints;
    PEGraph->SetPointLabel(pageSize - 1, QStringLiteral(" "));
    for (int k = 0; k < pageSize; ++k)
        PEGraph->SetYData(0, k, dmm::PEGraph::kNullDataValue);
    PEGraph->GridLineControl = dmm::PEGraph::gYPlusXAxis;
    PEGraph->CursorMode = dmm::PEGraph::gVertLine;
    PEGraph->MouseCursorControl = true;
    PEGraph->CursorPromptStyle = dmm::PEGraph::gNoPrompt;
    PEGraph->GridStyle = dmm::PEGraph::gDot;
    PEGraph->AllowZooming = dmm::PEGraph::gHorzPlusVertZooming;
    PEGraph->PrepareImages = true;
    PEGraph->setPrinter(&m_printer);
    rebuildChart();
    PEGraph->SetCursorPoint(pageSize - 1);

    connect(PEGraph, &dmm::PEGraph::OnCursorMoved, this, &TGraphicalForm::PEGraphCursorMoved);
    connect(PEGraph, &dmm::PEGraph::OnZoomIn, this, [this] { setUndoZoomEnabled(true); });
    connect(PEGraph, &dmm::PEGraph::OnKeyDown, this, &TGraphicalForm::onChartKey);
}

void TGraphicalForm::buildStatusBar()
{
    static constexpr int kWidths[5] = {110, 175, 175, 175, 50};
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(statusBar());
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(i == 3 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        if (i < 4)
            panel->setFixedWidth(kWidths[i]);
        else
            panel->setMinimumWidth(kWidths[i]);
        statusBar()->addWidget(panel, i == 4 ? 1 : 0);
        StatusPanels[i] = panel;
    }
    statusBar()->setSizeGripEnabled(true);
}

void TGraphicalForm::placeRightOfMeters()
{
    if (isMaximized())
        showNormal();
    const ScreenMetrics screen = screenMetrics();
    const int left = screen.screen.width() / 4;
    const int top = outerHeight(m_mainWindow);
    setOuterGeometry(this, left, top, screen.screen.width() - left,
                     screen.screen.height() - top - screen.taskBarHeight);
}

void TGraphicalForm::applySizeLimits()
{
    const ScreenMetrics screen = screenMetrics();
    const int mainHeight = outerHeight(m_mainWindow);
    const QSize minimumOuter(screen.screen.width() - screen.screen.width() / 4,
                             screen.screen.height() - mainHeight - screen.taskBarHeight);
    setMinimumSize(minimumOuter.shrunkBy(frameMargins(this)).expandedTo(QSize(1, 1)));
}

// ---------------------------------------------------------------------------
// Commands

void TGraphicalForm::sbtnRecordStartClick()
{
    RecorderState& state = m_store.state;
    if (bDataValid == 0) {
        ShowMsgBox(this, kStrErrorCaption, 9002);
        sbtnRecordStop->setChecked(true);
        return;
    }
    TimerLogger.setInterval(state.logIntervalMs);
    if (sbtnRecordStart->isChecked())
        TimerLogger.start();
    state.recording = TimerLogger.isActive();

    QString reason;
    if (!m_store.tempFiles().createNext(&reason)) {
        ShowMsgBox(this, kStrErrorCaption, 9003, QMessageBox::Ok, QMessageBox::NoIcon,
                   m_store.tempFiles().fileName(m_store.tempFiles().tempFileCount() + 1) +
                       QStringLiteral(": ") + reason);
        sbtnRecordStop->setChecked(true);
        sbtnRecordStopClick();
        return;
    }
    // The first reading after the start is logged without waiting an interval.
    state.logTickPending = true;
    UpdateControls();
    UpdateStatusBar();
}

void TGraphicalForm::sbtnRecordStopClick()
{
    RecorderState& state = m_store.state;
    m_store.tempFiles().close();
    reportMissedReadings();
    if (sbtnRecordStop->isChecked())
        TimerLogger.stop();
    else
        TimerLogger.start();
    state.recording = TimerLogger.isActive();
    state.logTickPending = false;
    UpdateControls();
    UpdateStatusBar();
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
    RecorderState& state = m_store.state;
    m_optionDialog->dlgManual = state.manualMode;
    m_optionDialog->dlgIntervalSeconds =
        state.logIntervalMs == 500 ? 0 : state.logIntervalMs / 1000;
    if (m_optionDialog->exec() != QDialog::Accepted)
        return;
    state.logIntervalMs =
        m_optionDialog->dlgIntervalSeconds == 0 ? 500 : m_optionDialog->dlgIntervalSeconds * 1000;
    state.manualMode = m_optionDialog->dlgManual;
    UpdateControls();
    UpdateStatusBar();
}

bool TGraphicalForm::sbtnClearClick()
{
    RecorderState& state = m_store.state;
    if (state.bufferEmpty)
        return true;
    if (state.unsavedData &&
        ShowMsgBox(this, kStrWarningCaption, 8002, QMessageBox::Ok | QMessageBox::Cancel,
                   QMessageBox::Question, {}, QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    m_store.resetState();
    ProgressBar->setRange(0, RecorderState::pageSize);
    ProgressBar->setValue(0);
    TimerLogger.setInterval(state.logIntervalMs);
    m_store.emptyBuffer();
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
    m_store.state.shownPage = 1;
    RedrawShownPage();
}

void TGraphicalForm::sbtnPageUpClick()
{
    RecorderState& state = m_store.state;
    if (state.shownPage == 1) {
        ShowMsgBox(this, kStrWarningCaption, 8008);
        return;
    }
    --state.shownPage;
    RedrawShownPage();
}

void TGraphicalForm::sbtnPageDownClick()
{
    RecorderState& state = m_store.state;
    if (state.shownPage == state.lastPage) {
        ShowMsgBox(this, kStrWarningCaption, 8009);
        return;
    }
    ++state.shownPage;
    RedrawShownPage();
}

void TGraphicalForm::sbtnLastPageClick()
{
    m_store.state.shownPage = m_store.state.lastPage;
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
    PEGraph->RunAction(19);
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
    PEGraph->ViewingStyle = dmm::PEGraph::gMonochrome;
    PEGraph->RunAction(2);
    QApplication::processEvents();
    const bool printed = PEGraph->RunAction(8);
    PEGraph->ViewingStyle = dmm::PEGraph::gColor;
    PEGraph->RunAction(0);
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

// ---------------------------------------------------------------------------
// What the window shows

void TGraphicalForm::UpdateControls()
{
    const RecorderState& state = m_store.state;
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
    const RecorderState& state = m_store.state;
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
    const RecorderState& state = m_store.state;
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
    PEGraph->ManualMaxY = m_store.state.scaleMaxY;
    PEGraph->ManualMinY = m_store.state.scaleMinY;
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
    PEGraph->RunAction(0);
}

void TGraphicalForm::loadPageIntoChart(int page)
{
    const RecordBuffer& buffer = m_store.buffer();
    const PageSlice slice =
        pageSlice(buffer.size(), m_store.state.lastPage, page, RecorderState::pageSize);
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
    loadPageIntoChart(m_store.state.shownPage);
    PEGraphCursorMoved();
    enablePaging();
    UpdateStatusBar();
}

void TGraphicalForm::PEGraphCursorMoved()
{
    const RecorderState& state = m_store.state;
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
    const RecorderState& state = m_store.state;
    if (buffer.empty())
        return;
    showEntry(MaxDataPanel, MaxUnitPanel, MaxFuncPanel,
              buffer.at(static_cast<std::size_t>(state.maxIndex)));
    showEntry(MinDataPanel, MinUnitPanel, MinFuncPanel,
              buffer.at(static_cast<std::size_t>(state.minIndex)));
}

void TGraphicalForm::scaleChanged()
{
    PEGraph->ManualMaxY = m_store.state.scaleMaxY;
    PEGraph->ManualMinY = m_store.state.scaleMinY;
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

// ---------------------------------------------------------------------------
// Messages

bool TGraphicalForm::event(QEvent* event)
{
    switch (viewMessageOf(event)) {
    case WM_DMM_NEWDATA:
        // A reading posted after a Stop, or a second one for the same tick,
        // is not logged.
        if (m_store.state.logTickPending) {
            m_store.state.logTickPending = false;
            appendCurrentReading();
        }
        return true;
    case WM_DMM_UNLINKED:
        if (m_store.state.recording) {
            sbtnRecordStop->setChecked(true);
            sbtnRecordStopClick();
        }
        return true;
    case WM_BUSY_END:
        finishBusy();
        return true;
    default:
        break;
    }
    if (event->type() == QEvent::WindowStateChange && isMaximized()) {
        // Maximised: the whole screen width under the strip, down to the task bar.
        const ScreenMetrics screen = screenMetrics();
        const int mainHeight = outerHeight(m_mainWindow);
        setGeometry(QRect(0, mainHeight, screen.screen.width(),
                          screen.screen.height() - mainHeight - screen.taskBarHeight) -
                    frameMargins(this));
    }
    return QMainWindow::event(event);
}

void TGraphicalForm::finishBusy()
{
    bBusy = false;
    m_store.resetState();
    ProgressBar->setRange(0, RecorderState::pageSize);
    ProgressBar->setValue(0);
    TimerLogger.setInterval(m_store.state.logIntervalMs);
    ResetChart();
    UpdateControls();
    UpdateStatusBar();
    if (m_mainWindowObject)
        sendViewMessage(m_mainWindowObject, WM_BUSY_END);
    if (m_dataList)
        sendViewMessage(m_dataList, WM_LIST_RESET);
}

void TGraphicalForm::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; a run's timer pauses until Start.
    TimerLogger.stop();
    event->accept();
}

} // namespace dmm
