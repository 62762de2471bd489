// SPDX-License-Identifier: MIT
#include "TraceChart.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QKeyEvent>
#include <QPrinter>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

#include "ChartLogic.h"
#include "TitledPlot.h"

namespace dmm {

namespace {

// A press and release closer than this (Manhattan pixels) is a click.
constexpr int kClickSlop = 3;
// A rubber band narrower than this does not zoom.
constexpr int kMinZoomPixels = 4;
// The time axis never shows less than this span (seconds).
constexpr double kMinSpan = 1.0;
// Every trace's legend entry in one row.
constexpr int kMaxLegendColumns = 3;

const QFont& tickFont()
{
    static const QFont font(QStringLiteral("Arial"), 8);
    return font;
}

const QFont& labelFont()
{
    static const QFont font(QStringLiteral("Arial"), 9);
    return font;
}

// The value range of the traces on `axis`, padded as the recorder's automatic scale is.
std::pair<double, double> valueRange(const QVector<ChartTrace>& traces, int axis)
{
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const ChartTrace& trace : traces) {
        if (trace.axis != axis)
            continue;
        for (const double v : trace.values) {
            if (!std::isfinite(v))
                continue;
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    return chart::autoScale(low, high);
}

} // namespace

class TraceChartEngine
{
public:
    TraceChartEngine(TraceChart& owner);
    ~TraceChartEngine() { delete m_plot; }

    void setTraces(const QVector<ChartTrace>& traces, const QStringList& axisLabels);
    void fullView();
    void setCursor(double seconds, bool byUser);
    bool key(int key);
    void clicked(const QPoint& pos);
    void zoomTo(const QRect& pixels);
    // Draws on `painter` at `size`, the cursor hidden, in black and white when asked.
    void paintOn(QCPPainter& painter, QSize size, bool monochrome) const;
    void applyColours(bool monochrome) const;

    TraceChart& q;
    QCustomPlot* m_plot = nullptr;
    QCPTextElement* m_title = nullptr;
    QCPLegend* m_legend = nullptr;
    QCPItemStraightLine* m_cursor = nullptr;
    QCPLayer* m_cursorLayer = nullptr;
    QVector<ChartTrace> m_traces;
    QVector<QCPGraph*> m_graphs;
    double m_cursorTime = 0.0;
    bool m_zoomed = false;
    QPoint m_pressPos;
    Qt::MouseButton m_pressButton = Qt::NoButton;
};

TraceChartEngine::TraceChartEngine(TraceChart& owner) : q(owner)
{
    const TitledPlot titled = addTitledPlot(q);
    m_plot = titled.plot;
    m_title = titled.title;
    // The legend in a row of its own under the title: it never covers the data.
    m_plot->plotLayout()->insertRow(1);
    m_legend = m_plot->legend;
    m_legend->setVisible(true);
    m_plot->axisRect()->insetLayout()->take(m_legend);
    // Centred between two stretching blanks, as wide as its entries.
    auto* legendRow = new QCPLayoutGrid;
    m_plot->plotLayout()->addElement(1, 0, legendRow);
    legendRow->addElement(0, 0, new QCPLayoutElement(m_plot));
    legendRow->addElement(0, 1, m_legend);
    legendRow->addElement(0, 2, new QCPLayoutElement(m_plot));
    legendRow->setColumnStretchFactor(1, 0.001);
    m_legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    m_legend->setWrap(kMaxLegendColumns);
    m_legend->setBorderPen(Qt::NoPen);
    m_legend->setBrush(Qt::NoBrush);
    m_legend->setFont(labelFont());
    m_legend->setMargins(QMargins(4, 0, 4, 2));
    m_plot->plotLayout()->setRowStretchFactor(1, 0.001);

    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
    ticker->setTickCount(6);
    m_plot->xAxis->setTicker(ticker);
    m_plot->xAxis2->setVisible(true);
    m_plot->xAxis2->setTicks(false);
    m_plot->xAxis2->setTickLabels(false);
    m_plot->yAxis2->setVisible(true);
    for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis, m_plot->xAxis2, m_plot->yAxis2}) {
        axis->setTickLabelFont(tickFont());
        axis->setLabelFont(labelFont());
        axis->grid()->setSubGridVisible(false);
    }
    m_plot->xAxis->grid()->setPen(QPen(QColor(200, 200, 200), 0));
    m_plot->yAxis->grid()->setPen(QPen(QColor(200, 200, 200), 0));

    m_plot->addLayer(QStringLiteral("cursor"), m_plot->layer(QStringLiteral("main")),
                     QCustomPlot::limAbove);
    m_cursorLayer = m_plot->layer(QStringLiteral("cursor"));
    m_cursorLayer->setMode(QCPLayer::lmBuffered);
    m_cursor = new QCPItemStraightLine(m_plot);
    m_cursor->setLayer(m_cursorLayer);
    m_cursor->setSelectable(false);
    m_cursor->setPen(QPen(Qt::black, 0, Qt::DashLine));
    m_cursor->setVisible(false);

    m_plot->setSelectionRectMode(QCP::srmCustom);
    m_plot->selectionRect()->setPen(QPen(Qt::black, 0, Qt::DashLine));
    m_plot->selectionRect()->setBrush(QColor(0, 0, 0, 30));
    QObject::connect(m_plot, &QCustomPlot::mousePress, m_plot, [this](QMouseEvent* event) {
        m_pressPos = event->pos();
        m_pressButton = event->button();
    });
    QObject::connect(m_plot, &QCustomPlot::mouseRelease, m_plot, [this](QMouseEvent* event) {
        if (m_pressButton == Qt::LeftButton && event->button() == Qt::LeftButton &&
            (event->pos() - m_pressPos).manhattanLength() <= kClickSlop)
            clicked(event->pos());
        m_pressButton = Qt::NoButton;
    });
    QObject::connect(m_plot->selectionRect(), &QCPSelectionRect::accepted, m_plot,
                     [this](const QRect& rect, QMouseEvent* event) {
                         if (event && event->button() == Qt::LeftButton)
                             zoomTo(rect);
                     });
    applyColours(false);
}

void TraceChartEngine::applyColours(bool monochrome) const
{
    static const Qt::PenStyle dashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine};
    for (qsizetype i = 0; i < m_graphs.size(); ++i) {
        const QColor colour = monochrome ? QColor(Qt::black) : m_traces[i].colour;
        // Cosmetic, one pixel: a wider pen is stroked as an outline, which
        // takes seconds for a thinned trace's thousands of full-height swings.
        m_graphs[i]->setPen(QPen(colour, 0, monochrome ? dashes[i % 3] : Qt::SolidLine));
    }
    m_plot->setBackground(monochrome ? QColor(Qt::white) : q.palette().color(QPalette::Button));
    m_plot->axisRect()->setBackground(Qt::white);
    // An axis of one trace's unit wears that trace's colour, so it is clear
    // which scale a line is read on.
    for (int axis = 0; axis < 2; ++axis) {
        QCPAxis* a = axis == 0 ? m_plot->yAxis : m_plot->yAxis2;
        QColor colour = Qt::black;
        int traces = 0;
        for (const ChartTrace& trace : m_traces) {
            if (trace.axis == axis) {
                colour = trace.colour;
                ++traces;
            }
        }
        if (monochrome || traces != 1)
            colour = Qt::black;
        a->setLabelColor(colour);
        a->setTickLabelColor(colour);
    }
}

void TraceChartEngine::setTraces(const QVector<ChartTrace>& traces, const QStringList& axisLabels)
{
    m_traces = traces;
    m_plot->clearGraphs();
    m_graphs.clear();
    for (const ChartTrace& trace : traces) {
        QCPAxis* valueAxis = trace.axis == 0 ? m_plot->yAxis : m_plot->yAxis2;
        QCPGraph* graph = m_plot->addGraph(m_plot->xAxis, valueAxis);
        graph->setName(trace.name);
        graph->setData(trace.times, trace.values, true);
        graph->setAdaptiveSampling(true);
        // A thinned trace swings between its groups' extremes thousands of
        // times: without smoothing it is drawn in a third of the time.
        graph->setAntialiased(false);
        m_graphs.append(graph);
    }
    applyColours(false);
    m_plot->yAxis->setLabel(axisLabels.value(0));
    m_plot->yAxis2->setLabel(axisLabels.value(1));
    const bool right = axisLabels.size() > 1;
    m_plot->yAxis2->setTicks(right);
    m_plot->yAxis2->setTickLabels(right);
    fullView();
    const auto range = m_plot->xAxis->range();
    if (m_cursorTime < range.lower || m_cursorTime > range.upper)
        m_cursorTime = range.lower;
    setCursor(m_cursorTime, false);
}

void TraceChartEngine::fullView()
{
    double first = std::numeric_limits<double>::infinity();
    double last = -first;
    for (const ChartTrace& trace : m_traces) {
        if (trace.times.isEmpty())
            continue;
        first = std::min(first, trace.times.front());
        last = std::max(last, trace.times.back());
    }
    if (!std::isfinite(first)) {
        first = 0.0;
        last = kMinSpan;
    }
    if (last - first < kMinSpan)
        last = first + kMinSpan;
    m_plot->xAxis->setRange(first, last);
    m_plot->xAxis2->setRange(first, last);
    const auto [lowLeft, highLeft] = valueRange(m_traces, 0);
    m_plot->yAxis->setRange(lowLeft, highLeft);
    const auto [lowRight, highRight] = valueRange(m_traces, 1);
    // Without a second unit the right axis only closes the frame.
    if (m_plot->yAxis2->tickLabels())
        m_plot->yAxis2->setRange(lowRight, highRight);
    else
        m_plot->yAxis2->setRange(lowLeft, highLeft);
    m_zoomed = false;
}

void TraceChartEngine::setCursor(double seconds, bool byUser)
{
    m_cursorTime = seconds;
    m_cursor->point1->setCoords(seconds, 0.0);
    m_cursor->point2->setCoords(seconds, 1.0);
    m_cursor->setVisible(!m_traces.isEmpty());
    if (byUser) {
        const QCPRange range = m_plot->xAxis->range();
        if (seconds < range.lower || seconds > range.upper) {
            m_plot->xAxis->moveRange(seconds - range.center());
            m_plot->xAxis2->setRange(m_plot->xAxis->range());
            m_plot->replot(QCustomPlot::rpQueuedReplot);
        } else {
            m_cursorLayer->replot();
        }
        emit q.cursorMoved(seconds);
    } else {
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

bool TraceChartEngine::key(int key)
{
    if (m_traces.isEmpty() || m_traces.front().times.isEmpty())
        return false;
    // The arrows step through the first trace's plotted readings.
    const QVector<double>& times = m_traces.front().times;
    const auto after = std::upper_bound(times.begin(), times.end(), m_cursorTime);
    const auto atOrAfter = std::lower_bound(times.begin(), times.end(), m_cursorTime);
    double target = m_cursorTime;
    switch (key) {
    case Qt::Key_Left:
        target = atOrAfter == times.begin() ? times.front() : *std::prev(atOrAfter);
        break;
    case Qt::Key_Right:
        target = after == times.end() ? times.back() : *after;
        break;
    case Qt::Key_Home:
        target = times.front();
        break;
    case Qt::Key_End:
        target = times.back();
        break;
    case Qt::Key_Escape:
        if (!m_plot->selectionRect()->isActive())
            return false;
        m_plot->selectionRect()->cancel();
        return true;
    default:
        return false;
    }
    setCursor(target, true);
    return true;
}

void TraceChartEngine::clicked(const QPoint& pos)
{
    if (m_traces.isEmpty() || !m_plot->axisRect()->rect().contains(pos))
        return;
    setCursor(m_plot->xAxis->pixelToCoord(pos.x()), true);
}

void TraceChartEngine::zoomTo(const QRect& pixels)
{
    const QRect r = pixels.normalized().intersected(m_plot->axisRect()->rect());
    if (r.width() < kMinZoomPixels)
        return;
    double low = m_plot->xAxis->pixelToCoord(r.left());
    double high = m_plot->xAxis->pixelToCoord(r.right());
    if (high - low < kMinSpan) {
        const double middle = (low + high) / 2.0;
        low = middle - kMinSpan / 2.0;
        high = middle + kMinSpan / 2.0;
    }
    m_plot->xAxis->setRange(low, high);
    m_plot->xAxis2->setRange(low, high);
    m_zoomed = true;
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    emit q.zoomedIn();
}

void TraceChartEngine::paintOn(QCPPainter& painter, QSize size, bool monochrome) const
{
    const bool cursorShown = m_cursor->visible();
    m_cursor->setVisible(false);
    applyColours(monochrome);
    m_plot->toPainter(&painter, size.width(), size.height());
    applyColours(false);
    m_cursor->setVisible(cursorShown);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

TraceChart::TraceChart(QWidget* parent)
    : QWidget(parent), m_engine(std::make_unique<TraceChartEngine>(*this))
{
}

TraceChart::~TraceChart() = default;

void TraceChart::setTraces(const QVector<ChartTrace>& traces, const QStringList& axisLabels)
{
    m_engine->setTraces(traces, axisLabels);
}

void TraceChart::setTitles(const QString& title, const QString& timeLabel)
{
    m_engine->m_title->setText(title);
    m_engine->m_plot->xAxis->setLabel(timeLabel);
    setAccessibleName(title);
}

void TraceChart::setCursorTime(double seconds)
{
    m_engine->setCursor(seconds, false);
}

double TraceChart::cursorTime() const
{
    return m_engine->m_cursorTime;
}

void TraceChart::undoZoom()
{
    m_engine->fullView();
    m_engine->m_plot->replot(QCustomPlot::rpQueuedReplot);
}

bool TraceChart::isZoomed() const
{
    return m_engine->m_zoomed;
}

QImage TraceChart::renderBitmap(QSize pixels) const
{
    QImage image(pixels, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QCPPainter painter(&image);
    m_engine->paintOn(painter, pixels, false);
    painter.end();
    return image;
}

QByteArray TraceChart::renderSvg(QSize pixels) const
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(pixels);
    generator.setViewBox(QRect(QPoint(0, 0), pixels));
    QCPPainter painter;
    if (!painter.begin(&generator))
        return {};
    painter.setMode(QCPPainter::pmVectorized);
    m_engine->paintOn(painter, pixels, false);
    painter.end();
    return buffer.data();
}

bool TraceChart::print(QPrinter* printer, bool monochrome) const
{
    QCPPainter painter;
    if (!printer || !painter.begin(printer))
        return false;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    // The chart keeps the proportions it has on screen, as wide as the page.
    const QSize screen = size().isEmpty() ? QSize(1000, 681) : size();
    const double scale = double(page.width()) / screen.width();
    painter.scale(scale, scale);
    m_engine->paintOn(painter, screen, monochrome);
    return painter.end();
}

QStringList TraceChart::legendNames() const
{
    QStringList names;
    for (int i = 0; i < m_engine->m_legend->itemCount(); ++i)
        if (auto* item = qobject_cast<QCPPlottableLegendItem*>(m_engine->m_legend->item(i)))
            names << item->plottable()->name();
    return names;
}

QRect TraceChart::plotArea() const
{
    return m_engine->m_plot->axisRect()->rect();
}

int TraceChart::timePixelX(double seconds) const
{
    return int(std::lround(m_engine->m_plot->xAxis->coordToPixel(seconds)));
}

QStringList TraceChart::axisLabels() const
{
    QStringList labels{m_engine->m_plot->yAxis->label()};
    if (m_engine->m_plot->yAxis2->tickLabels())
        labels << m_engine->m_plot->yAxis2->label();
    return labels;
}

std::pair<double, double> TraceChart::visibleTimeRange() const
{
    const QCPRange range = m_engine->m_plot->xAxis->range();
    return {range.lower, range.upper};
}

void TraceChart::keyPressEvent(QKeyEvent* event)
{
    if (!m_engine->key(event->key()))
        QWidget::keyPressEvent(event);
}

} // namespace dmm
