// SPDX-License-Identifier: MIT
// The recorder's Export table: the whole buffer as the table for
// spreadsheets, its dates stamped or inferred from the opened file, and
// pictures named .png written as PNG.
#include <QtTest>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "GlobalFlags.h"
#include "GraphicalForm.h"
#include "MessageBox.h"
#include "MsgForm.h"
#include "PEGraph.h"
#include "RecordFile.h"

using namespace dmm;

namespace {

struct Recorder
{
    QTemporaryDir dir;
    QWidget strip;
    CurrentReading reading;
    QStringList boxes;
    QStringList boxTexts;
    std::optional<TableTarget> target;
    QString openPath;
    std::shared_ptr<QDateTime> now = std::make_shared<QDateTime>();
    std::unique_ptr<TGraphicalForm> form;

    Recorder()
    {
        strip.setGeometry(0, 0, 800, 60);
        setMessageBoxHandler([this](const MessageBoxRequest& request) {
            boxes << request.caption;
            boxTexts << request.text;
            return int(QMessageBox::Ok);
        });
        bBusy = false;
        reading.sDigits = "2.399";
        reading.sExponent = "-2";
        reading.iFunction = 8;
        reading.szValue = "23.99";
        reading.szPrefix = "n";
        reading.szUnit = "F";
        form = std::make_unique<TGraphicalForm>(&strip, &reading, dir.path());
        form->setTableChooser([this] { return target; });
        form->setFileChoosers([this] { return openPath; }, [] { return QString(); });
        form->store().setClock([now = now] { return *now; });
    }
    ~Recorder()
    {
        form.reset();
        setMessageBoxHandler({});
    }
    // `count` readings a second apart, the first at `start`.
    void log(const QDateTime& start, int count)
    {
        *now = start;
        for (int i = 0; i < count; ++i) {
            form->store().appendReading(reading);
            *now = now->addSecs(1);
        }
    }
    QStringList exportTable(TableFormat format = {})
    {
        target = TableTarget{dir.filePath("table.csv"), format};
        form->miExportTableClick();
        QFile file(target->path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
};

} // namespace

class TestRecorderTable : public QObject
{
    Q_OBJECT
private slots:
    void wholeBufferWithItsDates();
    void openedFileIsDatedByTheFile();
    void refusedExportWritesNoTable_data();
    void refusedExportWritesNoTable();
    void abortedExportLeavesNoFile();
    void pictureFormatFollowsTheName_data();
    void pictureFormatFollowsTheName();
};

void TestRecorderTable::wholeBufferWithItsDates()
{
    Recorder r;
    r.log(QDateTime(QDate(2026, 12, 7), QTime(23, 58, 0)), 450); // past midnight, three pages
    const QStringList lines = r.exportTable({';', true});
    QCOMPARE(lines.size(), 451);
    QCOMPARE(lines.first(), QStringLiteral("time;value;unit;display;subdisplay"));
    QCOMPARE(lines[1], QStringLiteral("2026-12-07T23:58:00.000;2,399e-08;F;23,99n;"));
    QCOMPARE(lines.last(), QStringLiteral("2026-12-08T00:05:29.000;2,399e-08;F;23,99n;"));
    QCOMPARE(r.boxes, QStringList{"Export table"});
    QCOMPARE(r.boxTexts.last(),
             QStringLiteral("Table written: 450 readings, each with its recorded date."));
    QVERIFY(!r.form->StatusPanels[1]->isHidden()); // the count stays in sight
}

void TestRecorderTable::openedFileIsDatedByTheFile()
{
    Recorder r;
    // A recording from elsewhere: time texts only, the file last written on 8 December.
    TARecord record;
    record.function = 128;
    record.value = "1.234";
    record.prefix = "K";
    record.unit = "W";
    record.fValue = 1234.0f;
    RecordBuffer plain;
    for (const char* time : {" 23:59:59.5  ", "  0:00:00.5  "}) {
        record.timeStamp = time;
        plain.append(record);
    }
    r.openPath = r.dir.filePath("old.g52");
    QVERIFY(saveRecordFile(r.openPath, plain));
    QFile file(r.openPath);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(10, 0)),
                             QFileDevice::FileModificationTime));
    file.close();
    r.form->sbtnOpenFileClick();
    QCOMPARE(r.form->recordBuffer().size(), std::size_t(2));
    QCOMPARE(r.exportTable(), QStringList({"time,value,unit,display,subdisplay",
                                           "2026-12-07T23:59:59.5,1234,\u03A9,1.234K,",
                                           "2026-12-08T00:00:00.5,1234,\u03A9,1.234K,"}));
    QVERIFY2(r.boxTexts.last().contains("inferred"), qPrintable(r.boxTexts.last()));
}

void TestRecorderTable::abortedExportLeavesNoFile()
{
    Recorder r;
    // A workbook of a million readings takes seconds: its progress window
    // shows after half a second, with an Abort button.
    TARecord record;
    record.function = 6;
    record.value = "1.234";
    record.unit = "V";
    record.timeStamp = " 12:00:00.0  ";
    record.fValue = 1.234f;
    RecordBuffer readings;
    for (int i = 0; i < 1000000; ++i)
        readings.append(record);
    r.openPath = r.dir.filePath("long.g52");
    QVERIFY(saveRecordFile(r.openPath, readings));
    r.form->sbtnOpenFileClick();
    QCOMPARE(r.form->recordBuffer().size(), std::size_t(1000000));
    QTemporaryDir out;
    const QString path = out.filePath("table.xlsx");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    TMsgForm progress;
    r.form->setProgressWindow(&progress);
    bool abortShown = false;
    QTimer abort;
    abort.setInterval(10);
    QObject::connect(&abort, &QTimer::timeout, [&] {
        if (progress.isVisible() && progress.bbtnAbort->isVisible() && !abortShown) {
            abortShown = true;
            progress.bbtnAbort->click();
        }
    });
    abort.start();
    r.target = TableTarget{path, {}};
    r.form->miExportTableClick();
    QVERIFY(abortShown);
    QVERIFY(!progress.isVisible());
    QCOMPARE(r.boxes, QStringList{}); // no error, no "Table written"
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
    // No temporary file of the write (nor of the workbook library) is left.
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{"table.xlsx"});
    QVERIFY(r.form->miExportTable->isEnabled());
}

void TestRecorderTable::refusedExportWritesNoTable_data()
{
    QTest::addColumn<QString>("path"); // empty: the user cancels
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("cancelled") << QString() << QStringList{};
    QTest::newRow("no such folder") << "no/such/folder/table.csv" << QStringList{"Error[E9015]"};
}

void TestRecorderTable::refusedExportWritesNoTable()
{
    QFETCH(QString, path);
    QFETCH(QStringList, boxes);
    Recorder r;
    QVERIFY(!r.form->miExportTable->isEnabled());
    r.log(QDateTime(QDate(2026, 12, 7), QTime(12, 0)), 3);
    QVERIFY(r.form->miExportTable->isEnabled());
    if (!path.isEmpty())
        r.target = TableTarget{r.dir.filePath(path), {}};
    r.form->miExportTableClick();
    QCOMPARE(r.boxes, boxes);
    QVERIFY(r.form->statusBar()->currentMessage().isEmpty());
}

void TestRecorderTable::pictureFormatFollowsTheName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("signature");

    QTest::newRow("png") << "page.png" << QByteArray("\x89PNG\r\n\x1a\n");
    QTest::newRow("PNG in capitals") << "PAGE.PNG" << QByteArray("\x89PNG\r\n\x1a\n");
    QTest::newRow("bmp") << "page.bmp" << QByteArray("BM");
    QTest::newRow("any other name stays a bitmap") << "page.png.bak" << QByteArray("BM");
}

void TestRecorderTable::pictureFormatFollowsTheName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, signature);
    Recorder r;
    r.log(QDateTime(QDate(2026, 12, 7), QTime(12, 0)), 5);
    PEGraph* chart = r.form->chart();
    const QString path = r.dir.filePath(name);
    chart->SetActionWidth(400);
    chart->SetActionHeight(300);
    chart->SetActionFileName(path);
    QVERIFY2(chart->RunAction(15), qPrintable(chart->lastError()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(signature.size()), signature);
}

QTEST_MAIN(TestRecorderTable)
#include "tst_recordertable.moc"
