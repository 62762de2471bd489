// SPDX-License-Identifier: MIT
#include "PEGraphEngine.h"

#include "AtomicFile.h"
#include "ChartLogic.h"
#include "PrintSession.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImageWriter>
#include <QMimeData>
#include <QPrinter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <functional>

#include <algorithm>
#include <cmath>
#include <limits>

namespace dmm {

namespace {

// Pictures are laid out at screen resolution: the layout's font metrics come
// from the screen, so any other device resolution would misplace the texts.
constexpr int kLayoutDpi = 96;
constexpr int kMaxPicturePixels = 10000;
constexpr int kMaxSubsets = 64;
// Below this many pixels from one point to the next the markers would merge
// into a band; the line alone reads better.
constexpr double kMinMarkerSpacing = 2.0;
// A mouse press and release closer than this (Manhattan pixels) is a click;
// QCustomPlot uses the same threshold to tell clicks from drags.
constexpr int kClickSlop = 3;
// A rubber band thinner than this in one direction does not zoom that direction.
constexpr int kMinZoomPixels = 4;
// Default picture size when the chart has never been laid out on screen.
constexpr QSize kFallbackSize(800, 600);

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

bool isUsableSize(QSize size)
{
    return size.width() >= 1 && size.height() >= 1 && size.width() <= kMaxPicturePixels &&
           size.height() <= kMaxPicturePixels;
}

bool saveBytes(const QString& fileName, const QByteArray& bytes, QString* error)
{
    if (const auto reason = writeFileAtomically(fileName, bytes)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(fileName, *reason);
        return false;
    }
    return true;
}

// QSvgGenerator states the size as pixels over its whole-number resolution,
// which misses most millimetre sizes by a fraction; the outer element gets the
// exact size the caller asked for.
QByteArray withPhysicalSize(QByteArray svg, QSize hundredths)
{
    static const QRegularExpression outer(
        QStringLiteral("<svg\\s+width=\"[^\"]*\"\\s+height=\"[^\"]*\""));
    const QString text = QString::fromUtf8(svg);
    const QRegularExpressionMatch match = outer.match(text);
    if (!match.hasMatch())
        return svg;
    const QString replacement = QStringLiteral("<svg width=\"%1mm\" height=\"%2mm\"")
                                    .arg(hundredths.width() / 100.0, 0, 'g', 12)
                                    .arg(hundredths.height() / 100.0, 0, 'g', 12);
    QString fixed = text;
    fixed.replace(match.capturedStart(), match.capturedLength(), replacement);
    return fixed.toUtf8();
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

namespace {

// Exports draw the chart at another size without the cursor; afterwards the
// screen is laid out again.
class ExportScope
{
public:
    ExportScope(QCPItemStraightLine* cursor, std::function<void()> restore)
        : m_cursor(cursor), m_visible(cursor->visible()), m_restore(std::move(restore))
    {
        m_cursor->setVisible(false);
    }
    ~ExportScope()
    {
        m_cursor->setVisible(m_visible);
        m_restore();
    }
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

private:
    QCPItemStraightLine* m_cursor;
    bool m_visible;
    std::function<void()> m_restore;
};

} // namespace

PEGraphEngine::PEGraphEngine(PEGraph& owner) : q(owner)
{
    m_plot = new QCustomPlot(&q);
    m_plot->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(&q);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_plot);
    q.setFocusPolicy(Qt::StrongFocus);

    m_plot->plotLayout()->insertRow(0);
    m_title = new QCPTextElement(m_plot, QString(),
                                 QFont(QStringLiteral("Times New Roman"), 12, QFont::Bold));
    m_plot->plotLayout()->addElement(0, 0, m_title);

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

void PEGraphEngine::placeCursor()
{
    m_cursor->point1->setCoords(m_cursorPoint, 0.0);
    m_cursor->point2->setCoords(m_cursorPoint, 1.0);
    m_cursor->setVisible(m_cursorShown && pointCount() > 0);
}

void PEGraphEngine::requestReplot()
{
    m_replotQueued = true;
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void PEGraphEngine::repaintCursor()
{
    // Before the first full replot the layer has no buffer of its own, and a
    // pending full replot draws the cursor anyway.
    if (m_replotQueued || !m_replotted || !m_plot->isVisible())
        requestReplot();
    else
        m_cursorLayer->replot();
}

void PEGraphEngine::setCursorPoint(int index, bool byUser)
{
    ensureShape();
    const int n = pointCount();
    index = n > 0 ? std::clamp(index, 0, n - 1) : 0;
    const bool moved = index != m_cursorPoint;
    m_cursorPoint = index;
    placeCursor();
    if (byUser && keepCursorInView())
        requestReplot();
    else
        repaintCursor();
    if (byUser && moved)
        emit q.OnCursorMoved();
}

bool PEGraphEngine::keepCursorInView()
{
    if (!m_zoomed)
        return false;
    const QCPRange range = m_plot->xAxis->range();
    double shift = 0.0;
    if (m_cursorPoint < range.lower)
        shift = m_cursorPoint - 0.5 - range.lower;
    else if (m_cursorPoint > range.upper)
        shift = m_cursorPoint + 0.5 - range.upper;
    if (shift == 0.0)
        return false;
    m_plot->xAxis->moveRange(shift);
    m_plot->xAxis2->setRange(m_plot->xAxis->range());
    return true;
}

bool PEGraphEngine::keyPressed(int key)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The owner pages through its data on these.
        return true;
    case Qt::Key_Escape:
        // The keys come to the owner, not the plot: cancel a rubber band here.
        if (!m_plot->selectionRect()->isActive())
            return false;
        m_plot->selectionRect()->cancel();
        return true;
    default:
        return false;
    }
    if (!m_cursorShown)
        return true;
    const int n = pointCount();
    int target = m_cursorPoint;
    if (key == Qt::Key_Left)
        target = m_cursorPoint - 1;
    else if (key == Qt::Key_Right)
        target = m_cursorPoint + 1;
    else if (key == Qt::Key_Home)
        target = 0;
    else
        target = n - 1;
    setCursorPoint(target, true);
    return true;
}

void PEGraphEngine::clicked(const QPoint& pos)
{
    if (!m_mouseCursor || !m_cursorShown || pointCount() == 0)
        return;
    if (!m_plot->axisRect()->rect().contains(pos))
        return;
    setCursorPoint(int(std::lround(m_plot->xAxis->pixelToCoord(pos.x()))), true);
}

void PEGraphEngine::zoomTo(const QRect& pixels)
{
    if (m_zooming == PEGraph::gNoZooming)
        return;
    const QRect r = pixels.normalized().intersected(m_plot->axisRect()->rect());
    const bool horizontal =
        m_zooming == PEGraph::gHorzZooming || m_zooming == PEGraph::gHorzPlusVertZooming;
    const bool vertical =
        m_zooming == PEGraph::gVertZooming || m_zooming == PEGraph::gHorzPlusVertZooming;
    const bool zoomX = horizontal && r.width() >= kMinZoomPixels;
    const bool zoomY = vertical && r.height() >= kMinZoomPixels;
    if (!zoomX && !zoomY)
        return;
    if (zoomX) {
        double low = m_plot->xAxis->pixelToCoord(r.left());
        double high = m_plot->xAxis->pixelToCoord(r.right());
        // At least one point's width stays in view.
        if (high - low < 1.0) {
            const double middle = (low + high) / 2.0;
            low = middle - 0.5;
            high = middle + 0.5;
        }
        m_plot->xAxis->setRange(low, high);
        m_plot->xAxis2->setRange(m_plot->xAxis->range());
    }
    if (zoomY) {
        const double low = m_plot->yAxis->pixelToCoord(r.bottom());
        const double high = m_plot->yAxis->pixelToCoord(r.top());
        if (high > low) {
            m_plot->yAxis->setRange(low, high);
            m_plot->yAxis2->setRange(m_plot->yAxis->range());
        }
    }
    m_zoomed = true;
    requestReplot();
    emit q.OnZoomIn();
}

void PEGraphEngine::undoZoom()
{
    m_zoomed = false;
    applyFullView();
    requestReplot();
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

QSize PEGraphEngine::defaultPixelSize() const
{
    const QSize size = q.size();
    if (size.width() < 200 || size.height() < 150)
        return kFallbackSize;
    return size;
}

bool PEGraphEngine::fail(const QString& why)
{
    q.m_lastError = why;
    return false;
}

QImage PEGraphEngine::renderBitmap(QSize pixels, QString* error)
{
    if (!isUsableSize(pixels)) {
        *error = QStringLiteral("A picture of %1 by %2 pixels cannot be made.")
                     .arg(pixels.width())
                     .arg(pixels.height());
        return {};
    }
    ExportScope scope(m_cursor, [this] { requestReplot(); });
    const QPixmap pixmap = m_plot->toPixmap(pixels.width(), pixels.height(), 1.0);
    if (pixmap.isNull()) {
        *error = QStringLiteral("Not enough memory for a picture of %1 by %2 pixels.")
                     .arg(pixels.width())
                     .arg(pixels.height());
        return {};
    }
    return pixmap.toImage();
}

QByteArray PEGraphEngine::renderSvg(QSize hundredths, QString* error)
{
    const QSize pixels = chart::hundredthsToPixels(hundredths, kLayoutDpi);
    if (hundredths.width() < 1 || hundredths.height() < 1 || !isUsableSize(pixels)) {
        *error = QStringLiteral("A picture of %1 by %2 hundredths of a millimetre cannot be made.")
                     .arg(hundredths.width())
                     .arg(hundredths.height());
        return {};
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(pixels);
    generator.setViewBox(QRect(QPoint(0, 0), pixels));
    generator.setResolution(kLayoutDpi);
    generator.setTitle(q.MainTitle);
    {
        ExportScope scope(m_cursor, [this] { requestReplot(); });
        QCPPainter painter;
        if (!painter.begin(&generator)) {
            *error = QStringLiteral("The picture could not be drawn.");
            return {};
        }
        painter.setMode(QCPPainter::pmVectorized);
        m_plot->toPainter(&painter, pixels.width(), pixels.height());
        painter.end();
    }
    return withPhysicalSize(buffer.data(), hundredths);
}

bool PEGraphEngine::writeBitmapFile()
{
    if (m_actionFileName.isEmpty())
        return fail(QStringLiteral("No file name was given."));
    const QSize pixels = (m_actionWidth > 0 && m_actionHeight > 0)
                             ? QSize(m_actionWidth, m_actionHeight)
                             : defaultPixelSize();
    QString error;
    const QImage image = renderBitmap(pixels, &error);
    if (image.isNull())
        return fail(error);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, chart::bitmapFileFormat(m_actionFileName));
    if (!writer.write(image))
        return fail(writer.errorString());
    if (!saveBytes(m_actionFileName, bytes, &error))
        return fail(error);
    return true;
}

bool PEGraphEngine::writeSvgFile()
{
    if (m_actionFileName.isEmpty())
        return fail(QStringLiteral("No file name was given."));
    const QSize hundredths = (m_actionWidth > 0 && m_actionHeight > 0)
                                 ? QSize(m_actionWidth, m_actionHeight)
                                 : chart::pixelsToHundredths(defaultPixelSize(), kLayoutDpi);
    QString error;
    const QByteArray svg = renderSvg(hundredths, &error);
    if (svg.isEmpty())
        return fail(error);
    if (!saveBytes(m_actionFileName, svg, &error))
        return fail(error);
    return true;
}

bool PEGraphEngine::copySvg()
{
    const QSize hundredths = (m_actionWidth > 0 && m_actionHeight > 0)
                                 ? QSize(m_actionWidth, m_actionHeight)
                                 : chart::pixelsToHundredths(defaultPixelSize(), kLayoutDpi);
    QString error;
    const QByteArray svg = renderSvg(hundredths, &error);
    if (svg.isEmpty())
        return fail(error);
    // Programs that cannot take the vector picture paste the bitmap instead.
    const QImage image = renderBitmap(chart::hundredthsToPixels(hundredths, kLayoutDpi), &error);
    if (image.isNull())
        return fail(error);
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/svg+xml"), svg);
    mime->setImageData(image);
    QApplication::clipboard()->setMimeData(mime);
    return true;
}

bool PEGraphEngine::copyBitmap()
{
    const QSize pixels = (m_actionWidth > 0 && m_actionHeight > 0)
                             ? QSize(m_actionWidth, m_actionHeight)
                             : defaultPixelSize();
    QString error;
    const QImage image = renderBitmap(pixels, &error);
    if (image.isNull())
        return fail(error);
    QApplication::clipboard()->setImage(image);
    return true;
}

bool PEGraphEngine::printChart()
{
    return printAt(defaultPixelSize(), true);
}

bool PEGraphEngine::printImage()
{
    const QSize hundredths =
        (m_actionWidth > 0 && m_actionHeight > 0)
            ? chart::printImageSize(QSize(m_actionWidth, m_actionHeight), kLayoutDpi)
            : chart::pixelsToHundredths(defaultPixelSize(), kLayoutDpi);
    const QSize pixels = chart::hundredthsToPixels(hundredths, kLayoutDpi);
    if (!isUsableSize(pixels))
        return fail(QStringLiteral("A picture of %1 by %2 cannot be printed.")
                        .arg(m_actionWidth)
                        .arg(m_actionHeight));
    return printAt(pixels, false);
}

bool PEGraphEngine::printAt(QSize pixels, bool fitToPage)
{
    QPrinter* printer = q.m_printer;
    if (!printer)
        return fail(QStringLiteral("No printer has been chosen."));
    // A printer that writes to a file would write a whole file per job, each
    // replacing the last: while a document is open, its pages share one job.
    const bool intoDocument = m_documentOpen && !printer->outputFileName().isEmpty();
    const bool continuing = intoDocument && m_document.printer() == printer;
    if (!continuing && printer->printerState() == QPrinter::Active)
        return fail(QStringLiteral("The printer is busy."));
    PrintSession single;
    PrintSession& session = intoDocument ? m_document : single;
    // Laid out at screen resolution and drawn 1:1 at 96 dpi, the texts keep
    // their size; at the printer's own resolution they would come out huge.
    const bool started = continuing ? session.newPage() : session.begin(printer, kLayoutDpi);
    if (!started) {
        if (intoDocument)
            m_document.end();
        return fail(QStringLiteral("The chart could not be printed."));
    }
    QCPPainter& painter = session.painter();
    painter.save();
    const QSizeF page = session.pageSize();
    double scale = std::min(page.width() / pixels.width(), page.height() / pixels.height());
    if (!fitToPage)
        scale = std::min(scale, 1.0);
    if (fitToPage)
        painter.translate((page.width() - pixels.width() * scale) / 2.0, 0.0);
    painter.scale(scale, scale);
    {
        ExportScope scope(m_cursor, [this] { requestReplot(); });
        m_plot->toPainter(&painter, pixels.width(), pixels.height());
    }
    painter.restore();
    const bool ok = intoDocument ? printer->printerState() != QPrinter::Error : single.end();
    if (!ok)
        return fail(QStringLiteral("The chart could not be printed."));
    return true;
}

void PEGraphEngine::beginPrintDocument()
{
    m_document.end();
    m_documentOpen = true;
}

bool PEGraphEngine::endPrintDocument()
{
    m_documentOpen = false;
    if (!m_document.isActive())
        return true;
    return m_document.end() || fail(QStringLiteral("The chart could not be printed."));
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
