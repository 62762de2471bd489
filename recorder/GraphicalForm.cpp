// SPDX-License-Identifier: MIT
#include "GraphicalForm.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "AfterReturn.h"
#include "Artwork.h"
#include "DisplayLabels.h"
#include "GlobalFlags.h"
#include "PEGraph.h"
#include "PictureButton.h"
#include "StatisticsWindow.h"
#include "StringTable.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

namespace dmm {

namespace {

const QColor kLime(0x00, 0xff, 0x00);
const QColor kRed(0xff, 0x00, 0x00);
const QColor kFuchsia(0xff, 0x00, 0xff);

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

    TimerLogger.setInterval(m_store.state().logIntervalMs);
    connect(&TimerLogger, &QTimer::timeout, this, [this] { m_store.setTickPending(true); });
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
    // Entries that may open a dialog or a box run after the trigger has
    // returned, so that a screen reader's Press returns at once.
    const auto command = [this](QMenu* menu, int text, auto work) {
        return addCommandAfterReturn(menu, tableString(text), this, work);
    };
    QMenu* file = menuBar()->addMenu(tableString(501));
    miOpen = command(file, 502, [this] { sbtnOpenFileClick(); });
    miSaveAs = command(file, 503, [this] { sbtnSaveFileClick(); });
    miClear = command(file, 504, [this] { sbtnClearClick(); });
    file->addSeparator();
    miImport = file->addAction(tableString(505), this, &TGraphicalForm::sbtnImportClick);
    miImport->setVisible(false);
    miExport = command(file, 506, [this] { sbtnExportClick(); });
    miExportTable = command(file, 1600, [this] { miExportTableClick(); });
    miPrintPage = command(file, 507, [this] { sbtnPrintGraphicClick(); });
    miPrinterSetup = command(file, 508, [this] { miPrinterSetupClick(); });
    file->addSeparator();
    miExit = file->addAction(tableString(509), this, &QWidget::close);

    QMenu* acquisition = menuBar()->addMenu(tableString(510));
    miStart = command(acquisition, 511, [this] {
        sbtnRecordStart->setChecked(true);
        sbtnRecordStartClick();
    });
    miStart->setShortcut(Qt::Key_F9);
    miStop = command(acquisition, 512, [this] {
        sbtnRecordStop->setChecked(true);
        sbtnRecordStopClick();
    });
    miStop->setShortcut(Qt::Key_F3);
    miManual = command(acquisition, 513, [this] { sbtnManualLoggingClick(); });
    miManual->setShortcut(Qt::Key_F7);
    acquisition->addSeparator();
    miInterval = command(acquisition, 514, [this] { sbtnOptionClick(); });

    QMenu* view = menuBar()->addMenu(tableString(520));
    miFirstPage = view->addAction(tableString(521), this, &TGraphicalForm::sbtnFirstPageClick);
    miFirstPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    // At the first or last page these two warn in a box.
    miPageUp = command(view, 522, [this] { sbtnPageUpClick(); });
    miPageDown = command(view, 523, [this] { sbtnPageDownClick(); });
    miLastPage = view->addAction(tableString(524), this, &TGraphicalForm::sbtnLastPageClick);
    miLastPage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    view->addSeparator();
    miFitAll = command(view, 525, [this] { sbtnFitViewClick(); });
    miFitAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    miUndoZoom = view->addAction(tableString(526), this, &TGraphicalForm::sbtnUndoZoomClick);
    miUndoZoom->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    miUndoZoom->setEnabled(false);
    view->addSeparator();
    miGraphLineColor = command(view, 527, [this] { miGraphLineColorClick(); });
    view->addSeparator();
    miStatistics = view->addAction(tableString(1650), this, &TGraphicalForm::miStatisticsClick);
}

void TGraphicalForm::miStatisticsClick()
{
    if (!m_statistics)
        m_statistics = new TStatisticsWindow(m_store, this);
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
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
    PEGraph->ManualMaxY = m_store.state().scaleMaxY;
    PEGraph->ManualMinY = m_store.state().scaleMinY;
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
// Messages

bool TGraphicalForm::event(QEvent* event)
{
    switch (viewMessageOf(event)) {
    case WM_DMM_NEWDATA:
        // A reading posted after a Stop, or a second one for the same tick,
        // is not logged.
        if (m_store.state().logTickPending) {
            m_store.setTickPending(false);
            appendCurrentReading();
        }
        return true;
    case WM_DMM_UNLINKED:
        if (m_store.state().recording) {
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
    TimerLogger.setInterval(m_store.state().logIntervalMs);
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
