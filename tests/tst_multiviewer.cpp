// SPDX-License-Identifier: MIT
// The graph viewer with recordings added beside the shown data: the legend,
// the value axes, the readout at the cursor's time, bad files refused.
#include <QtTest>

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <ctime>

#include "CurrentReading.h"
#include "FormViewGraphic.h"
#include "LoggedRecord.h"
#include "MessageBox.h"
#include "MeterFunction.h"
#include "PEGraph.h"
#include "RecordBuffer.h"
#include "RecordFile.h"
#include "RecorderState.h"
#include "TraceChart.h"

using namespace dmm;

namespace {

// Readings every half second from 2026-12-08 10:00:00 UTC plus `offsetMs`,
// reading i showing `step` * i, as the logger makes them (date stamps included).
RecordBuffer readings(MeterFunction function, const char* unit, double step, int offsetMs)
{
    RecordBuffer buffer;
    const QDateTime start(QDate(2026, 12, 8), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < 20; ++i) {
        CurrentReading reading;
        reading.sDigits = QByteArray::number(step * i, 'f', 3).rightJustified(6).toStdString();
        reading.sExponent = "0";
        reading.iFunction = functionCode(function);
        reading.szValue = QByteArray::number(step * i, 'f', 3).toStdString();
        reading.szUnit = unit;
        buffer.append(*loggedRecord(reading, start.addMSecs(i * 500 + offsetMs)));
    }
    return buffer;
}

struct Viewer
{
    QTemporaryDir dir;
    RecordBuffer buffer = readings(MeterFunction::DcVolts, "V", 1.0, 0);
    RecorderState state;
    TFormViewGraphic viewer{&buffer, &state};
    QList<int> boxes; // message ids, in order

    Viewer()
    {
        setMessageBoxHandler([this](const MessageBoxRequest& request) {
            boxes << request.messageId;
            return int(QMessageBox::Ok);
        });
        state.maxIndex = 19;
        state.scaleMaxY = 20.0f;
        state.scaleMinY = 0.0f;
        viewer.setShownNameProvider([] { return QStringLiteral("bench-volts"); });
        viewer.resize(1200, 800);
        viewer.show();
    }
    ~Viewer() { setMessageBoxHandler({}); }

    QString save(const QString& name, const RecordBuffer& records)
    {
        const QString path = dir.filePath(name);
        QString error;
        if (!saveRecordFile(path, records, &error))
            qFatal("%s", qPrintable(error));
        return path;
    }

    // Adds `path` and waits for the load to end.
    bool add(const QString& path)
    {
        QSignalSpy ended(&viewer, &TFormViewGraphic::loadEnded);
        viewer.addRecording(path);
        return ended.wait(10000);
    }

    QString amps() { return save("amps.g52", readings(MeterFunction::DcAmperes, "A", 0.1, 200)); }
};

} // namespace

class TestMultiViewer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void twoRecordingsShareTheTimeAxis();
    void badFileLeavesTheViewerAsItWas_data();
    void badFileLeavesTheViewerAsItWas();
    void readersPressOpensTheChooser();
};

void TestMultiViewer::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestMultiViewer::twoRecordingsShareTheTimeAxis()
{
    Viewer v;
    QVERIFY(v.viewer.btnRemoveRecordings->isHidden());
    QVERIFY(v.add(v.amps()));

    QCOMPARE(v.boxes, QList<int>{});
    QCOMPARE(v.viewer.addedRecordings(), 1);
    QVERIFY(v.viewer.PEGraphView->isHidden());
    QVERIFY(!v.viewer.TraceView->isHidden());
    QCOMPARE(v.viewer.TraceView->legendNames(), (QStringList{"bench-volts", "amps.g52"}));
    QCOMPARE(v.viewer.TraceView->axisLabels(), (QStringList{"Reading (V)", "Reading (A)"}));
    // Both whole: from the first volt reading, 10:00:00.0, to the last
    // ampere one, 10:00:09.7 (seconds since the epoch).
    const auto [from, to] = v.viewer.TraceView->visibleTimeRange();
    QVERIFY2(from <= 1796724000.0 && to >= 1796724009.7,
             qPrintable(QStringLiteral("%1 to %2").arg(from, 0, 'f', 1).arg(to, 0, 'f', 1)));

    // The arrows step through the shown data: its fifth reading, 10:00:02.0.
    QTest::keyClick(v.viewer.TraceView, Qt::Key_Home);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(v.viewer.TraceView, Qt::Key_Right);
    QCOMPARE(v.viewer.ReadoutTime->text(), QString("2026-12-08 10:00:02.000"));
    QCOMPARE(v.viewer.Readouts[0]->text(), QString("bench-volts: 4 V"));
    // The amperes came at 01.7 and 02.2: the nearer one.
    QCOMPARE(v.viewer.Readouts[1]->text(), QString("amps.g52: 0.4 A"));

    // The last volt reading, 10:00:09.5; the amperes came at 09.2 and 09.7.
    QTest::keyClick(v.viewer.TraceView, Qt::Key_End);
    QCOMPARE(v.viewer.ReadoutTime->text(), QString("2026-12-08 10:00:09.500"));
    QCOMPARE(v.viewer.Readouts[0]->text(), QString("bench-volts: 19 V"));
    QCOMPARE(v.viewer.Readouts[1]->text(), QString("amps.g52: 1.9 A"));

    v.viewer.btnRemoveRecordings->click();
    QCOMPARE(v.viewer.addedRecordings(), 0);
    QVERIFY(!v.viewer.PEGraphView->isHidden());
    QVERIFY(v.viewer.TraceView->isHidden());
    QVERIFY(v.viewer.btnRemoveRecordings->isHidden());
    QVERIFY(v.viewer.ReadoutPanel->isHidden());
}

void TestMultiViewer::badFileLeavesTheViewerAsItWas_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("message");
    QTest::newRow("garbage") << "garbage" << 9004;
    QTest::newRow("empty file") << "empty" << 9004;
    QTest::newRow("FIFO") << "fifo" << 9004;
    QTest::newRow("missing file") << "missing" << 9004;
    QTest::newRow("a third unit") << "ohms" << 8302;
}

void TestMultiViewer::badFileLeavesTheViewerAsItWas()
{
    QFETCH(QString, kind);
    QFETCH(int, message);

    Viewer v;
    QVERIFY(v.add(v.amps()));
    const QString path = v.dir.filePath(kind);
    if (kind == "garbage") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes(76 * 40, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 131 + 7) % 251);
        QCOMPARE(file.write(bytes), bytes.size());
    } else if (kind == "empty") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == "ohms") {
        v.save(kind, readings(MeterFunction::Ohms, "W", 10.0, 0));
    }
    QVERIFY(v.add(path));

    QCOMPARE(v.boxes, QList<int>{message});
    QCOMPARE(v.viewer.addedRecordings(), 1);
    QCOMPARE(v.viewer.TraceView->legendNames(), (QStringList{"bench-volts", "amps.g52"}));
    QVERIFY(v.viewer.btnAddRecording->isEnabled());
    QVERIFY(!v.viewer.isLoading());
}

void TestMultiViewer::readersPressOpensTheChooser()
{
    Viewer v;
    int asked = 0;
    v.viewer.setRecordingChooser([&asked] {
        ++asked;
        return QString();
    });
    QAccessibleInterface* accessible =
        QAccessible::queryAccessibleInterface(v.viewer.btnAddRecording);
    QVERIFY(accessible && accessible->actionInterface());
    QCOMPARE(accessible->text(QAccessible::Name), QString("Add recording..."));
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(asked, 1);
    QCOMPARE(v.viewer.addedRecordings(), 0);
}

QTEST_MAIN(TestMultiViewer)
#include "tst_multiviewer.moc"
