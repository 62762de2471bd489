// SPDX-License-Identifier: MIT
// The chart control's engine: the QCustomPlot behind PEGraph, the point data,
// the cursor, zooming and the picture output. Private to this folder.
#pragma once

#include "PEGraph.h"
#include "PrintSession.h"

#include <qcustomplot.h>

#include <QSharedPointer>

namespace dmm {

class PointLabelTicker;
class MarkerGraph;

class PEGraphEngine
{
public:
    explicit PEGraphEngine(PEGraph& owner);
    ~PEGraphEngine();
    PEGraphEngine(const PEGraphEngine&) = delete;
    PEGraphEngine& operator=(const PEGraphEngine&) = delete;

    QCustomPlot* plot() const { return m_plot; }

    // Data, sized to the owner's Points and Subsets on every access.
    void setValue(int subset, int point, double value);
    double value(int subset, int point) const;
    void setLabel(int point, const QString& text);
    QString label(int point) const;
    void appendPoint(const QString& label, double value);
    void setSubsetColor(int subset, const QColor& color);
    QColor subsetColor(int subset) const;
    void setSubsetStyle(int subset, int style);

    void setCursorPoint(int index, bool byUser);
    int cursorPoint() const { return m_cursorPoint; }
    bool keyPressed(int key);

    // Re-reads the owner's properties and data into the plot.
    void rebuild();
    void undoZoom();
    bool isZoomed() const { return m_zoomed; }

    void setActionWidth(int width) { m_actionWidth = width; }
    void setActionHeight(int height) { m_actionHeight = height; }
    void setActionFileName(const QString& name) { m_actionFileName = name; }

    bool printChart();
    bool printImage();
    void beginPrintDocument();
    bool endPrintDocument();
    bool writeSvgFile();
    bool writeBitmapFile();
    bool copySvg();
    bool copyBitmap();

    // Looks inside for tests.
    QRect plotArea() const;
    int pointPixelX(int point) const;
    double plottedValue(int subset, int point) const;
    int markerCount(int subset) const;
    std::pair<double, double> visibleXRange() const;
    std::pair<double, double> visibleYRange() const;

    // For the X axis ticker.
    int pointCount() const { return m_labels.size(); }
    QString displayLabel(int point) const;
    int labelAnchor() const;
    double labelTemplateWidth() const { return m_labelTemplateWidth; }
    double labelWidth(int point) const;
    double estimatedAxisPixels() const;

private:
    struct Palette
    {
        QColor desk;
        QColor back;
        QColor fore;
        QColor text;
        QColor axis;
        QColor grid;
        QColor cursor;
        bool monochrome = false;
    };

    void ensureShape();
    void rebuildGraphs();
    void applyLook();
    void applyFullView();
    void placeCursor();
    void requestReplot();
    void repaintCursor();
    void clicked(const QPoint& pos);
    void zoomTo(const QRect& pixels);
    bool keepCursorInView();
    Palette palette() const;
    QSize defaultPixelSize() const;
    // The picture size the last SetActionWidth/Height asked for, else the default.
    QSize actionPixels() const;
    QSize actionHundredths() const;
    QByteArray renderSvg(QSize hundredths, QString* error);
    QImage renderBitmap(QSize pixels, QString* error);
    bool printAt(QSize pixels, bool fitToPage);
    bool fail(const QString& why);

    PEGraph& q;
    QCustomPlot* m_plot = nullptr;
    QCPTextElement* m_title = nullptr;
    QCPItemStraightLine* m_cursor = nullptr;
    QCPLayer* m_cursorLayer = nullptr;
    QSharedPointer<PointLabelTicker> m_ticker;
    QVector<QCPGraph*> m_lines;
    QVector<MarkerGraph*> m_markers;

    QVector<QVector<double>> m_values; // [subset][point]
    QVector<QString> m_labels;
    QVector<QColor> m_colors;
    QVector<int> m_styles;
    double m_nullValue = PEGraph::kNullDataValue;
    double m_dataLow = 0.0; // over the non-null values of the last rebuild
    double m_dataHigh = 0.0;

    // Properties as the last rebuild read them.
    bool m_anchorLast = true;
    int m_pointsToGraph = 0;
    PEGraph::ManualScaleControlType m_scaleControl = PEGraph::gNone;
    double m_manualMin = 0.0;
    double m_manualMax = 0.0;
    QFont m_labelFont;
    double m_labelTemplateWidth = 0.0;

    int m_cursorPoint = 0;
    bool m_cursorShown = false;
    bool m_mouseCursor = false;
    PEGraph::AllowZoomingType m_zooming = PEGraph::gNoZooming;
    bool m_zoomed = false;
    int m_builtPoints = -1;
    bool m_replotQueued = false;
    bool m_replotted = false;
    QPoint m_pressPos;
    Qt::MouseButton m_pressButton = Qt::NoButton;

    int m_actionWidth = 0;
    int m_actionHeight = 0;
    QString m_actionFileName;

    bool m_documentOpen = false;
    PrintSession m_document; // active from a document's first page to its end
};

} // namespace dmm
