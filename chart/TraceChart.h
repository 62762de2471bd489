// SPDX-License-Identifier: MIT
// A chart of several traces on one axis of date and time: each trace its own
// colour, a value axis on the left and one on the right, a legend above the
// plot, a vertical cursor at a time, rubber-band zoom along the time axis.
// Only this folder knows the chart engine behind it (QCustomPlot).
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>
#include <utility>

class QPrinter;

namespace dmm {

class TraceChartEngine;

struct ChartTrace
{
    QString name; // the legend's entry
    QColor colour;
    int axis = 0;          // 0 the left value axis, 1 the right
    QVector<double> times; // seconds since the epoch, ascending
    QVector<double> values;
};

class TraceChart : public QWidget
{
    Q_OBJECT
public:
    explicit TraceChart(QWidget* parent = nullptr);
    ~TraceChart() override;

    // Shows `traces` in full, unzoomed, with `axisLabels` on the left and (a
    // second one) the right value axis. The cursor stays at its time, or goes
    // to the first time shown when that is outside.
    void setTraces(const QVector<ChartTrace>& traces, const QStringList& axisLabels);
    // The title above and the time axis's label.
    void setTitles(const QString& title, const QString& timeLabel);

    // The cursor's time, in seconds since the epoch.
    void setCursorTime(double seconds);
    double cursorTime() const;

    void undoZoom();
    bool isZoomed() const;

    // Pictures of the chart without its cursor.
    QImage renderBitmap(QSize pixels) const;
    QByteArray renderSvg(QSize pixels) const;
    // On the page of `printer`, in black and white when `monochrome`; false
    // when the printer could not be started.
    bool print(QPrinter* printer, bool monochrome) const;

    // Looks inside, for tests and the picture: the legend's names in order,
    // the plot area, a time's x position in its coordinates and the value
    // axes' labels.
    QStringList legendNames() const;
    QRect plotArea() const;
    int timePixelX(double seconds) const;
    QStringList axisLabels() const;
    std::pair<double, double> visibleTimeRange() const;

signals:
    // The user moved the cursor (click, arrow keys).
    void cursorMoved(double seconds);
    void zoomedIn();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<TraceChartEngine> m_engine;
};

} // namespace dmm
