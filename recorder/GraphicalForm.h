// SPDX-License-Identifier: MIT
// The graphical recorder: logs readings into the buffer (at an interval, at
// full speed or on demand), draws them in pages of 200 points with a cursor
// readout and the extremes, and saves, opens, prints and exports them.
#pragma once

#include <QMainWindow>
#include <QPrinter>
#include <QTimer>

#include <atomic>
#include <functional>
#include <optional>

#include "AtomicFile.h"
#include "RecorderStore.h"
#include "TableExportDialog.h"

class QAction;
class QButtonGroup;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;

namespace dmm {

class PEGraph;
class RecordFileReader;
class TDialogOption;
class TDlgExportForm;
class TMsgForm;
class TStatisticsWindow;
struct CurrentReading;

class TGraphicalForm : public QMainWindow, private RecorderStoreView
{
    Q_OBJECT
public:
    // Placed right of the meters' column under the main window's strip; visible.
    TGraphicalForm(const QWidget* mainWindow, const CurrentReading* reading,
                   const QString& startupDirectory, QWidget* parent = nullptr);
    ~TGraphicalForm() override;

    // The windows the recorder talks to: the data list hears of every entry
    // (1034, 1032), the main window of the end of a load (1036) and of import (1030).
    void setDataList(QObject* dataList) { m_dataList = dataList; }
    void setMainWindow(QObject* mainWindow) { m_mainWindowObject = mainWindow; }
    void setOptionDialog(TDialogOption* dialog) { m_optionDialog = dialog; }
    // The progress window shown while a file loads.
    void setProgressWindow(TMsgForm* progress) { m_progress = progress; }
    // Told when bBusy changes, so the main window can disable its link controls.
    void setBusyChangedHandler(std::function<void()> handler)
    {
        m_busyChanged = std::move(handler);
    }
    // The file dialogs; tests answer them with a path, or an empty text for Cancel.
    using FileChooser = std::function<QString()>;
    void setFileChoosers(FileChooser open, FileChooser save)
    {
        m_chooseOpenFile = std::move(open);
        m_chooseSaveFile = std::move(save);
    }
    void setExportDialog(TDlgExportForm* dialog) { m_exportDialog = dialog; }
    // Export table's save dialog; tests answer it themselves (none: Cancel).
    using TableChooser = std::function<std::optional<TableTarget>()>;
    void setTableChooser(TableChooser chooser) { m_chooseTable = std::move(chooser); }
    // Printer Setup; tests set up the printer themselves (true: a printer was chosen).
    void setPrinterChooser(std::function<bool(QPrinter&)> chooser)
    {
        m_choosePrinter = std::move(chooser);
    }
    // The chosen printer, after asking for one when none was chosen yet; null
    // when the user cancelled.
    QPrinter* printerForPrinting();
    // Fit all data shows the whole buffer in the viewer.
    void setFitViewHandler(std::function<void()> handler) { m_fitView = std::move(handler); }

    RecorderStore& store() { return m_store; }
    const RecorderState& state() const { return m_store.state(); }
    const RecordBuffer& recordBuffer() const { return m_store.buffer(); }
    dmm::PEGraph* chart() const { return PEGraph; }
    QPrinter& printer() { return m_printer; }

    // Where the window sits at creation and after Tile: from a quarter of the
    // screen's width to its right edge, under the strip down to the task bar.
    void placeRightOfMeters();

    // Command handlers; the menu entries call the same ones.
    void sbtnRecordStartClick();
    void sbtnRecordStopClick();
    void sbtnManualLoggingClick();
    void sbtnOptionClick();
    void sbtnOpenFileClick();
    // Opens `path` as Open does once that file is chosen, Clear and its
    // question first. True when the file's readings are in the buffer.
    bool openFile(const QString& path);
    // True when every record was written and the readings now count as saved.
    bool sbtnSaveFileClick();
    void sbtnPrintGraphicClick();
    // True when the buffer is empty afterwards.
    bool sbtnClearClick();
    void sbtnImportClick();
    void sbtnExportClick();
    void miExportTableClick();
    void sbtnFirstPageClick();
    void sbtnPageUpClick();
    void sbtnPageDownClick();
    void sbtnLastPageClick();
    void sbtnUndoZoomClick();
    void sbtnFitViewClick();
    void miPrinterSetupClick();
    void miGraphLineColorClick();
    // View > Statistics: the Statistics window, made the first time.
    void miStatisticsClick();
    TStatisticsWindow* statisticsWindow() const { return m_statistics; }

    // The program ends without questions (a termination signal): a run is
    // stopped and its file synced; the temporary files are kept at
    // destruction when the buffer holds unsaved readings.
    void endForExit();

    // The state's effect on every button and menu entry, and on the status bar.
    void UpdateControls();
    void UpdateStatusBar();
    void ResetChart();
    void RedrawShownPage();
    void PEGraphCursorMoved();

    QTimer TimerLogger;
    QTimer TimerTime;

    QFrame* ToolPanel = nullptr;
    QToolButton* sbtnRecordStart = nullptr;
    QToolButton* sbtnRecordStop = nullptr;
    QToolButton* sbtnManualLogging = nullptr;
    QToolButton* sbtnOption = nullptr;
    QToolButton* sbtnOpenFile = nullptr;
    QToolButton* sbtnSaveFile = nullptr;
    QToolButton* sbtnPrintGraphic = nullptr;
    QToolButton* sbtnClear = nullptr;
    QToolButton* sbtnImport = nullptr;
    QToolButton* sbtnExport = nullptr;
    QToolButton* sbtnFirstPage = nullptr;
    QToolButton* sbtnPageUp = nullptr;
    QToolButton* sbtnPageDown = nullptr;
    QToolButton* sbtnLastPage = nullptr;
    QToolButton* sbtnUndoZoom = nullptr;
    QToolButton* sbtnFitView = nullptr;

    QLabel* TimePanel = nullptr;
    QLabel* ReadingDataPanel = nullptr;
    QLabel* ReadingUnitPanel = nullptr;
    QLabel* ReadingFuncPanel = nullptr;
    QLabel* PFLabel = nullptr;
    QLabel* PFPanel = nullptr;
    QLabel* MaxDataPanel = nullptr;
    QLabel* MaxUnitPanel = nullptr;
    QLabel* MaxFuncPanel = nullptr;
    QLabel* MinDataPanel = nullptr;
    QLabel* MinUnitPanel = nullptr;
    QLabel* MinFuncPanel = nullptr;
    dmm::PEGraph* PEGraph = nullptr; // the chart control
    QProgressBar* ProgressBar = nullptr;
    QLabel* StatusPanels[5] = {};

    QAction* miOpen = nullptr;
    QAction* miSaveAs = nullptr;
    QAction* miClear = nullptr;
    QAction* miImport = nullptr;
    QAction* miExport = nullptr;
    QAction* miExportTable = nullptr;
    QAction* miPrintPage = nullptr;
    QAction* miPrinterSetup = nullptr;
    QAction* miExit = nullptr;
    QAction* miStart = nullptr;
    QAction* miStop = nullptr;
    QAction* miManual = nullptr;
    QAction* miInterval = nullptr;
    QAction* miFirstPage = nullptr;
    QAction* miPageUp = nullptr;
    QAction* miPageDown = nullptr;
    QAction* miLastPage = nullptr;
    QAction* miFitAll = nullptr;
    QAction* miUndoZoom = nullptr;
    QAction* miGraphLineColor = nullptr;
    QAction* miStatistics = nullptr;

    // The recording's own name, which Save As and the other file dialogs
    // propose: the file it was opened from or saved as, without folder and
    // suffix; a run's temporary file gives a dated name ("run-2026-12-07");
    // empty for a new recording.
    QString recordingName() const { return m_recordingName; }
    // The name Save As and Export table propose: the recording's own, or "Untitled".
    QString proposedFileName() const;

signals:
    // The buffer was saved as `path`; its readings now count as saved.
    void fileSaved(const QString& path);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildDisplayPanel();
    void buildChart();
    void buildStatusBar();
    QToolButton* makeToolButton(const QString& art, int hint);
    void applySizeLimits();
    void enablePaging();
    void setUndoZoomEnabled(bool enabled);
    void showMaxMinPanels(bool reset);
    void onChartKey(int key);
    void appendCurrentReading();
    void finishBusy();
    void loadRecords(RecordFileReader& reader);
    void loadPageIntoChart(int page);
    void rebuildChart();
    bool exportPicture(int page, const struct ExportChoice& choice);
    std::optional<RecordTally> readRecordsUntilDone(RecordFileReader& reader);
    void countLoadedRecords(const RecordTally& tally);
    void dropLoadedRecords();
    void setBusy(bool busy);
    // Runs file work on another thread with the commands disabled; `total`
    // is what the work counts up to in its progress (bytes or entries), in
    // job.done or in `done` where given. `abortable` work has an Abort button
    // that cancels the job; returns whether it was aborted.
    bool runFileJob(const QString& message, qint64 total,
                    const std::function<void(JobControl&)>& work, bool abortable = false,
                    const std::atomic<qint64>* done = nullptr);
    QString chooseOpenFile();
    bool loadFile(const QString& path);
    QString chooseSaveFile();

    // RecorderStoreView
    void redrawShownPage() override { RedrawShownPage(); }
    void scaleChanged() override;
    void showMaxMin(bool reset) override { showMaxMinPanels(reset); }
    void chartPointAppended(const TARecord& record) override;
    void listAdded(int index) override;
    void progressStepped() override;
    void statusChanged() override { UpdateStatusBar(); }
    void controlsChanged() override { UpdateControls(); }
    void tempFileWriteFailed(const QString& path, const QString& reason) override;
    void reportMissedReadings();

    const QWidget* m_mainWindow;
    const CurrentReading* m_reading;
    RecorderStore m_store;
    QObject* m_dataList = nullptr;
    QObject* m_mainWindowObject = nullptr;
    TDialogOption* m_optionDialog = nullptr;
    std::function<void()> m_fitView;
    QButtonGroup* m_startStopGroup = nullptr;
    QPrinter m_printer;
    bool m_printerChosen = false;
    TMsgForm* m_progress = nullptr;
    TDlgExportForm* m_exportDialog = nullptr;
    std::function<bool(QPrinter&)> m_choosePrinter;
    std::function<void()> m_busyChanged;
    FileChooser m_chooseOpenFile;
    FileChooser m_chooseSaveFile;
    bool m_keepTempFilesAtExit = false;
    TableChooser m_chooseTable;
    QDate m_loadedFileDate; // of the file last opened
    QString m_recordingName;
    TStatisticsWindow* m_statistics = nullptr;
};

} // namespace dmm
