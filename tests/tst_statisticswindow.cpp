// SPDX-License-Identifier: MIT
// The recorder's Statistics window: figures of the whole buffer and of the
// shown page as readings are logged, a loaded buffer counted off this
// thread, every figure copied as text and read by a screen reader.
#include <QtTest>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>

#include "MeterReadings.h"
#include "RecordSummary.h"
#include "RecorderStore.h"
#include "StatisticsWindow.h"

using namespace dmm;

namespace {

enum Column
{
    Function,
    Count,
    Overloads,
    Minimum,
    MinimumTime,
    Maximum,
    MaximumTime,
    Mean,
    Deviation
};

QStringList rowTexts(const QTableWidget& table, int row)
{
    QStringList texts;
    for (int c = 0; c < table.columnCount(); ++c)
        texts << (table.item(row, c) ? table.item(row, c)->text() : QString());
    return texts;
}

// Logs AC volts readings showing `digits`, a second apart from 14:05:00.
void logReadings(RecorderStore& store, const QStringList& digits, int firstSecond = 0)
{
    auto second = std::make_shared<int>(firstSecond);
    store.setClock(
        [second] { return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 0)).addSecs((*second)++); });
    for (const QString& d : digits)
        QVERIFY(store.appendReading(acVoltsReading(d.toLatin1().constData())));
}

} // namespace

class TestStatisticsWindow : public QObject
{
    Q_OBJECT
private slots:
    void figuresFollowTheLoggedReadings();
    void cellsAreCopiedAndRead();
    void aLoadedBufferIsCountedOffThisThread();
};

void TestStatisticsWindow::figuresFollowTheLoggedReadings()
{
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    TStatisticsWindow window(store);
    logReadings(store, {" 1.000", " 3.000", " 2.000"});
    window.refresh();
    QCOMPARE(window.wholeTable()->rowCount(), 1);
    QCOMPARE(rowTexts(*window.wholeTable(), 0),
             QStringList({"AC V", "3", "0", "1 V", "2026-12-07 14:05:00.000", "3 V",
                          "2026-12-07 14:05:01.000", "2 V", "1 V"}));
    QCOMPARE(window.wholeHeading()->text(), "&Whole recording: 3 readings");
    QCOMPARE(rowTexts(*window.pageTable(), 0), rowTexts(*window.wholeTable(), 0));

    // One more reading: added to the figures, not counted again.
    logReadings(store, {" 4.000"}, 3);
    window.refresh();
    QCOMPARE(rowTexts(*window.wholeTable(), 0),
             QStringList({"AC V", "4", "0", "1 V", "2026-12-07 14:05:00.000", "4 V",
                          "2026-12-07 14:05:03.000", "2.5 V", "1.290994449 V"}));

    // The shown page alone: pages hold 200 readings counted back from the
    // newest, so with 201 the oldest is page 1 on its own.
    QStringList more;
    for (int i = 0; i < 197; ++i)
        more << " 5.000";
    logReadings(store, more, 4);
    window.refresh();
    QCOMPARE(window.wholeTable()->item(0, Count)->text(), "201");
    QCOMPARE(window.pageHeading()->text(), "&Shown page 2: 200 readings");
    QCOMPARE(window.pageTable()->item(0, Count)->text(), "200");
    QCOMPARE(window.pageTable()->item(0, Minimum)->text(), "2 V");
    store.showPage(1);
    window.refresh();
    QCOMPARE(window.pageTable()->item(0, Count)->text(), "1");
    QCOMPARE(window.pageTable()->item(0, Minimum)->text(), "1 V");
}

void TestStatisticsWindow::cellsAreCopiedAndRead()
{
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    TStatisticsWindow window(store);
    logReadings(store, {" 1.000", " 3.000"});
    window.refresh();
    QTableWidget& table = *window.wholeTable();
    table.setRangeSelected(QTableWidgetSelectionRange(0, Minimum, 0, MaximumTime), true);
    QCOMPARE(TStatisticsWindow::selectedText(table),
             "1 V\t2026-12-07 14:05:00.000\t3 V\t2026-12-07 14:05:01.000");
    // Ctrl+C puts the same text on the clipboard.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    table.setFocus();
    QTest::keySequence(&table, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(),
             "1 V\t2026-12-07 14:05:00.000\t3 V\t2026-12-07 14:05:01.000");

    // A screen reader reads each cell with its function and column.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&table);
    QVERIFY(accessible && accessible->tableInterface());
    QCOMPARE(accessible->text(QAccessible::Name), "Whole recording");
    QAccessibleInterface* cell = accessible->tableInterface()->cellAt(0, Maximum);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), "AC V, Maximum: 3 V");
    cell = accessible->tableInterface()->cellAt(0, Deviation);
    QCOMPARE(cell->text(QAccessible::Name), "AC V, Standard deviation: 1.414213562 V");
}

void TestStatisticsWindow::aLoadedBufferIsCountedOffThisThread()
{
    RecorderStore store{QString()};
    TStatisticsWindow window(store);
    RecordBuffer loaded;
    RecordTally tally;
    for (int i = 0; i < 300'000; ++i) {
        TARecord record;
        record.function = acVoltsReading(" 1.000").iFunction;
        record.fValue = float(i % 3);
        record.value = std::to_string(i % 3);
        loaded.append(record);
        tally.add(record.fValue);
    }
    store.takeLoaded(std::move(loaded));
    store.finishLoad(tally);
    window.refresh();
    QVERIFY(window.counting());
    QCOMPARE(window.wholeHeading()->text(), "&Whole recording: counting 300000 readings...");
    QTRY_VERIFY((window.refresh(), !window.counting()));
    QCOMPARE(rowTexts(*window.wholeTable(), 0),
             QStringList({"AC V", "300000", "0", "0 V", "", "2 V", "", "1 V", "0.8164979418 V"}));
}

QTEST_MAIN(TestStatisticsWindow)
#include "tst_statisticswindow.moc"
