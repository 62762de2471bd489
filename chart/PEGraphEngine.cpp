// SPDX-License-Identifier: MIT
// The chart engine's plot: construction, point data, look, full view, ticker and markers.
#include "PEGraphEngine.h"

#include "ChartLogic.h"
#include "TitledPlot.h"

#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace dmm {

namespace {

constexpr int kMaxSubsets = 64;
// Below this many pixels from one point to the next the markers would merge
// into a band; the line alone reads better.
constexpr double kMinMarkerSpacing = 2.0;
// A mouse press and release closer than this (Manhattan pixels) is a click;
// QCustomPlot uses the same threshold to tell clicks from drags.
constexpr int kClickSlop = 3;

double lightness(const QColor& c)
{
    return 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF();
}

// `wanted` unless it would vanish against `ground`; then `fallback`.
QColor contrasting(const QColor& wanted, const QColor& ground, double minimum,
                   const QColor& fallback)
{
    return std::abs(lightness(wanted) - lightness(ground)) >= minimum ? wanted : fallback;
}

QColor blackOrWhiteOn(const QColor& ground)
{
    return lightness(ground) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
}

QColor defaultSubsetColor(int subset)
{
    static const QColor colors[] = {Qt::blue,    Qt::red,      Qt::darkGreen,
                                    Qt::magenta, Qt::darkCyan, Qt::darkYellow};
    return colors[subset % int(std::size(colors))];
}

double markerSize(PEGraph::PointSizeType size)
{
    switch (size) {
    case PEGraph::gMicroPoints:
        return 2.0;
    case PEGraph::gSmallPoints:
        return 3.0;
    case PEGraph::gMediumPoints:
        return 5.0;
    case PEGraph::gLargePoints:
        return 7.0;
    }
    return 5.0;
}

Qt::PenStyle gridPenStyle(PEGraph::GridStyleType style)
{
    switch (style) {
    case PEGraph::gDot:
        return Qt::DotLine;
    case PEGraph::gDash:
        return Qt::DashLine;
    case PEGraph::gThin:
    case PEGraph::gThick:
        break;
    }
    return Qt::SolidLine;
}
} // namespace

// The X axis shows point labels, not numbers: a subset of them that fits the
// axis without overlapping, chosen again at every layout (zoom, resize, export
// at another size).
class PointLabelTicker : public QCPAxisTicker
{
public:
    explicit PointLabelTicker(const PEGraphEngine& engine) : m_engine(engine) {}

protected:
    double getTickStep(const QCPRange& range) override
    {
        const double axisPixels = m_engine.estimatedAxisPixels();
        const double templateWidth = m_engine.labelTemplateWidth();
        int step = chart::labelStep(range.size(), axisPixels, templateWidth);
        // Labels wider than the template get a second, wider spacing.
        const QVector<int> points = chart::labelledPoints(
            range.lower, range.upper, m_engine.pointCount(), step, m_engine.labelAnchor());
        double widest = 0.0;
        for (const int point : points)
            widest = std::max(widest, m_engine.labelWidth(point));
        if (widest > templateWidth)
            step = chart::labelStep(range.size(), axisPixels, widest);
        return step;
    }

    int getSubTickCount(double tickStep) override
    {
        const int step = qRound(tickStep);
        if (step <= 1)
            return 0;
        if (step <= 10)
            return step - 1;
        return step % 5 == 0 ? 4 : 1;
    }

    QString getTickLabel(double tick, const QLocale&, QChar, int) override
    {
        return m_engine.displayLabel(qRound(tick));
    }

    QVector<double> createTickVector(double tickStep, const QCPRange& range) override
    {
        QVector<double> ticks;
        const QVector<int> points =
            chart::labelledPoints(range.lower, range.upper, m_engine.pointCount(), qRound(tickStep),
                                  m_engine.labelAnchor());
        ticks.reserve(points.size());
        for (const int point : points)
            ticks.append(point);
        return ticks;
    }

private:
    const PEGraphEngine& m_engine;
};

// The point markers. They live in a graph of their own that holds only the
// non-null points: with NaN values in a graph, QCustomPlot still draws a
// marker for each of them in vector output.
class MarkerGraph : public QCPGraph
{
public:
    MarkerGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

protected:
    void draw(QCPPainter* painter) override
    {
        const double shown = std::max(keyAxis()->range().size(), 1e-9);
        if (keyAxis()->axisRect()->width() / shown < kMinMarkerSpacing)
            return;
        QCPGraph::draw(painter);
    }
};

PEGraphEngine::PEGraphEngine(PEGraph& owner) : q(owner)
{
    const TitledPlot titled = addTitledPlot(q);
    m_plot = titled.plot;
    m_title = titled.title;

    m_ticker = QSharedPointer<PointLabelTicker>::create(*this);
    m_plot->xAxis->setTicker(m_ticker);
    // The top and right axes only close the frame around the plot area.
    for (QCPAxis* axis : {m_plot->xAxis2, m_plot->yAxis2}) {
        axis->setVisible(true);
        axis->setTicks(false);
        axis->setTickLabels(false);
    }

    // The cursor on a buffered layer of its own: moving it repaints only that
    // layer, not the graphs.
    m_plot->addLayer(QStringLiteral("cursor"), m_plot->layer(QStringLiteral("main")),
                     QCustomPlot::limAbove);
    m_cursorLayer = m_plot->layer(QStringLiteral("cursor"));
    m_cursorLayer->setMode(QCPLayer::lmBuffered);
    m_cursor = new QCPItemStraightLine(m_plot);
    m_cursor->setLayer(m_cursorLayer);
    m_cursor->setSelectable(false);
    m_cursor->setVisible(false);

    QObject::connect(m_plot, &QCustomPlot::beforeReplot, m_plot,
                     [this] { m_replotQueued = false; });
    QObject::connect(m_plot, &QCustomPlot::afterReplot, m_plot, [this] { m_replotted = true; });
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

    rebuild();
}

PEGraphEngine::~PEGraphEngine()
{
    // The plot's connections and its ticker refer to this engine: the plot
    // goes first, not later with the owner's children.
    delete m_plot;
}

void PEGraphEngine::ensureShape()
{
    const int subsets = std::clamp(q.Subsets, 1, kMaxSubsets);
    const int points = std::max(0, q.Points);
    if (m_values.size() != subsets)
        m_values.resize(subsets);
    for (QVector<double>& values : m_values) {
        if (values.size() != points) {
            const qsizetype old = values.size();
            values.resize(points);
            std::fill(values.begin() + std::min<qsizetype>(old, points), values.end(),
                      q.NullDataValue);
        }
    }
    if (m_labels.size() != points)
        m_labels.resize(points);
    while (m_colors.size() < subsets)
        m_colors.append(defaultSubsetColor(int(m_colors.size())));
    if (m_styles.size() < subsets)
        m_styles.resize(subsets);
}

void PEGraphEngine::setValue(int subset, int point, double value)
{
    ensureShape();
    if (subset < 0 || subset >= m_values.size() || point < 0 || point >= m_labels.size())
        return;
    m_values[subset][point] = value;
}

double PEGraphEngine::value(int subset, int point) const
{
    if (subset < 0 || subset >= m_values.size() || point < 0 || point >= m_values[subset].size() ||
        point >= q.Points)
        return q.NullDataValue;
    return m_values[subset][point];
}

void PEGraphEngine::setLabel(int point, const QString& text)
{
    ensureShape();
    if (point >= 0 && point < m_labels.size())
        m_labels[point] = text;
}

QString PEGraphEngine::label(int point) const
{
    if (point < 0 || point >= m_labels.size() || point >= q.Points)
        return {};
    return m_labels[point];
}

void PEGraphEngine::appendPoint(const QString& label, double value)
{
    ensureShape();
    if (m_labels.isEmpty())
        return;
    for (qsizetype s = 0; s < m_values.size(); ++s) {
        QVector<double>& values = m_values[s];
        std::move(values.begin() + 1, values.end(), values.begin());
        values.back() = s == 0 ? value : q.NullDataValue;
    }
    std::move(m_labels.begin() + 1, m_labels.end(), m_labels.begin());
    m_labels.back() = label;
}

void PEGraphEngine::setSubsetColor(int subset, const QColor& color)
{
    ensureShape();
    if (subset >= 0 && subset < m_colors.size())
        m_colors[subset] = color;
}

QColor PEGraphEngine::subsetColor(int subset) const
{
    if (subset >= 0 && subset < m_colors.size())
        return m_colors[subset];
    return defaultSubsetColor(std::max(0, subset));
}

void PEGraphEngine::setSubsetStyle(int subset, int style)
{
    ensureShape();
    if (subset >= 0 && subset < m_styles.size())
        m_styles[subset] = style;
}

void PEGraphEngine::rebuild()
{
    ensureShape();
    m_nullValue = q.NullDataValue;
    // Another number of points is another chart: its zoom means nothing.
    if (m_builtPoints != pointCount()) {
        m_zoomed = false;
        m_builtPoints = pointCount();
    }
    m_mouseCursor = q.MouseCursorControl;
    m_zooming = q.AllowZooming;
    m_cursorShown = q.CursorMode == PEGraph::gVertLine;
    m_anchorLast = q.PointsToGraphInit == PEGraph::gLast;
    m_pointsToGraph = q.PointsToGraph;
    m_scaleControl = q.ManualScaleControlY;
    m_manualMin = q.ManualMinY;
    m_manualMax = q.ManualMaxY;

    rebuildGraphs();
    applyLook();
    if (!m_zoomed)
        applyFullView();
    m_cursorPoint = pointCount() > 0 ? std::clamp(m_cursorPoint, 0, pointCount() - 1) : 0;
    placeCursor();
    m_plot->setSelectionRectMode(m_zooming == PEGraph::gNoZooming ? QCP::srmNone : QCP::srmCustom);
    // Rebuilt for every reading: announce the texts only when they change.
    if (q.accessibleName() != q.MainTitle)
        q.setAccessibleName(q.MainTitle);
    if (q.accessibleDescription() != q.YAxisLabel)
        q.setAccessibleDescription(q.YAxisLabel);
    requestReplot();
}

void PEGraphEngine::rebuildGraphs()
{
    const qsizetype subsets = m_values.size();
    while (m_lines.size() < subsets) {
        m_lines.append(m_plot->addGraph(m_plot->xAxis, m_plot->yAxis));
        auto* markers = new MarkerGraph(m_plot->xAxis, m_plot->yAxis);
        markers->setLineStyle(QCPGraph::lsNone);
        m_markers.append(markers);
    }
    while (m_lines.size() > subsets) {
        m_plot->removePlottable(m_lines.takeLast());
        m_plot->removePlottable(m_markers.takeLast());
    }

    const double nan = std::numeric_limits<double>::quiet_NaN();
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    QVector<QCPGraphData> line;
    QVector<QCPGraphData> markers;
    for (qsizetype s = 0; s < subsets; ++s) {
        const QVector<double>& values = m_values[s];
        line.resize(values.size());
        markers.clear();
        markers.reserve(values.size());
        for (qsizetype i = 0; i < values.size(); ++i) {
            const double v = values[i];
            const bool null = v == m_nullValue || !std::isfinite(v);
            line[i] = QCPGraphData(double(i), null ? nan : v);
            if (!null) {
                markers.append(QCPGraphData(double(i), v));
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
        m_lines[s]->data()->set(line, true);
        m_markers[s]->data()->set(markers, true);
    }
    m_dataLow = low;
    m_dataHigh = high;
}

PEGraphEngine::Palette PEGraphEngine::palette() const
{
    Palette p;
    if (q.ViewingStyle == PEGraph::gMonochrome) {
        p.desk = p.back = Qt::white;
        p.fore = p.text = p.axis = p.grid = p.cursor = Qt::black;
        p.monochrome = true;
        return p;
    }
    p.desk = q.DeskColor;
    p.back = q.GraphBackColor;
    p.fore = q.GraphForeColor;
    // The fore colour may be the desk colour itself (the viewer's is): texts
    // and axes then fall back to black or white so they stay readable.
    p.text = contrasting(p.fore, p.desk, 0.3, blackOrWhiteOn(p.desk));
    p.axis = std::abs(lightness(p.fore) - lightness(p.desk)) >= 0.15 ||
                     std::abs(lightness(p.fore) - lightness(p.back)) >= 0.15
                 ? p.fore
                 : p.text;
    p.grid = contrasting(p.fore, p.back, 0.12,
                         lightness(p.back) > 0.5 ? QColor(160, 160, 160) : QColor(96, 96, 96));
    p.cursor = lightness(p.back) > 0.5 ? QColor(Qt::red) : QColor(Qt::yellow);
    return p;
}

void PEGraphEngine::applyLook()
{
    const Palette p = palette();
    m_plot->setBackground(p.desk);
    m_plot->axisRect()->setBackground(p.back);

    const QFont labelFont(QStringLiteral("Arial"), 9);
    const QFont tickFont(QStringLiteral("Arial"), 8);
    for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis, m_plot->xAxis2, m_plot->yAxis2}) {
        axis->setBasePen(QPen(p.axis, 0));
        axis->setTickPen(QPen(p.axis, 0));
        axis->setSubTickPen(QPen(p.axis, 0));
        axis->setTickLabelColor(p.text);
        axis->setLabelColor(p.text);
        axis->setTickLabelFont(tickFont);
        axis->setLabelFont(labelFont);
        axis->grid()->setZeroLinePen(Qt::NoPen);
        axis->grid()->setSubGridVisible(false);
    }
    const QPen gridPen(p.grid, q.GridStyle == PEGraph::gThick ? 2 : 0, gridPenStyle(q.GridStyle));
    m_plot->xAxis->grid()->setPen(gridPen);
    m_plot->yAxis->grid()->setPen(gridPen);
    m_plot->xAxis->grid()->setVisible(q.GridLineControl == PEGraph::gYPlusXAxis ||
                                      q.GridLineControl == PEGraph::gXAxis);
    m_plot->yAxis->grid()->setVisible(q.GridLineControl == PEGraph::gYPlusXAxis ||
                                      q.GridLineControl == PEGraph::gYAxis);
    m_plot->xAxis2->grid()->setVisible(false);
    m_plot->yAxis2->grid()->setVisible(false);

    QString title = q.MainTitle;
    if (!q.SubTitle.isEmpty())
        title += QLatin1Char('\n') + q.SubTitle;
    m_title->setText(title);
    m_title->setTextColor(p.text);
    m_plot->xAxis->setLabel(q.XAxisLabel);
    m_plot->yAxis->setLabel(q.YAxisLabel);
    m_plot->yAxis->setNumberFormat(QStringLiteral("f"));
    m_plot->yAxis->setNumberPrecision(std::clamp(int(q.DataPrecision), 0, 3));

    const double size = markerSize(q.PointSize);
    const bool drawLine = q.PlottingMethod != PEGraph::gPoint;
    for (qsizetype s = 0; s < m_lines.size(); ++s) {
        const QColor color = p.monochrome ? QColor(Qt::black) : m_colors.value(s);
        m_lines[s]->setPen(QPen(color, 0));
        m_lines[s]->setLineStyle(drawLine ? QCPGraph::lsLine : QCPGraph::lsNone);
        m_markers[s]->setScatterStyle(
            QCPScatterStyle(QCPScatterStyle::ssDisc, QPen(color, 0), QBrush(color), size));
    }

    m_cursor->setPen(QPen(p.cursor, 0));
    QColor band = p.cursor;
    band.setAlpha(40);
    m_plot->selectionRect()->setPen(QPen(p.cursor, 0, Qt::DashLine));
    m_plot->selectionRect()->setBrush(band);

    // The templates reserve room for the widest value and time labels, so the
    // plot area does not jump as the values change.
    const QFontMetricsF tickMetrics(tickFont);
    const QFontMetricsF labelMetrics(labelFont);
    const QString valueTemplate =
        q.ManualMaxDataString.isEmpty() ? QStringLiteral("-0000.000") : q.ManualMaxDataString;
    const QString pointTemplate =
        q.ManualMaxPointLabel.isEmpty() ? QStringLiteral("00:00:00") : q.ManualMaxPointLabel;
    m_labelFont = tickFont;
    m_labelTemplateWidth = tickMetrics.horizontalAdvance(pointTemplate);
    QCPAxis* y = m_plot->yAxis;
    const int left = int(std::ceil(tickMetrics.horizontalAdvance(valueTemplate))) + y->padding() +
                     y->tickLengthOut() + y->tickLabelPadding() + y->labelPadding() +
                     int(std::ceil(labelMetrics.height())) + 4;
    const int right = int(std::ceil(m_labelTemplateWidth / 2.0)) + 6;
    m_plot->axisRect()->setMinimumMargins(QMargins(left, 6, right, 0));
}

void PEGraphEngine::applyFullView()
{
    const int n = pointCount();
    const int shown = (m_pointsToGraph > 0 && m_pointsToGraph < n) ? m_pointsToGraph : n;
    if (n == 0)
        m_plot->xAxis->setRange(-0.5, 0.5);
    else if (m_anchorLast)
        m_plot->xAxis->setRange(n - shown - 0.5, n - 0.5);
    else
        m_plot->xAxis->setRange(-0.5, shown - 0.5);

    const auto [autoLow, autoHigh] = chart::autoScale(m_dataLow, m_dataHigh);
    double low = autoLow;
    double high = autoHigh;
    switch (m_scaleControl) {
    case PEGraph::gManualMinAndMax:
        low = m_manualMin;
        high = m_manualMax;
        break;
    case PEGraph::gManualMin:
        low = m_manualMin;
        break;
    case PEGraph::gManualMax:
        high = m_manualMax;
        break;
    case PEGraph::gNone:
        break;
    }
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = autoLow;
        high = autoHigh;
    }
    if (low > high)
        std::swap(low, high);
    if (high - low <= std::max(std::abs(high), 1.0) * 1e-12) {
        const auto [padLow, padHigh] = chart::autoScale(low, low);
        low = padLow;
        high = padHigh;
    }
    m_plot->yAxis->setRange(low, high);
    m_plot->xAxis2->setRange(m_plot->xAxis->range());
    m_plot->yAxis2->setRange(m_plot->yAxis->range());
}

void PEGraphEngine::requestReplot()
{
    m_replotQueued = true;
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QString PEGraphEngine::displayLabel(int point) const
{
    if (point < 0 || point >= m_labels.size())
        return {};
    return m_labels[point].trimmed();
}

int PEGraphEngine::labelAnchor() const
{
    return m_anchorLast ? std::max(0, pointCount() - 1) : 0;
}

double PEGraphEngine::labelWidth(int point) const
{
    return QFontMetricsF(m_labelFont).horizontalAdvance(displayLabel(point));
}

double PEGraphEngine::estimatedAxisPixels() const
{
    // Ticks are made before the layout of the replot that shows them, so the
    // margins of the last layout (or the reserved minimum) stand in for this one's.
    const QCPAxisRect* rect = m_plot->axisRect();
    const QMargins margins = rect->margins();
    const QMargins minimum = rect->minimumMargins();
    const int left = std::max(margins.left(), minimum.left());
    const int right = std::max(margins.right(), minimum.right());
    return std::max(0, m_plot->viewport().width() - left - right);
}

QRect PEGraphEngine::plotArea() const
{
    return m_plot->axisRect()->rect();
}

int PEGraphEngine::pointPixelX(int point) const
{
    return int(std::lround(m_plot->xAxis->coordToPixel(point)));
}

double PEGraphEngine::plottedValue(int subset, int point) const
{
    if (subset < 0 || subset >= m_lines.size())
        return std::numeric_limits<double>::quiet_NaN();
    const auto data = m_lines[subset]->data();
    if (point < 0 || point >= data->size())
        return std::numeric_limits<double>::quiet_NaN();
    return data->at(point)->value;
}

int PEGraphEngine::markerCount(int subset) const
{
    if (subset < 0 || subset >= m_markers.size())
        return 0;
    return m_markers[subset]->data()->size();
}

std::pair<double, double> PEGraphEngine::visibleXRange() const
{
    return {m_plot->xAxis->range().lower, m_plot->xAxis->range().upper};
}

std::pair<double, double> PEGraphEngine::visibleYRange() const
{
    return {m_plot->yAxis->range().lower, m_plot->yAxis->range().upper};
}

} // namespace dmm
