// SPDX-License-Identifier: MIT
// The graph viewer: the whole recorder buffer on one full-screen chart, thinned
// to at most 5120 points, with the largest and the smallest reading.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

#include "ChartAction.h"
#include "ExportChoice.h"
#include "TraceLoad.h"
#include "ViewerPlot.h"

class QFrame;
class QLabel;
class QPrinter;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace dmm {

class PEGraph;
class RecordBuffer;
struct RecorderState;
class TDlgFitExportForm;
class TraceChart;
class TraceLoader;

class TFormViewGraphic : public QDialog
{
    Q_OBJECT
public:
    TFormViewGraphic(const RecordBuffer* buffer, const RecorderState* state,
                     QWidget* parent = nullptr);
    ~TFormViewGraphic() override;

    void setExportDialog(TDlgFitExportForm* dialog) { m_exportDialog = dialog; }
    // The printer to print on; null when the user cancelled choosing one.
    void setPrinterProvider(std::function<QPrinter*()> provider)
    {
        m_printerProvider = std::move(provider);
    }

    const ViewerPlot& plot() const { return m_plot; }
    // Fit all data: the plan of a long buffer (it looks at every entry, longer
    // than the window may freeze) worked out on another thread while events
    // run, then the window shown modally as exec() shows it.
    int execWholeBuffer();
    dmm::PEGraph* chart() const { return PEGraphView; }

    // Recordings shown beside the shown data (see FormViewGraphicTraces.cpp).
    // The file "Add recording..." opens; empty when the user cancelled.
    void setRecordingChooser(std::function<QString()> chooser)
    {
        m_chooseRecording = std::move(chooser);
    }
    // The legend's name for the shown data (the recorder's recording).
    void setShownNameProvider(std::function<QString()> provider)
    {
        m_shownName = std::move(provider);
    }
    void btnAddRecordingClick();
    // Starts reading `path` beside the shown data; loadEnded() follows.
    void addRecording(const QString& path);
    void btnRemoveRecordingsClick();
    int addedRecordings() const;
    bool isLoading() const;

    void sbtnExportClick();
    void sbtnPrintClick();
    void sbtnUndoZoomClick();
    void MaxDataPanelClick();
    void MinDataPanelClick();

    QLabel* MaxTimePanel = nullptr;
    QLabel* MaxDataPanel = nullptr;
    QLabel* MaxUnitPanel = nullptr;
    QLabel* MaxFuncPanel = nullptr;
    QLabel* MaxPFPanel = nullptr;
    QLabel* MinTimePanel = nullptr;
    QLabel* MinDataPanel = nullptr;
    QLabel* MinUnitPanel = nullptr;
    QLabel* MinFuncPanel = nullptr;
    QLabel* MinPFPanel = nullptr;
    QToolButton* sbtnExport = nullptr;
    QToolButton* sbtnPrint = nullptr;
    QToolButton* sbtnUndoZoom = nullptr;
    QPushButton* bbtnClose = nullptr;
    QPushButton* btnAddRecording = nullptr;
    QPushButton* btnRemoveRecordings = nullptr;
    dmm::PEGraph* PEGraphView = nullptr;
    dmm::TraceChart* TraceView = nullptr; // in place of PEGraphView with added recordings
    QStatusBar* StatusBar1 = nullptr;
    // The cursor readout with added recordings: the cursor's time, then each
    // trace's value at it.
    QFrame* ReadoutPanel = nullptr;
    QLabel* ReadoutTime = nullptr;
    QList<QLabel*> Readouts;

signals:
    // A load started by addRecording() ended, added or refused.
    void loadEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildDisplayPanel();
    void setUpChart();
    void fillPanels();
    bool printChart(ChartAction action, ChartAction after);
    void reportFailure(int messageId);
    bool showsTraces() const { return !m_traces.empty(); }
    void buildTraceControls();
    void takeLoadedTrace();
    void showTraces();
    void updateReadout();
    void setLoading(bool loading);
    void moveTraceCursorToEntry(int entry);
    void exportTraces(const ExportChoice& choice);

    const RecordBuffer* m_buffer;
    const RecorderState* m_state;
    ViewerPlot m_plot;
    // The plan execWholeBuffer() worked out, for the buffer of that size.
    std::optional<ViewerPlot> m_prepared;
    std::size_t m_preparedCount = 0;
    bool m_preparing = false;
    float m_maxY = 100.0f;
    float m_minY = -100.0f;
    TDlgFitExportForm* m_exportDialog = nullptr;
    std::function<QPrinter*()> m_printerProvider;

    std::function<QString()> m_chooseRecording;
    std::function<QString()> m_shownName;
    // With added recordings: the shown data's trace, then the added ones.
    std::vector<TraceData> m_traces;
    std::vector<int> m_axes; // per trace: 0 left, 1 right
    TraceLoader* m_loader = nullptr;
    QString m_loadingPath;
    std::optional<TraceLoad> m_loadedShown; // written by the load until it ends
    TraceLoad m_loadedAdded;
};

} // namespace dmm
