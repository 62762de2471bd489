// SPDX-License-Identifier: MIT
// The chart control: null points, point shifting, cursor by code, keys and
// mouse, rubber-band zoom and its undo, pictures to files, the clipboard and
// the printer, and the label and scale arithmetic behind it.
#include <QtTest>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPrinter>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>

#include "ChartLogic.h"
#include "PEGraph.h"

using namespace dmm;

namespace {

constexpr double kNull = PEGraph::kNullDataValue;

// The recorder's chart: 200 points, black plot area, silver line, manual scale.
void setUpLikeRecorder(PEGraph& graph)
{
    graph.MainTitle = QStringLiteral("Data Logger");
    graph.YAxisLabel = QStringLiteral("Reading");
    graph.XAxisLabel = QStringLiteral("Time");
    graph.Subsets = 1;
    graph.Points = graph.PointsToGraph = graph.MaxPointsToGraph = 200;
    graph.ManualMaxDataString = QStringLiteral("00000000.000");
    graph.ManualMaxPointLabel = QStringLiteral("00:00:00.000");
    graph.DataPrecision = PEGraph::gThreeDecimals;
    graph.GraphBackColor = Qt::black;
    graph.GraphForeColor = QColor(128, 0, 128);
    graph.SetSubsetColor(0, QColor(192, 192, 192));
    graph.ManualScaleControlY = PEGraph::gManualMinAndMax;
    graph.ManualMaxY = 100.0;
    graph.ManualMinY = -100.0;
    graph.PointsToGraphInit = PEGraph::gLast;
    graph.PointSize = PEGraph::gLargePoints;
    graph.GridLineControl = PEGraph::gYPlusXAxis;
    graph.GridStyle = PEGraph::gDot;
    graph.CursorMode = PEGraph::gVertLine;
    graph.MouseCursorControl = true;
    graph.AllowZooming = PEGraph::gHorzPlusVertZooming;
    for (int i = 0; i < 200; ++i) {
        graph.SetYData(0, i, 50.0 * std::sin(i / 10.0));
        graph.SetPointLabel(i, QStringLiteral(" 14:%1:%2.3  ")
                                   .arg(i / 60, 2, 10, QLatin1Char('0'))
                                   .arg(i % 60, 2, 10, QLatin1Char('0')));
    }
    graph.SetActionWidth(0);
    graph.SetActionHeight(0);
    graph.RunAction(0);
}

void showAndSettle(PEGraph& graph)
{
    graph.resize(900, 500);
    graph.show();
    QVERIFY(QTest::qWaitForWindowExposed(&graph));
    QCoreApplication::processEvents();
}

QSizeF svgSizeInMm(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("svg")) {
            const QString w = xml.attributes().value(QLatin1String("width")).toString();
            const QString h = xml.attributes().value(QLatin1String("height")).toString();
            if (!w.endsWith(QLatin1String("mm")) || !h.endsWith(QLatin1String("mm")))
                return {};
            return {w.chopped(2).toDouble(), h.chopped(2).toDouble()};
        }
    }
    return {};
}

bool isGrey(QRgb pixel)
{
    return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
}

} // namespace

class TestPEGraph : public QObject
{
    Q_OBJECT
private slots:
    void labelStep_data();
    void labelStep();
    void labelledPoints_data();
    void labelledPoints();
    void autoScale_data();
    void autoScale();
    void printImageSize_data();
    void printImageSize();

    void nullPointsBreakTheLine_data();
    void nullPointsBreakTheLine();
    void pointsResizeKeepsData();
    void appendPointShiftsLeft();
    void cursorFromCodeClampsWithoutSignal_data();
    void cursorFromCodeClampsWithoutSignal();
    void keysMoveTheCursor_data();
    void keysMoveTheCursor();
    void clickMovesTheCursor();
    void dragZoomsAndUndoReturnsToFullView();
    void rebuildKeepsZoomUnlessPointsChange();
    void escapeCancelsTheRubberBand();

    void pictureFileHasRequestedSize_data();
    void pictureFileHasRequestedSize();
    void failedWriteLeavesNoFile_data();
    void failedWriteLeavesNoFile();
    void clipboardGetsPictures();
    void picturesLeaveTheCursorOut();
    void monochromeIsBlackOnWhite();
    void printsToPdf_data();
    void printsToPdf();
    void printingWithoutPrinterFails();
    void viewerSizedLoadMarksEveryPoint();
};

void TestPEGraph::labelStep_data()
{
    QTest::addColumn<double>("visible");
    QTest::addColumn<double>("axis");
    QTest::addColumn<double>("label");
    QTest::addColumn<int>("step");
    // 200 points over 800 px: 4 px a point; 60 px label + 14 gap = 74 px -> 18.5 -> 20.
    QTest::newRow("recorder page") << 200.0 << 800.0 << 60.0 << 20;
    QTest::newRow("between 20 and 50 takes 25") << 200.0 << 800.0 << 80.0 << 25;
    QTest::newRow("roomy axis labels every point") << 10.0 << 1000.0 << 60.0 << 1;
    QTest::newRow("viewer") << 8191.0 << 1200.0 << 60.0 << 1000;
    QTest::newRow("no axis shows one label") << 200.0 << 0.0 << 60.0 << 200;
    QTest::newRow("nothing visible") << 0.0 << 800.0 << 60.0 << 1;
}

void TestPEGraph::labelStep()
{
    QFETCH(double, visible);
    QFETCH(double, axis);
    QFETCH(double, label);
    QFETCH(int, step);
    QCOMPARE(chart::labelStep(visible, axis, label), step);
}

void TestPEGraph::labelledPoints_data()
{
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<QVector<int>>("points");
    QTest::newRow("anchored at the newest")
        << -0.5 << 199.5 << 200 << 50 << 199 << QVector<int>{49, 99, 149, 199};
    QTest::newRow("anchored at the first")
        << -0.5 << 199.5 << 200 << 50 << 0 << QVector<int>{0, 50, 100, 150};
    QTest::newRow("zoomed in") << 10.2 << 14.7 << 200 << 2 << 199 << QVector<int>{11, 13};
    QTest::newRow("range beyond the data")
        << -20.0 << 500.0 << 5 << 2 << 4 << QVector<int>{0, 2, 4};
    QTest::newRow("no points") << -0.5 << 0.5 << 0 << 1 << 0 << QVector<int>{};
    QTest::newRow("between two points") << 3.2 << 3.8 << 10 << 1 << 9 << QVector<int>{};
}

void TestPEGraph::labelledPoints()
{
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(int, count);
    QFETCH(int, step);
    QFETCH(int, anchor);
    QFETCH(QVector<int>, points);
    QCOMPARE(chart::labelledPoints(lower, upper, count, step, anchor), points);
}

void TestPEGraph::autoScale_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::newRow("span padded a twentieth") << 0.0 << 100.0 << -5.0 << 105.0;
    QTest::newRow("flat line") << 10.0 << 10.0 << 9.0 << 11.0;
    QTest::newRow("flat at zero") << 0.0 << 0.0 << -1.0 << 1.0;
    QTest::newRow("no data") << qInf() << -qInf() << -1.0 << 1.0;
}

void TestPEGraph::autoScale()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, lower);
    QFETCH(double, upper);
    const auto range = chart::autoScale(low, high);
    QCOMPARE(range.first, lower);
    QCOMPARE(range.second, upper);
}

void TestPEGraph::printImageSize_data()
{
    QTest::addColumn<QSize>("action");
    QTest::addColumn<QSize>("hundredths");
    QTest::newRow("metafile default") << QSize(10000, 6810) << QSize(10000, 6810);
    QTest::newRow("bitmap default as pixels") << QSize(1000, 681) << QSize(26458, 18018);
    QTest::newRow("96 pixels are an inch") << QSize(96, 48) << QSize(2540, 1270);
}

void TestPEGraph::printImageSize()
{
    QFETCH(QSize, action);
    QFETCH(QSize, hundredths);
    QCOMPARE(chart::printImageSize(action, 96), hundredths);
}

void TestPEGraph::nullPointsBreakTheLine_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<int>("markers");
    QTest::addColumn<double>("low"); // the automatic scale, from the plotted points only
    QTest::addColumn<double>("high");
    QTest::newRow("gap in the middle") << QVector<double>{1, 2, kNull, 4, 5} << 4 << 0.8 << 5.2;
    QTest::newRow("empty slots on the left")
        << QVector<double>{kNull, kNull, kNull, 4, 5} << 2 << 3.95 << 5.05;
    QTest::newRow("empty at both ends")
        << QVector<double>{kNull, 10, 20, kNull} << 2 << 9.5 << 20.5;
    QTest::newRow("all empty") << QVector<double>{kNull, kNull, kNull} << 0 << -1.0 << 1.0;
    QTest::newRow("lone point between gaps") << QVector<double>{kNull, 7, kNull} << 1 << 6.3 << 7.7;
    QTest::newRow("not a number counts as empty")
        << QVector<double>{1, qQNaN(), 3} << 2 << 0.9 << 3.1;
}

void TestPEGraph::nullPointsBreakTheLine()
{
    QFETCH(QVector<double>, values);
    QFETCH(int, markers);
    PEGraph graph;
    graph.Points = int(values.size());
    for (int i = 0; i < values.size(); ++i)
        graph.SetYData(0, i, values[i]);
    QVERIFY(graph.RunAction(0));
    for (int i = 0; i < values.size(); ++i) {
        const bool empty = values[i] == kNull || std::isnan(values[i]);
        QCOMPARE(std::isnan(graph.plottedValue(0, i)), empty);
        if (!empty)
            QCOMPARE(graph.plottedValue(0, i), values[i]);
    }
    QCOMPARE(graph.markerCount(0), markers);
    const auto [low, high] = graph.visibleYRange();
    QTEST(low, "low");
    QTEST(high, "high");
}

void TestPEGraph::pointsResizeKeepsData()
{
    PEGraph graph;
    graph.Points = 3;
    for (int i = 0; i < 3; ++i) {
        graph.SetYData(0, i, i + 1.0);
        graph.SetPointLabel(i, QString::number(i));
    }
    graph.RunAction(0);
    graph.Points = 5;
    graph.RunAction(0);
    QCOMPARE(graph.GetYData(0, 2), 3.0);
    QCOMPARE(graph.GetPointLabel(2), QStringLiteral("2"));
    QCOMPARE(graph.GetYData(0, 4), kNull);
    QVERIFY(std::isnan(graph.plottedValue(0, 4)));
    QCOMPARE(graph.markerCount(0), 3);
    // Data set right after Points changes, before any rebuild, lands too.
    graph.Points = 8191;
    graph.SetYData(0, 8190, 5.0);
    QCOMPARE(graph.GetYData(0, 8190), 5.0);
    graph.Points = 2;
    graph.RunAction(0);
    QCOMPARE(graph.markerCount(0), 2);
    QCOMPARE(graph.GetYData(0, 2), kNull);
    QCOMPARE(graph.GetPointLabel(5), QString());
}

void TestPEGraph::appendPointShiftsLeft()
{
    PEGraph graph;
    graph.Points = 3;
    graph.SetYData(0, 0, 1.0);
    graph.SetYData(0, 1, 2.0);
    graph.SetYData(0, 2, kNull);
    graph.SetPointLabel(0, QStringLiteral("a"));
    graph.SetPointLabel(1, QStringLiteral("b"));
    graph.AppendPoint(QStringLiteral("d"), 4.0);
    QCOMPARE(graph.GetYData(0, 0), 2.0);
    QCOMPARE(graph.GetYData(0, 1), kNull);
    QCOMPARE(graph.GetYData(0, 2), 4.0);
    QCOMPARE(graph.GetPointLabel(0), QStringLiteral("b"));
    QCOMPARE(graph.GetPointLabel(2), QStringLiteral("d"));
    graph.RunAction(0);
    QCOMPARE(graph.markerCount(0), 2);

    PEGraph empty;
    empty.AppendPoint(QStringLiteral("x"), 1.0); // no points: nothing to shift into
    QCOMPARE(empty.GetYData(0, 0), kNull);
}

void TestPEGraph::cursorFromCodeClampsWithoutSignal_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("expected");
    QTest::newRow("inside") << 57 << 57;
    QTest::newRow("last") << 199 << 199;
    QTest::newRow("past the end") << 500 << 199;
    QTest::newRow("negative") << -5 << 0;
}

void TestPEGraph::cursorFromCodeClampsWithoutSignal()
{
    QFETCH(int, requested);
    QFETCH(int, expected);
    PEGraph graph;
    setUpLikeRecorder(graph);
    QSignalSpy moved(&graph, &PEGraph::OnCursorMoved);
    graph.SetCursorPoint(requested);
    QCOMPARE(graph.GetCursorPoint(), expected);
    QCOMPARE(moved.count(), 0);
}

void TestPEGraph::keysMoveTheCursor_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("movedSignal");
    QTest::newRow("left") << 100 << int(Qt::Key_Left) << 99 << true;
    QTest::newRow("right") << 100 << int(Qt::Key_Right) << 101 << true;
    QTest::newRow("home") << 100 << int(Qt::Key_Home) << 0 << true;
    QTest::newRow("end") << 100 << int(Qt::Key_End) << 199 << true;
    QTest::newRow("left at the start stays") << 0 << int(Qt::Key_Left) << 0 << false;
    QTest::newRow("right at the end stays") << 199 << int(Qt::Key_Right) << 199 << false;
    QTest::newRow("page up is only reported") << 100 << int(Qt::Key_PageUp) << 100 << false;
    QTest::newRow("page down is only reported") << 100 << int(Qt::Key_PageDown) << 100 << false;
}

void TestPEGraph::keysMoveTheCursor()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    QFETCH(bool, movedSignal);
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    graph.SetCursorPoint(start);
    QSignalSpy moved(&graph, &PEGraph::OnCursorMoved);
    QSignalSpy keyDown(&graph, &PEGraph::OnKeyDown);
    QTest::keyClick(&graph, Qt::Key(key));
    QCOMPARE(graph.GetCursorPoint(), expected);
    QCOMPARE(moved.count(), movedSignal ? 1 : 0);
    QCOMPARE(keyDown.count(), 1);
    QCOMPARE(keyDown.at(0).at(0).toInt(), key);
}

void TestPEGraph::clickMovesTheCursor()
{
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    graph.SetCursorPoint(199);
    QSignalSpy moved(&graph, &PEGraph::OnCursorMoved);
    QSignalSpy zoomed(&graph, &PEGraph::OnZoomIn);
    const QPoint at(graph.pointPixelX(50) + 1, graph.plotArea().center().y());
    QTest::mouseClick(graph.canvas(), Qt::LeftButton, {}, at);
    QCOMPARE(graph.GetCursorPoint(), 50);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(zoomed.count(), 0);
    QVERIFY(!graph.isZoomed());

    // Outside the plot area a click does nothing.
    QTest::mouseClick(graph.canvas(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(graph.GetCursorPoint(), 50);

    // Without mouse control the cursor stays.
    graph.MouseCursorControl = false;
    graph.RunAction(0);
    QTest::mouseClick(graph.canvas(), Qt::LeftButton, {},
                      QPoint(graph.pointPixelX(120), graph.plotArea().center().y()));
    QCOMPARE(graph.GetCursorPoint(), 50);
}

void TestPEGraph::dragZoomsAndUndoReturnsToFullView()
{
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    graph.SetCursorPoint(199);
    QSignalSpy zoomed(&graph, &PEGraph::OnZoomIn);
    QSignalSpy moved(&graph, &PEGraph::OnCursorMoved);
    const QRect area = graph.plotArea();
    const QPoint from(graph.pointPixelX(20), area.top() + area.height() / 4);
    const QPoint to(graph.pointPixelX(80), area.top() + area.height() * 3 / 4);
    QTest::mousePress(graph.canvas(), Qt::LeftButton, {}, from);
    QTest::mouseMove(graph.canvas(), (from + to) / 2);
    QTest::mouseMove(graph.canvas(), to);
    QTest::mouseRelease(graph.canvas(), Qt::LeftButton, {}, to);
    QCOMPARE(zoomed.count(), 1);
    QVERIFY(graph.isZoomed());
    QCOMPARE(moved.count(), 0); // a drag is no click
    QCOMPARE(graph.GetCursorPoint(), 199);
    const auto [xLow, xHigh] = graph.visibleXRange();
    QVERIFY2(std::abs(xLow - 20) < 0.5 && std::abs(xHigh - 80) < 0.5,
             qPrintable(QStringLiteral("%1 .. %2").arg(xLow).arg(xHigh)));
    const auto [yLow, yHigh] = graph.visibleYRange();
    QVERIFY2(std::abs(yLow + 50) < 2 && std::abs(yHigh - 50) < 2,
             qPrintable(QStringLiteral("%1 .. %2").arg(yLow).arg(yHigh)));

    QVERIFY(graph.RunAction(19));
    QVERIFY(!graph.isZoomed());
    QCOMPARE(graph.visibleXRange(), std::make_pair(-0.5, 199.5));
    QCOMPARE(graph.visibleYRange(), std::make_pair(-100.0, 100.0));
}

void TestPEGraph::rebuildKeepsZoomUnlessPointsChange()
{
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    const QRect area = graph.plotArea();
    QTest::mousePress(graph.canvas(), Qt::LeftButton, {},
                      QPoint(graph.pointPixelX(100), area.top() + 5));
    QTest::mouseMove(graph.canvas(), QPoint(graph.pointPixelX(150), area.bottom() - 5));
    QTest::mouseRelease(graph.canvas(), Qt::LeftButton, {},
                        QPoint(graph.pointPixelX(150), area.bottom() - 5));
    QVERIFY(graph.isZoomed());
    const auto zoomedX = graph.visibleXRange();

    // A logged reading: shift and rebuild; the user's zoom stays put.
    graph.AppendPoint(QStringLiteral("14:59:59.9"), 12.0);
    graph.ManualMaxY = 200.0;
    graph.RunAction(0);
    QVERIFY(graph.isZoomed());
    QCOMPARE(graph.visibleXRange(), zoomedX);

    // The cursor keys pan a zoomed view to keep the cursor in sight.
    graph.SetCursorPoint(150);
    QTest::keyClick(&graph, Qt::Key_End);
    QVERIFY(graph.visibleXRange().second >= 199.0);

    // Undo zoom picks up the scale of the last rebuild.
    graph.RunAction(19);
    QCOMPARE(graph.visibleYRange(), std::make_pair(-100.0, 200.0));

    // Another number of points is another chart.
    QTest::mousePress(graph.canvas(), Qt::LeftButton, {},
                      QPoint(graph.pointPixelX(100), area.top() + 5));
    QTest::mouseMove(graph.canvas(), QPoint(graph.pointPixelX(150), area.bottom() - 5));
    QTest::mouseRelease(graph.canvas(), Qt::LeftButton, {},
                        QPoint(graph.pointPixelX(150), area.bottom() - 5));
    QVERIFY(graph.isZoomed());
    graph.Points = 100;
    graph.RunAction(0);
    QVERIFY(!graph.isZoomed());
    QCOMPARE(graph.visibleXRange(), std::make_pair(-0.5, 99.5));
}

void TestPEGraph::escapeCancelsTheRubberBand()
{
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    QSignalSpy zoomed(&graph, &PEGraph::OnZoomIn);
    const QRect area = graph.plotArea();
    const QPoint from(graph.pointPixelX(20), area.top() + 10);
    const QPoint to(graph.pointPixelX(80), area.bottom() - 10);
    QTest::mousePress(graph.canvas(), Qt::LeftButton, {}, from);
    QTest::mouseMove(graph.canvas(), to);
    QTest::keyClick(&graph, Qt::Key_Escape);
    QTest::mouseRelease(graph.canvas(), Qt::LeftButton, {}, to);
    QCOMPARE(zoomed.count(), 0);
    QVERIFY(!graph.isZoomed());
    QCOMPARE(graph.visibleXRange(), std::make_pair(-0.5, 199.5));
}

void TestPEGraph::pictureFileHasRequestedSize_data()
{
    QTest::addColumn<int>("action"); // 15: bitmap file, 13: metafile (SVG)
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSizeF>("written"); // bitmap pixels, metafile millimetres
    QTest::newRow("bitmap, dialog default") << 15 << QSize(1000, 681) << QSizeF(1000, 681);
    QTest::newRow("bitmap, tiny") << 15 << QSize(37, 23) << QSizeF(37, 23);
    QTest::newRow("bitmap, zero asks for the widget size") << 15 << QSize(0, 0) << QSizeF(900, 500);
    QTest::newRow("metafile, dialog default") << 13 << QSize(10000, 6810) << QSizeF(100.0, 68.1);
    QTest::newRow("metafile, inches rounded down")
        << 13 << QSize(10000, 6809) << QSizeF(100.0, 68.09);
    QTest::newRow("metafile, zero asks for the widget size at 96 dpi")
        << 13 << QSize(0, 0) << QSizeF(238.125, 132.292);
}

void TestPEGraph::pictureFileHasRequestedSize()
{
    QFETCH(int, action);
    QFETCH(QSize, requested);
    QFETCH(QSizeF, written);
    QTemporaryDir dir;
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    const bool bitmap = action == 15;
    const QString name =
        dir.filePath(bitmap ? QStringLiteral("page.bmp") : QStringLiteral("page.svg"));
    graph.SetActionWidth(requested.width());
    graph.SetActionHeight(requested.height());
    graph.SetActionFileName(name);
    QVERIFY2(graph.RunAction(action), qPrintable(graph.lastError()));
    const QSizeF size = bitmap ? QSizeF(QImage(name, "BMP").size()) : svgSizeInMm(name);
    QVERIFY2(std::abs(size.width() - written.width()) < 0.02 &&
                 std::abs(size.height() - written.height()) < 0.02,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
}

void TestPEGraph::failedWriteLeavesNoFile_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("relativeName");
    QTest::addColumn<QSize>("size");
    QTest::newRow("bitmap into a missing folder") << 15 << "missing/page.bmp" << QSize(100, 80);
    QTest::newRow("metafile into a missing folder") << 13 << "missing/page.svg" << QSize(100, 80);
    QTest::newRow("bitmap too large") << 15 << "huge.bmp" << QSize(100000, 80);
    QTest::newRow("no file name") << 15 << "" << QSize(100, 80);
}

void TestPEGraph::failedWriteLeavesNoFile()
{
    QFETCH(int, action);
    QFETCH(QString, relativeName);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    PEGraph graph;
    setUpLikeRecorder(graph);
    const QString name = relativeName.isEmpty() ? QString() : dir.filePath(relativeName);
    graph.SetActionWidth(size.width());
    graph.SetActionHeight(size.height());
    graph.SetActionFileName(name);
    QVERIFY(!graph.RunAction(action));
    QVERIFY(!graph.lastError().isEmpty());
    QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void TestPEGraph::clipboardGetsPictures()
{
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    graph.SetActionWidth(10000);
    graph.SetActionHeight(6810);
    QVERIFY(graph.RunAction(12));
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    QVERIFY(mime);
    QVERIFY(mime->hasFormat(QStringLiteral("image/svg+xml")));
    QVERIFY(mime->data(QStringLiteral("image/svg+xml")).contains("<svg"));
    QVERIFY(mime->hasImage());

    graph.SetActionWidth(320);
    graph.SetActionHeight(200);
    QVERIFY(graph.RunAction(14));
    QCOMPARE(QApplication::clipboard()->image().size(), QSize(320, 200));
}

void TestPEGraph::picturesLeaveTheCursorOut()
{
    QTemporaryDir dir;
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    // On black without data, the only coloured pixels would be the cursor's.
    for (int i = 0; i < 200; ++i)
        graph.SetYData(0, i, kNull);
    graph.GraphForeColor = QColor(128, 128, 128);
    graph.RunAction(0);
    graph.SetCursorPoint(100);
    const QString name = dir.filePath(QStringLiteral("page.bmp"));
    graph.SetActionWidth(400);
    graph.SetActionHeight(300);
    graph.SetActionFileName(name);
    QVERIFY(graph.RunAction(15));
    QImage image(name);
    QVERIFY(!image.isNull());
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!isGrey(image.pixel(x, y)))
                ++coloured;
    QCOMPARE(coloured, 0);
    // The cursor is back on screen afterwards.
    QCOMPARE(graph.GetCursorPoint(), 100);
    QCoreApplication::processEvents(); // the queued replot
    const QImage screen = graph.canvas()->grab().toImage();
    int yellow = 0;
    const int y = graph.plotArea().center().y();
    for (int x = graph.pointPixelX(100) - 1; x <= graph.pointPixelX(100) + 1; ++x) {
        const QColor c = screen.pixelColor(x, y);
        yellow += c.red() > 100 && c.green() > 100 && c.blue() < 50 ? 1 : 0;
    }
    QVERIFY(yellow > 0);
}

void TestPEGraph::monochromeIsBlackOnWhite()
{
    QTemporaryDir dir;
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    const QString name = dir.filePath(QStringLiteral("mono.bmp"));
    graph.SetActionWidth(600);
    graph.SetActionHeight(400);
    graph.SetActionFileName(name);

    graph.ViewingStyle = PEGraph::gMonochrome;
    QVERIFY(graph.RunAction(2));
    QVERIFY(graph.RunAction(15));
    QImage mono(name);
    QVERIFY(!mono.isNull());
    QCOMPARE(mono.pixelColor(1, 1), QColor(Qt::white));
    int notGrey = 0;
    int dark = 0;
    for (int y = 0; y < mono.height(); ++y) {
        for (int x = 0; x < mono.width(); ++x) {
            notGrey += isGrey(mono.pixel(x, y)) ? 0 : 1;
            dark += qGray(mono.pixel(x, y)) < 64 ? 1 : 0;
        }
    }
    QCOMPARE(notGrey, 0);
    QVERIFY(dark > 500); // the line, axes and texts are there

    graph.ViewingStyle = PEGraph::gColor;
    QVERIFY(graph.RunAction(0));
    QVERIFY(graph.RunAction(15));
    QImage colour(name);
    QCOMPARE(colour.pixelColor(1, 1), QColor(Qt::lightGray));
    int silver = 0;
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            silver += colour.pixelColor(x, y) == QColor(192, 192, 192) ? 1 : 0;
    QVERIFY(silver > 100);
}

void TestPEGraph::printsToPdf_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QSize>("size");
    QTest::newRow("print the chart") << 8 << QSize(0, 0);
    QTest::newRow("print a metafile-sized image") << 18 << QSize(10000, 6810);
    QTest::newRow("print a bitmap-sized image") << 18 << QSize(1000, 681);
}

void TestPEGraph::printsToPdf()
{
    QFETCH(int, action);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    PEGraph graph;
    setUpLikeRecorder(graph);
    showAndSettle(graph);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString name = dir.filePath(QStringLiteral("page.pdf"));
    printer.setOutputFileName(name);
    const int resolution = printer.resolution();
    graph.setPrinter(&printer);
    graph.SetActionWidth(size.width());
    graph.SetActionHeight(size.height());
    graph.ViewingStyle = PEGraph::gMonochrome;
    graph.RunAction(2);
    QVERIFY2(graph.RunAction(action), qPrintable(graph.lastError()));
    QFile pdf(name);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.size() > 1000);
    QVERIFY(pdf.read(5) == "%PDF-");
    QCOMPARE(printer.resolution(), resolution);
}

void TestPEGraph::printingWithoutPrinterFails()
{
    PEGraph graph;
    setUpLikeRecorder(graph);
    QVERIFY(!graph.RunAction(8));
    QVERIFY(!graph.lastError().isEmpty());
    QVERIFY(!graph.RunAction(18));

    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("missing/page.pdf")));
    graph.setPrinter(&printer);
    QVERIFY(!graph.RunAction(8));
    QVERIFY(!graph.lastError().isEmpty());
}

void TestPEGraph::viewerSizedLoadMarksEveryPoint()
{
    PEGraph graph;
    graph.ManualScaleControlY = PEGraph::gManualMinAndMax;
    graph.ManualMinY = -100;
    graph.ManualMaxY = 100;
    graph.CursorMode = PEGraph::gVertLine;
    graph.PointSize = PEGraph::gLargePoints;
    graph.ManualMaxPointLabel = QStringLiteral("00:00:00.000");
    showAndSettle(graph);
    const QString label = QStringLiteral(" 14:05:09.3  ");
    graph.Points = graph.PointsToGraph = graph.MaxPointsToGraph = 8191;
    for (int i = 0; i < 8191; ++i) {
        graph.SetYData(0, i, 80.0 * std::sin(i / 100.0));
        graph.SetPointLabel(i, label);
    }
    graph.RunAction(0);
    graph.SetCursorPoint(0);
    graph.RunAction(19);
    QCoreApplication::processEvents(); // the queued replot
    QCOMPARE(graph.markerCount(0), 8191);
}

QTEST_MAIN(TestPEGraph)
#include "tst_pegraph.moc"
