// SPDX-License-Identifier: MIT
// The graph viewer over the recorder's buffer, and the export actions of both
// windows: text files, pictures at their sizes, printing to a PDF file.
#include <QtTest>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

#include "DlgExportForm.h"
#include "FormViewGraphic.h"
#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "MessageBox.h"
#include "PEGraph.h"
#include "RecordFile.h"

using namespace dmm;

namespace {

// A recorder whose buffer is filled as from a file, its viewer and both
// export dialogs, with message boxes recorded.
struct Windows
{
    QTemporaryDir dir;
    QWidget strip;
    CurrentReading reading;
    QStringList boxes;
    std::unique_ptr<TGraphicalForm> recorder;
    std::unique_ptr<TFormViewGraphic> viewer;
    std::unique_ptr<TDlgExportForm> exportDialog;
    std::unique_ptr<TDlgFitExportForm> fitExportDialog;
    QPrinter pdf;

    explicit Windows(int records)
    {
        strip.setGeometry(0, 0, 800, 60);
        setMessageBoxHandler([this](const MessageBoxRequest& request) {
            boxes << request.caption;
            return int(QMessageBox::Ok);
        });
        bBusy = false;
        recorder = std::make_unique<TGraphicalForm>(&strip, &reading, dir.path());
        viewer = std::make_unique<TFormViewGraphic>(&recorder->recordBuffer(), &recorder->state());
        exportDialog = std::make_unique<TDlgExportForm>();
        fitExportDialog = std::make_unique<TDlgFitExportForm>();
        recorder->setExportDialog(exportDialog.get());
        viewer->setExportDialog(fitExportDialog.get());
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(dir.filePath("print.pdf"));
        recorder->setPrinterChooser([this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir.filePath("print.pdf"));
            return true;
        });
        viewer->setPrinterProvider([this] { return &pdf; });
        RecordBuffer& buffer = recorder->store().bufferForLoading();
        RecordTally tally;
        for (int i = 0; i < records; ++i) {
            TARecord r;
            r.timeStamp = formatTimeStamp(10, i / 600 % 60, i / 10 % 60, i % 10 * 100);
            r.fValue = float(i % 97) - 40.0f + (i == 5000 ? 500.0f : 0.0f);
            r.value = QByteArray::number(r.fValue).toStdString();
            r.unit = "V";
            r.function = 5;
            r.subDisplay = i == 3 ? "0.98" : "";
            buffer.append(r);
            tally.add(r.fValue);
        }
        recorder->store().finishLoad(tally);
        recorder->RedrawShownPage();
    }
    ~Windows()
    {
        viewer.reset();
        recorder.reset();
        setMessageBoxHandler({});
    }

    // Runs `inside` while the viewer is shown modally and closes it after,
    // whatever `inside` did, so exec() always returns; checks belong after it.
    void whileViewerShown(const std::function<void()>& inside)
    {
        QTimer::singleShot(0, viewer.get(), [this, inside] {
            inside();
            viewer->bbtnClose->click();
        });
        viewer->exec();
    }

    // Runs `exportClick` with the dialog answered by `choose`.
    void exportWith(TDlgExportForm* dialog, const std::function<void()>& exportClick,
                    const std::function<void(TDlgExportForm&)>& choose)
    {
        QTimer::singleShot(0, dialog, [dialog, choose] {
            choose(*dialog);
            dialog->btnExport->click();
        });
        exportClick();
    }
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The page objects of a PDF file ("/Type /Page", not "/Pages").
int pdfPageCount(const QByteArray& pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    int count = 0;
    for (auto found = page.globalMatch(QString::fromLatin1(pdf)); found.hasNext(); found.next())
        ++count;
    return count;
}

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT
private slots:
    void plotsWholeBuffer_data();
    void plotsWholeBuffer();
    void extremesJumpTheCursor();
    void emptyBufferShowsNothing();
    void closeResetsTheChart();
    void printsToAPdfFile();
    void printsPagesIntoOnePdf_data();
    void printsPagesIntoOnePdf();
    void textExport_data();
    void textExport();
    void missingFileNameStopsTheExport();
    void recorderPictures_data();
    void recorderPictures();
    void viewerPicture();
};

void TestViewer::plotsWholeBuffer_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("points");
    QTest::newRow("8191 one to one") << 8191 << 8191;
    QTest::newRow("8192 in pairs of four") << 8192 << 4096;
    QTest::newRow("10000") << 10000 << 5000;
}

void TestViewer::plotsWholeBuffer()
{
    QFETCH(int, records);
    QFETCH(int, points);
    Windows w(records);
    int chartPoints = 0;
    int plotPoints = 0;
    bool undoZoomEnabled = true;
    bool zoomed = true;
    float maxY = 0;
    QPoint topLeft;
    w.whileViewerShown([&] {
        chartPoints = w.viewer->chart()->Points;
        plotPoints = int(w.viewer->plot().pointCount);
        undoZoomEnabled = w.viewer->sbtnUndoZoom->isEnabled();
        zoomed = w.viewer->chart()->isZoomed();
        maxY = float(w.viewer->chart()->ManualMaxY);
        topLeft = w.viewer->frameGeometry().topLeft();
    });
    QCOMPARE(chartPoints, points);
    QCOMPARE(plotPoints, points);
    QVERIFY(!undoZoomEnabled);
    QVERIFY(!zoomed);
    // The recorder's scale: a third of headroom over the spike of 513.
    QCOMPARE(maxY, 682.29f);
    QCOMPARE(topLeft, QPoint(0, 0));
}

void TestViewer::extremesJumpTheCursor()
{
    Windows w(20000);
    QString maxText;
    QString minText;
    std::size_t maxEntry = 0;
    float minValue = 0;
    w.whileViewerShown([&] {
        maxText = w.viewer->MaxDataPanel->text();
        minText = w.viewer->MinDataPanel->text();
        QTest::mouseClick(w.viewer->MaxDataPanel, Qt::LeftButton);
        maxEntry = w.viewer->plot().entryAt(std::size_t(w.viewer->chart()->GetCursorPoint()));
        QTest::mouseClick(w.viewer->MinDataPanel, Qt::LeftButton);
        minValue = float(w.viewer->chart()->GetYData(0, w.viewer->chart()->GetCursorPoint()));
    });
    // Entry 5000 is the spike: 5000 % 97 - 40 + 500.
    QCOMPARE(maxText, QStringLiteral("513"));
    QCOMPARE(minText, QStringLiteral("-40"));
    QCOMPARE(maxEntry, std::size_t(5000));
    QCOMPARE(minValue, -40.0f);
}

void TestViewer::emptyBufferShowsNothing()
{
    Windows w(0);
    int shownPoints = -1;
    QString maxText = QStringLiteral("unread");
    w.whileViewerShown([&] {
        shownPoints = w.viewer->chart()->Points;
        maxText = w.viewer->MaxDataPanel->text();
        QTest::mouseClick(w.viewer->MaxDataPanel, Qt::LeftButton);
    });
    QCOMPARE(shownPoints, 0);
    QCOMPARE(maxText, QString());
    QCOMPARE(w.viewer->chart()->Points, 100);
    QCOMPARE(w.viewer->chart()->GetYData(0, 0), PEGraph::kNullDataValue);
}

void TestViewer::closeResetsTheChart()
{
    Windows w(50);
    w.whileViewerShown([] {});
    PEGraph* chart = w.viewer->chart();
    QCOMPARE(chart->Points, 100);
    QCOMPARE(chart->ManualMaxY, 100.0);
    QCOMPARE(float(chart->GetYData(0, 49)), w.recorder->recordBuffer().at(49).fValue);
    QCOMPARE(chart->GetYData(0, 50), PEGraph::kNullDataValue); // beyond the buffer
    QCOMPARE(chart->GetPointLabel(50), QStringLiteral(" "));
}

void TestViewer::printsToAPdfFile()
{
    Windows w(300);
    w.recorder->sbtnPrintGraphicClick();
    QVERIFY(fileBytes(w.dir.filePath("print.pdf")).startsWith("%PDF"));
    QFile::remove(w.dir.filePath("print.pdf"));
    w.whileViewerShown([&] { w.viewer->sbtnPrintClick(); });
    QVERIFY(fileBytes(w.dir.filePath("print.pdf")).startsWith("%PDF"));
    QVERIFY(w.boxes.isEmpty());
    QCOMPARE(w.recorder->chart()->ViewingStyle, PEGraph::gColor);
}

void TestViewer::printsPagesIntoOnePdf_data()
{
    QTest::addColumn<bool>("bitmap");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("pages");
    QTest::newRow("bitmap, pages 1 to 3") << true << "1"
                                          << "3" << 3;
    QTest::newRow("metafile, pages 2 to 3") << false << "2"
                                            << "3" << 2;
    QTest::newRow("bitmap, page 3 alone") << true << "3"
                                          << "3" << 1;
}

void TestViewer::printsPagesIntoOnePdf()
{
    QFETCH(bool, bitmap);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, pages);
    Windows w(450);
    w.exportWith(
        w.exportDialog.get(), [&] { w.recorder->sbtnExportClick(); },
        [&](TDlgExportForm& d) {
            (bitmap ? d.rbtnBitMap : d.rbtnMetaFile)->click();
            d.rbtnPrinter->click();
            d.rbtnPage->click();
            d.editPageFrom->setText(from);
            d.editPageTo->setText(to);
        });
    QVERIFY(w.boxes.isEmpty());
    const QByteArray pdf = fileBytes(w.dir.filePath("print.pdf"));
    QVERIFY(pdf.startsWith("%PDF"));
    QCOMPARE(pdfPageCount(pdf), pages);
    // The printer is free again for the next command.
    w.recorder->sbtnPrintGraphicClick();
    QVERIFY(w.boxes.isEmpty());
    QCOMPARE(pdfPageCount(fileBytes(w.dir.filePath("print.pdf"))), 1);
}

void TestViewer::textExport_data()
{
    QTest::addColumn<QString>("scope");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("firstNumber");
    QTest::addColumn<int>("lines");
    QTest::newRow("all pages") << "all"
                               << ""
                               << "" << 1 << 450;
    QTest::newRow("this page (the newest)") << "this"
                                            << ""
                                            << "" << 251 << 200;
    QTest::newRow("page 1 is partial") << "range"
                                       << "1"
                                       << "1" << 1 << 50;
    QTest::newRow("pages 2 to 3") << "range"
                                  << "2"
                                  << "3" << 51 << 400;
    QTest::newRow("pages beyond are dropped") << "range"
                                              << "3"
                                              << "9" << 251 << 200;
    QTest::newRow("first after last: empty") << "range"
                                             << "3"
                                             << "2" << 0 << 0;
}

void TestViewer::textExport()
{
    QFETCH(QString, scope);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, firstNumber);
    QFETCH(int, lines);
    Windows w(450);
    const QString path = w.dir.filePath("out.csv");
    w.exportWith(
        w.exportDialog.get(), [&] { w.recorder->sbtnExportClick(); },
        [&](TDlgExportForm& d) {
            d.rbtnText->click();
            (scope == "all"    ? d.rbtnPageAll
             : scope == "this" ? d.rbtnThisPage
                               : d.rbtnPage)
                ->click();
            if (scope == "range") {
                d.editPageFrom->setText(from);
                d.editPageTo->setText(to);
            }
            d.setFileName(path);
        });
    QVERIFY(w.boxes.isEmpty());
    QVERIFY(QFile::exists(path));
    const QList<QByteArray> all = fileBytes(path).split('\n');
    QCOMPARE(all.size() - 1, lines);
    if (lines == 0)
        return;
    QVERIFY(all.first().startsWith(QByteArray::number(firstNumber) + ","));
    QVERIFY(all.first().endsWith('\r'));
    if (firstNumber == 1)
        QVERIFY(all[3].endsWith(",0.98\r")); // the sub-display ends its line
}

void TestViewer::missingFileNameStopsTheExport()
{
    Windows w(10);
    w.exportWith(
        w.exportDialog.get(), [&] { w.recorder->sbtnExportClick(); },
        [](TDlgExportForm& d) {
            d.rbtnText->click();
            d.setFileName({});
        });
    QCOMPARE(w.boxes, QStringList{"Error[E9013]"});
}

void TestViewer::recorderPictures_data()
{
    QTest::addColumn<bool>("bitmap");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::newRow("bitmap 1000 x 681") << true << "1000"
                                       << "681";
    QTest::newRow("bitmap 640 x 480") << true << "640"
                                      << "480";
    QTest::newRow("metafile 100 x 68.1 mm") << false << "100"
                                            << "68.1";
}

void TestViewer::recorderPictures()
{
    QFETCH(bool, bitmap);
    QFETCH(QString, width);
    QFETCH(QString, height);
    Windows w(450);
    w.recorder->sbtnPageUpClick(); // the export shows the page that is shown
    const QString path = w.dir.filePath(bitmap ? "page.bmp" : "page.svg");
    w.exportWith(
        w.exportDialog.get(), [&] { w.recorder->sbtnExportClick(); },
        [&](TDlgExportForm& d) {
            (bitmap ? d.rbtnBitMap : d.rbtnMetaFile)->click();
            d.rbtnFile->click();
            d.editWidth->setText(width);
            d.editHigh->setText(height);
            d.setFileName(path);
        });
    QVERIFY(w.boxes.isEmpty());
    if (bitmap) {
        const QImage image(path, "BMP");
        QCOMPARE(image.size(), QSize(width.toInt(), height.toInt()));
    } else {
        const QByteArray svg = fileBytes(path);
        QVERIFY(svg.contains("<svg"));
        QVERIFY(svg.contains("width=\"100mm\"") || svg.contains("width=\"100.0mm\""));
    }
    QCOMPARE(w.recorder->state().shownPage, 2);
    QCOMPARE(float(w.recorder->chart()->GetYData(0, 199)),
             w.recorder->recordBuffer().at(249).fValue);
}

void TestViewer::viewerPicture()
{
    Windows w(9000);
    const QString path = w.dir.filePath("all.bmp");
    bool textOffered = true;
    w.whileViewerShown([&] {
        w.exportWith(
            w.fitExportDialog.get(), [&] { w.viewer->sbtnExportClick(); },
            [&](TDlgExportForm& d) {
                textOffered = d.rbtnText->isVisible();
                d.rbtnBitMap->click();
                d.rbtnFile->click();
                d.setFileName(path);
            });
    });
    QVERIFY(!textOffered);
    QVERIFY(w.boxes.isEmpty());
    QCOMPARE(QImage(path, "BMP").size(), QSize(1000, 681));
}

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
