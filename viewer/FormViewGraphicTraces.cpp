// SPDX-License-Identifier: MIT
// The graph viewer with recordings added beside the shown data: up to three
// traces on one axis of date and time, a value axis per unit, a legend of the
// file names and a readout of each trace's value at the cursor's time. With
// nothing added the viewer is the one-recording chart and none of this shows.
#include "FormViewGraphic.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QKeySequence>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "AtomicFile.h"
#include "ChartLogic.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "PEGraph.h"
#include "RecordBuffer.h"
#include "RecorderState.h"
#include "StringTable.h"
#include "TraceChart.h"
#include "TraceLoader.h"

namespace dmm {

namespace {

constexpr int kAxesFullEntry = 8302;
constexpr int kShownDataEntry = 8303;
constexpr int kNoReadingEntry = 8304;
constexpr int kAddRecordingHintEntry = 8305;
constexpr int kRecordingFilterEntry = 8306;
constexpr int kReadingFileEntry = 8005; // "Reading data from selected file. Please wait ..."
constexpr int kFileOpenErrorEntry = 9004;
constexpr int kMemoryErrorEntry = 9006;
constexpr int kPrintErrorEntry = 9014;
constexpr int kWriteErrorEntry = 9015;

// The shown data keeps the viewer's blue; the added ones are set apart from
// it and from each other in hue and lightness, and all read on white.
const QColor kTraceColours[kMaxTraces] = {QColor(0x00, 0x00, 0xff), QColor(0xd5, 0x5e, 0x00),
                                          QColor(0x00, 0x87, 0x5a)};

constexpr int kLayoutDpi = 96; // the chart's pictures are laid out at this resolution

double seconds(std::int64_t ms)
{
    return double(ms) / 1000.0;
}

} // namespace

void TFormViewGraphic::buildTraceControls()
{
    m_loader = new TraceLoader(this);
    connect(m_loader, &TraceLoader::ended, this, &TFormViewGraphic::takeLoadedTrace);

    TraceView = new TraceChart(this);
    TraceView->setObjectName(QStringLiteral("TraceView"));
    TraceView->setTitles(tableString(7010), tableString(7012));
    TraceView->hide();
    connect(TraceView, &TraceChart::cursorMoved, this, [this] { updateReadout(); });
    connect(TraceView, &TraceChart::zoomedIn, this, [this] { sbtnUndoZoom->setEnabled(true); });

    // Under the display panel, not in the status bar: a window as high as
    // the screen has its status bar below the screen's edge once a window
    // manager adds a title bar.
    ReadoutPanel = new QFrame(this);
    ReadoutPanel->setObjectName(QStringLiteral("ReadoutPanel"));
    ReadoutPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* row = new QHBoxLayout(ReadoutPanel);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(24);
    ReadoutTime = new QLabel(ReadoutPanel);
    ReadoutTime->setObjectName(QStringLiteral("ReadoutTime"));
    row->addWidget(ReadoutTime);
    for (int i = 0; i < kMaxTraces; ++i) {
        auto* readout = new QLabel(ReadoutPanel);
        readout->setObjectName(QStringLiteral("Readout%1").arg(i));
        QPalette colours = readout->palette();
        colours.setColor(QPalette::WindowText, kTraceColours[i]);
        readout->setPalette(colours);
        QFont bold = readout->font();
        bold.setBold(true);
        readout->setFont(bold);
        row->addWidget(readout);
        Readouts << readout;
    }
    row->addStretch(1);
    ReadoutPanel->hide();

    btnAddRecording->setToolTip(tableString(kAddRecordingHintEntry));
    btnAddRecording->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    btnAddRecording->setAutoDefault(false);
    btnRemoveRecordings->setAutoDefault(false);
    // Queued: a screen reader's Press returns before the file dialog opens.
    connect(btnAddRecording, &QPushButton::clicked, this, &TFormViewGraphic::btnAddRecordingClick,
            Qt::QueuedConnection);
    connect(btnRemoveRecordings, &QPushButton::clicked, this,
            &TFormViewGraphic::btnRemoveRecordingsClick);
}

int TFormViewGraphic::addedRecordings() const
{
    return m_traces.empty() ? 0 : int(m_traces.size()) - 1;
}

bool TFormViewGraphic::isLoading() const
{
    return m_loader->busy();
}

void TFormViewGraphic::btnAddRecordingClick()
{
    if (isLoading() || addedRecordings() >= kMaxTraces - 1)
        return;
    const QString path =
        m_chooseRecording
            ? m_chooseRecording()
            : QFileDialog::getOpenFileName(this, tableString(8300).chopped(3), QString(),
                                           tableString(kRecordingFilterEntry));
    if (!path.isEmpty())
        addRecording(path);
}

void TFormViewGraphic::addRecording(const QString& path)
{
    if (isLoading() || addedRecordings() >= kMaxTraces - 1)
        return;
    m_loadingPath = path;
    m_loadedShown.reset();
    m_loadedAdded = {};
    const bool needShown = m_traces.empty();
    RecordBuffer::Snapshot shown = needShown ? m_buffer->snapshot() : RecordBuffer::Snapshot{};
    QString shownName = m_shownName ? m_shownName() : QString();
    if (shownName.isEmpty())
        shownName = tableString(kShownDataEntry);
    setLoading(true);
    m_loader->start([this, path, needShown, shown, shownName](JobControl& job) {
        if (needShown)
            m_loadedShown = loadTraceRecords(shown, QDate::currentDate(), shownName, &job);
        m_loadedAdded = loadTraceFile(path, &job);
    });
}

void TFormViewGraphic::setLoading(bool loading)
{
    // The window stays alive while a recording is read; what would change
    // the traces waits.
    btnAddRecording->setEnabled(!loading && addedRecordings() < kMaxTraces - 1);
    btnRemoveRecordings->setEnabled(!loading);
    if (loading) {
        setCursor(Qt::BusyCursor);
        StatusBar1->showMessage(tableString(kReadingFileEntry));
    } else {
        unsetCursor();
        StatusBar1->clearMessage();
    }
}

void TFormViewGraphic::takeLoadedTrace()
{
    setLoading(false);
    TraceLoad added = std::move(m_loadedAdded);
    std::optional<TraceLoad> shown = std::move(m_loadedShown);
    m_loadedAdded = {};
    m_loadedShown.reset();
    if (added.outOfMemory || (shown && shown->outOfMemory)) {
        ShowMsgBox(this, kStrErrorCaption, kMemoryErrorEntry);
        emit loadEnded();
        return;
    }
    if (!added.trace) {
        ShowMsgBox(this, kStrErrorCaption, kFileOpenErrorEntry, QMessageBox::Ok,
                   QMessageBox::NoIcon, added.error);
        emit loadEnded();
        return;
    }
    // The traces are not copied: a long recording's are hundreds of megabytes.
    QStringList units;
    for (const TraceData& trace : m_traces)
        units << trace.unit;
    std::optional<TraceData> first;
    if (m_traces.empty()) {
        // An empty buffer gives a trace without readings: only a legend entry.
        first = shown && shown->trace ? std::move(*shown->trace) : TraceData{};
        if (first->size() == 0) {
            first->name = m_shownName && !m_shownName().isEmpty() ? m_shownName()
                                                                  : tableString(kShownDataEntry);
            first->unit = added.trace->unit;
        }
        units << first->unit;
    }
    units << added.trace->unit;
    const std::optional<AxisAssignment> axes = assignAxes(units);
    if (!axes) {
        // A third unit is refused rather than drawn against another unit's scale.
        const QStringList kept = assignAxes(units.mid(0, units.size() - 1))->units;
        ShowMsgBox(this, kStrWarningCaption, kAxesFullEntry, QMessageBox::Ok, QMessageBox::NoIcon,
                   {}, QMessageBox::NoButton,
                   tableString(kAxesFullEntry)
                       .arg(added.trace->name, units.back(), kept.value(0), kept.value(1)));
        emit loadEnded();
        return;
    }
    if (first)
        m_traces.push_back(std::move(*first));
    m_traces.push_back(std::move(*added.trace));
    m_axes = axes->axes;
    showTraces();
    emit loadEnded();
}

void TFormViewGraphic::showTraces()
{
    QVector<ChartTrace> chartTraces;
    for (std::size_t t = 0; t < m_traces.size(); ++t) {
        const TraceData& trace = m_traces[t];
        ChartTrace chartTrace;
        chartTrace.name = trace.name;
        chartTrace.colour = kTraceColours[t];
        chartTrace.axis = m_axes[t];
        const std::vector<std::size_t>& plotted = trace.plotted;
        chartTrace.times.reserve(qsizetype(plotted.size()));
        chartTrace.values.reserve(qsizetype(plotted.size()));
        for (const std::size_t i : plotted) {
            chartTrace.times.append(seconds(trace.times[i]));
            chartTrace.values.append(trace.values[i]);
        }
        chartTraces.append(chartTrace);
    }
    QStringList units;
    for (std::size_t t = 0; t < m_traces.size(); ++t)
        if (units.size() <= m_axes[t])
            units << m_traces[t].unit;
    QStringList axisLabels;
    for (const QString& unit : units)
        axisLabels << (unit.isEmpty()
                           ? tableString(7011)
                           : tableString(7011) + QStringLiteral(" (") + unit + QLatin1Char(')'));
    TraceView->setTraces(chartTraces, axisLabels);
    // The panels first, so that the chart is laid out and drawn once.
    ReadoutPanel->show();
    for (int i = 0; i < kMaxTraces; ++i)
        Readouts[i]->setVisible(std::size_t(i) < m_traces.size());
    btnRemoveRecordings->show();
    PEGraphView->hide();
    TraceView->show();
    TraceView->setFocus();
    sbtnUndoZoom->setEnabled(false);
    btnAddRecording->setEnabled(addedRecordings() < kMaxTraces - 1);
    updateReadout();
}

void TFormViewGraphic::btnRemoveRecordingsClick()
{
    if (isLoading())
        return;
    const bool shown = showsTraces();
    m_traces.clear();
    m_axes.clear();
    TraceView->setTraces({}, {});
    TraceView->hide();
    ReadoutPanel->hide();
    btnRemoveRecordings->hide();
    btnAddRecording->setEnabled(true);
    PEGraphView->show();
    if (shown) {
        PEGraphView->setFocus();
        sbtnUndoZoom->setEnabled(PEGraphView->isZoomed());
    }
}

void TFormViewGraphic::updateReadout()
{
    const double cursor = TraceView->cursorTime();
    const auto cursorMs = std::int64_t(std::llround(cursor * 1000.0));
    ReadoutTime->setText(QDateTime::fromMSecsSinceEpoch(cursorMs).toString(
        QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
    for (std::size_t t = 0; t < m_traces.size() && t < std::size_t(kMaxTraces); ++t) {
        const TraceData& trace = m_traces[t];
        const std::optional<std::size_t> at = readingNearest(trace.times, cursorMs);
        const QString value =
            at ? QString::fromStdString(formatGeneral(trace.values[*at], 6)) +
                     (trace.unit.isEmpty() ? QString() : QLatin1Char(' ') + trace.unit)
               : tableString(kNoReadingEntry);
        Readouts[int(t)]->setText(trace.name + QStringLiteral(": ") + value);
    }
}

void TFormViewGraphic::moveTraceCursorToEntry(int entry)
{
    if (entry < 0 || m_traces.empty())
        return;
    const TraceData& shown = m_traces.front();
    const auto found = std::find(shown.entries.begin(), shown.entries.end(), std::uint32_t(entry));
    if (found == shown.entries.end())
        return;
    TraceView->setCursorTime(seconds(shown.times[std::size_t(found - shown.entries.begin())]));
    updateReadout();
}

void TFormViewGraphic::exportTraces(const ExportChoice& choice)
{
    const bool metafile = choice.type == ExportType::MetaFile;
    QSize size(choice.actionWidth(), choice.actionHeight());
    if (size.width() <= 0 || size.height() <= 0)
        size = metafile ? QSize(int(kMetafileWidth), int(kMetafileHeight))
                        : QSize(int(kBitmapWidth), int(kBitmapHeight));
    const QSize pixels = metafile ? chart::hundredthsToPixels(size, kLayoutDpi) : size;
    QString error;
    if (choice.destination == ExportDestination::Printer) {
        if (!printChart(ChartAction::Print, ChartAction::RebuildImage))
            ShowMsgBox(this, kStrErrorCaption, kPrintErrorEntry);
        return;
    }
    const QImage image = TraceView->renderBitmap(pixels);
    if (image.isNull())
        error = QStringLiteral("A picture of %1 by %2 pixels cannot be made.")
                    .arg(pixels.width())
                    .arg(pixels.height());
    QByteArray bytes;
    if (error.isEmpty() && metafile) {
        bytes = TraceView->renderSvg(pixels);
        if (bytes.isEmpty())
            error = QStringLiteral("The picture could not be drawn.");
    } else if (error.isEmpty() && choice.destination == ExportDestination::File) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, chart::bitmapFileFormat(choice.fileName));
        if (!writer.write(image))
            error = writer.errorString();
    }
    if (error.isEmpty() && choice.destination == ExportDestination::File) {
        if (const auto reason = writeFileAtomically(choice.fileName, bytes))
            error = QStringLiteral("Cannot write %1: %2").arg(choice.fileName, *reason);
    } else if (error.isEmpty()) {
        auto* mime = new QMimeData;
        if (metafile)
            mime->setData(QStringLiteral("image/svg+xml"), bytes);
        mime->setImageData(image);
        QApplication::clipboard()->setMimeData(mime);
    }
    if (!error.isEmpty())
        ShowMsgBox(this, kStrErrorCaption, kWriteErrorEntry, QMessageBox::Ok, QMessageBox::NoIcon,
                   error);
}

} // namespace dmm
