// SPDX-License-Identifier: MIT
// The chart control both chart windows draw through. Its published properties
// are plain fields: set them, then RunAction(0) re-reads them with the data,
// rebuilds the picture and repaints. Only this folder knows the chart engine
// behind it (QCustomPlot).
#pragma once

#include <QColor>
#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>
#include <utility>

#include "ChartAction.h"

class QPrinter;

namespace dmm {

class PEGraphEngine;

class PEGraph : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kNullDataValue = -99999.0;

    enum PlottingMethodType
    {
        gLine,
        gPoint,
        gPointsPlusLine
    };
    enum PointSizeType
    {
        gMicroPoints,
        gSmallPoints,
        gMediumPoints,
        gLargePoints
    };
    enum DataPrecisionType
    {
        gNoDecimals,
        gOneDecimal,
        gTwoDecimals,
        gThreeDecimals
    };
    enum ManualScaleControlType
    {
        gNone,
        gManualMin,
        gManualMax,
        gManualMinAndMax
    };
    enum GridLineControlType
    {
        gYPlusXAxis,
        gYAxis,
        gXAxis,
        gNoGrid
    };
    enum GridStyleType
    {
        gThin,
        gThick,
        gDot,
        gDash
    };
    enum CursorModeType
    {
        gNoCursor,
        gVertLine
    };
    enum CursorPromptStyleType
    {
        gNoPrompt,
        gXValue,
        gYValue,
        gXYValues
    };
    enum AllowZoomingType
    {
        gNoZooming,
        gHorzZooming,
        gVertZooming,
        gHorzPlusVertZooming
    };
    enum PointsToGraphInitType
    {
        gFirst,
        gLast
    };
    enum ViewingStyleType
    {
        gColor,
        gMonochrome
    };

    explicit PEGraph(QWidget* parent = nullptr);
    ~PEGraph() override;

    // Published properties, read by RunAction(0) and RunAction(2).
    QString MainTitle;
    QString SubTitle;
    QString XAxisLabel;
    QString YAxisLabel;
    int Subsets = 1;
    int Points = 0; // setting it resizes every subset, new points null
    int PointsToGraph = 0;
    int MaxPointsToGraph = 0;
    PointsToGraphInitType PointsToGraphInit = gLast;
    ManualScaleControlType ManualScaleControlY = gNone;
    double ManualMinY = 0.0;
    double ManualMaxY = 0.0;
    double NullDataValue = kNullDataValue;
    PlottingMethodType PlottingMethod = gLine;
    PointSizeType PointSize = gMediumPoints;
    DataPrecisionType DataPrecision = gTwoDecimals;
    GridLineControlType GridLineControl = gYPlusXAxis;
    GridStyleType GridStyle = gThin;
    bool NoStackedData = false;
    bool AllowHistogram = true;
    bool AllowDataHotSpots = false;
    bool AllowPopup = true;
    AllowZoomingType AllowZooming = gNoZooming;
    CursorModeType CursorMode = gNoCursor;
    CursorPromptStyleType CursorPromptStyle = gNoPrompt;
    bool MouseCursorControl = false;
    QString ManualMaxDataString; // a template that sizes the Y axis labels
    QString ManualMaxPointLabel; // a template that sizes the X axis labels
    QColor DeskColor = Qt::lightGray;
    QColor GraphBackColor = Qt::white;
    QColor GraphForeColor = Qt::black;
    ViewingStyleType ViewingStyle = gColor;
    bool PrepareImages = false;

    // Data. A point whose value equals NullDataValue is not drawn and breaks the line.
    void SetYData(int subset, int point, double value);
    double GetYData(int subset, int point) const;
    void SetPointLabel(int point, const QString& text);
    QString GetPointLabel(int point) const;
    // Adds a point at the right end and shifts the others one place left,
    // keeping Points points.
    void AppendPoint(const QString& label, double value);
    void SetSubsetColor(int subset, const QColor& color);
    QColor GetSubsetColor(int subset) const;
    void SetSubsetStyle(int subset, int style);

    // The vertical cursor, as a point index.
    void SetCursorPoint(int index);
    int GetCursorPoint() const;

    // Actions. Sizes are pixels for bitmaps and hundredths of a millimetre for
    // metafiles (SVG); 0 by 0 asks for the default size.
    void SetActionWidth(int width);
    void SetActionHeight(int height);
    void SetActionFileName(const QString& fileName);
    // 0 rebuild and repaint, 2 rebuild, 8 print the chart, 12/14 metafile/bitmap
    // to the clipboard, 13/15 metafile/bitmap to the action file, 18 print the
    // image, 19 undo all zooming. False when a file or the printer failed;
    // lastError() then says why.
    bool RunAction(int code);
    bool RunAction(ChartAction action) { return RunAction(static_cast<int>(action)); }
    QString lastError() const { return m_lastError; }

    // Prints in black and white: monochrome, the image rebuilt (and drawn,
    // with `drawFirst`), `print` run, colour again and `after` run. The result
    // is the print's.
    bool printInBlackAndWhite(ChartAction print, ChartAction after, bool drawFirst = false);

    // The printer that codes 8 and 18 print on (the one chosen in Printer Setup).
    // Without one, printing fails.
    void setPrinter(QPrinter* printer) { m_printer = printer; }
    // Pages printed between these two calls go into one document, a sheet
    // each, when the printer writes to a file (a PDF): a job per page would
    // leave only the last page in the file. A real printer still gets a job
    // per page. endPrintDocument is false when finishing the file failed.
    void beginPrintDocument();
    bool endPrintDocument();

    // True while zoomed in (between OnZoomIn and RunAction(19)).
    bool isZoomed() const;

    // Looks inside, for tests: the widget that draws and takes the mouse, the
    // plot area and a point's x position in its coordinates, the value the
    // line is drawn through (NaN where it breaks), the number of point markers
    // drawn and the visible ranges (x in points, y in values).
    QWidget* canvas() const;
    QRect plotArea() const;
    int pointPixelX(int point) const;
    double plottedValue(int subset, int point) const;
    int markerCount(int subset) const;
    std::pair<double, double> visibleXRange() const;
    std::pair<double, double> visibleYRange() const;

signals:
    void OnCursorMoved();
    void OnZoomIn();
    void OnKeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class PEGraphEngine;
    std::unique_ptr<PEGraphEngine> m_engine;
    QPrinter* m_printer = nullptr;
    QString m_lastError;
};

} // namespace dmm
