// SPDX-License-Identifier: MIT
// The data list: its line format, sheets of 32000 lines, the reset, the
// selection of the newest line and where the window puts itself.
#include <QtTest>

#include "DataListLine.h"
#include "DataPageListForm.h"
#include "DataSheetModel.h"
#include "Fonts.h"
#include "MessageBox.h"
#include "ViewMessages.h"
#include "WindowMetrics.h"

#include <QListView>
#include <QTabWidget>

Q_DECLARE_METATYPE(dmm::TARecord)

using namespace dmm;

namespace {

TARecord record(int function, const char* value, const char* prefix, const char* unit,
                const char* subDisplay = "")
{
    TARecord r;
    r.function = function;
    r.timeStamp = formatTimeStamp(14, 5, 9, 300);
    r.value = value;
    r.prefix = prefix;
    r.unit = unit;
    r.subDisplay = subDisplay;
    return r;
}

void fill(RecordBuffer& buffer, int count)
{
    for (int i = 0; i < count; ++i) {
        TARecord r = record(6, "1.234", "m", "V");
        r.value = std::to_string(i);
        buffer.append(r);
    }
}

void add(TDataPageListForm& form, int from, int to)
{
    for (int i = from; i < to; ++i)
        QVERIFY(sendViewMessage(&form, WM_LIST_ADD, i));
}

QString line(const TDataPageListForm& form, int sheet, int row)
{
    return form.sheetModel(sheet)->lineText(row);
}

} // namespace

class TestDataList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void lineFormat_data();
    void lineFormat();
    void startsWithOneEmptySheet();
    void sheetRollsOverAt32000();
    void resetLeavesOneEmptySheetAndNumbersAgain();
    void oneNoticeCatchesUpOverSheets();
    void loadOfSeveralSheetsEqualsListBuiltReadingByReading_data();
    void loadOfSeveralSheetsEqualsListBuiltReadingByReading();
    void resetAfterManySheetsLeavesOneSheet();
    void newestLineIsSelectedOncePerPass();
    void hiddenSheetShowsItsNewestLineWhenShown();
    void entriesGoneBeforeTheResetDrawNothing();
    void placedUnderTheMetersDownToTheTaskBar();
    void maximisedKeepsToTheLeftColumn();

    void linesOutsideTheSheetOrTheBufferAreEmpty();

private:
    QWidget m_main;
    QWidget m_digital;
    QWidget m_analog;
};

void TestDataList::initTestCase()
{
    installFontSubstitutions();
    m_main.resize(800, 60);
    m_digital.resize(300, 180);
    m_analog.resize(300, 200);
    learnFrameMargins(&m_main);
    setMessageBoxHandler([](const MessageBoxRequest& request) {
        qWarning("unexpected box %d", request.messageId);
        return int(QMessageBox::Ok);
    });
}

void TestDataList::lineFormat_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<TARecord>("entry");
    QTest::addColumn<QString>("line");
    QTest::newRow("first entry, millivolts")
        << 0 << record(6, "1.234", "m", "V") << "1, 14:05:09.3  ,1.234mV";
    QTest::newRow("resistance 128 spells out Ohm")
        << 41 << record(128, "12.34", "K", "W") << "42, 14:05:09.3  ,12.34K Ohm";
    QTest::newRow("continuity 384 spells out Ohm")
        << 2 << record(384, "0.5", "", "W") << "3, 14:05:09.3  ,0.5 Ohm";
    QTest::newRow("sub-display shown")
        << 4 << record(1024, "50.00", "", "Hz", "12") << "5, 14:05:09.3  ,50.00Hz ,PF=12";
    QTest::newRow("texts untrimmed") << 9 << record(5, " OL ", "", "V") << "10, 14:05:09.3  , OL V";
    QTest::newRow("no unit") << 31999 << record(0, "----", "", "") << "32000, 14:05:09.3  ,----";
    QTest::newRow("big index") << 999999 << record(8, "1.000", "u", "F")
                               << "1000000, 14:05:09.3  ,1.000uF";
}

void TestDataList::lineFormat()
{
    QFETCH(int, index);
    QFETCH(TARecord, entry);
    QFETCH(QString, line);
    QCOMPARE(entry.timeStamp.str(), std::string(" 14:05:09.3  "));
    QCOMPARE(QString::fromStdString(dataListLine(std::size_t(index), entry)), line);
}

void TestDataList::startsWithOneEmptySheet()
{
    RecordBuffer buffer;
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("Data list"));
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(form.PageControl->objectName(), QStringLiteral("PageControl"));
    QCOMPARE(form.pageCount(), 1);
    QCOMPARE(form.PageControl->count(), 1);
    QCOMPARE(form.PageControl->tabText(0), QStringLiteral("Sheet1"));
    QCOMPARE(form.sheet(0)->objectName(), QStringLiteral("tsSheet1"));
    QCOMPARE(form.dataList(0)->objectName(), QStringLiteral("DataList"));
    QVERIFY(form.dataList(0)->uniformItemSizes());
    QCOMPARE(form.sheetModel(0)->rowCount(), 0);
}

void TestDataList::sheetRollsOverAt32000()
{
    RecordBuffer buffer;
    fill(buffer, 32002);
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    add(form, 0, 31999);
    QCOMPARE(form.pageCount(), 1);

    add(form, 31999, 32000);
    // Sheet2 is made, and shown, right after the 32000th line.
    QCOMPARE(form.pageCount(), 2);
    QCOMPARE(form.sheetModel(0)->rowCount(), 32000);
    QCOMPARE(form.sheetModel(1)->rowCount(), 0);
    QVERIFY(line(form, 0, 31999).startsWith(QStringLiteral("32000,")));
    QCOMPARE(form.PageControl->currentIndex(), 1);
    QCOMPARE(form.PageControl->tabText(1), QStringLiteral("Sheet2"));
    QCOMPARE(form.sheet(1)->objectName(), QStringLiteral("tsSheet2"));
    QCOMPARE(form.dataList(1)->objectName(), QStringLiteral("DataList"));

    add(form, 32000, 32002);
    QCOMPARE(form.sheetModel(1)->rowCount(), 2);
    QCOMPARE(line(form, 1, 0), QStringLiteral("32001, 14:05:09.3  ,32000mV"));
    QCOMPARE(form.dataList(1)->model()->data(form.sheetModel(1)->index(1)).toString(),
             QStringLiteral("32002, 14:05:09.3  ,32001mV"));
    QCOMPARE(form.PageControl->currentIndex(), 1);
    QCOMPARE(form.pageCount(), 2);
}

void TestDataList::oneNoticeCatchesUpOverSheets()
{
    // A file load names only the newest entry of each slice.
    RecordBuffer buffer;
    fill(buffer, 70000);
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    add(form, 0, 3);
    QVERIFY(sendViewMessage(&form, WM_LIST_ADD, 65535));
    QCOMPARE(form.pageCount(), 3);
    QCOMPARE(form.sheetModel(0)->rowCount(), 32000);
    QCOMPARE(form.sheetModel(1)->rowCount(), 32000);
    QCOMPARE(form.sheetModel(2)->rowCount(), 1536);
    QVERIFY(line(form, 1, 0).startsWith(QStringLiteral("32001,")));
    QVERIFY(line(form, 2, 1535).startsWith(QStringLiteral("65536,")));
    QCOMPARE(form.PageControl->currentIndex(), 2);
    add(form, 65536, 65537); // one by one again afterwards
    QVERIFY(line(form, 2, 1536).startsWith(QStringLiteral("65537,")));
    // An index the buffer does not hold adds just that line, never a run of them.
    QVERIFY(sendViewMessage(&form, WM_LIST_ADD, 900000));
    QCOMPARE(form.sheetModel(2)->rowCount(), 1538);
}

void TestDataList::loadOfSeveralSheetsEqualsListBuiltReadingByReading_data()
{
    QTest::addColumn<int>("before"); // entries added one by one first
    QTest::addColumn<int>("total");
    QTest::newRow("three and a half sheets at once") << 0 << 112000;
    QTest::newRow("exactly two full sheets") << 0 << 64000;
    QTest::newRow("from a partly filled sheet") << 31990 << 96010;
}

void TestDataList::loadOfSeveralSheetsEqualsListBuiltReadingByReading()
{
    QFETCH(int, before);
    QFETCH(int, total);
    RecordBuffer buffer;
    fill(buffer, total);
    TDataPageListForm byReading(&m_main, &m_digital, &m_analog, &buffer);
    TDataPageListForm byLoad(&m_main, &m_digital, &m_analog, &buffer);
    add(byReading, 0, total);
    add(byLoad, 0, before);
    QSignalSpy currentChanges(byLoad.PageControl, &QTabWidget::currentChanged);
    QVERIFY(sendViewMessage(&byLoad, WM_LIST_ADD, total - 1));
    // The newest sheet is made current once, at the end of the notice.
    QCOMPARE(currentChanges.size(), 1);
    QCOMPARE(currentChanges.first().first().toInt(), byReading.pageCount() - 1);

    QCOMPARE(byLoad.pageCount(), byReading.pageCount());
    QCOMPARE(byLoad.PageControl->count(), byReading.PageControl->count());
    QCOMPARE(byLoad.PageControl->currentIndex(), byReading.PageControl->currentIndex());
    QVERIFY(byLoad.PageControl->isVisibleTo(&byLoad));
    for (int i = 0; i < byReading.pageCount(); ++i) {
        QCOMPARE(byLoad.PageControl->tabText(i), byReading.PageControl->tabText(i));
        QVERIFY(byLoad.PageControl->isTabVisible(i));
        QCOMPARE(byLoad.PageControl->widget(i), byLoad.sheet(i));
        QCOMPARE(byLoad.sheetModel(i)->firstIndex(), byReading.sheetModel(i)->firstIndex());
        const int rows = byReading.sheetModel(i)->rowCount();
        QCOMPARE(byLoad.sheetModel(i)->rowCount(), rows);
        if (rows > 0)
            QCOMPARE(line(byLoad, i, rows - 1), line(byReading, i, rows - 1));
    }
    // Both select the newest line of every sheet that grew.
    const int last = byReading.pageCount() - 1;
    const int newestRow = byReading.sheetModel(last)->rowCount() - 1;
    QTRY_COMPARE(byLoad.dataList(last)->currentIndex().row(), newestRow);
    QCOMPARE(byReading.dataList(last)->currentIndex().row(), newestRow);
    // A sheet of the batch shown afterwards shows its lines, the newest
    // selected (the second sheet is full in every row).
    byLoad.PageControl->setCurrentIndex(1);
    QListView* earlier = byLoad.dataList(1);
    QCOMPARE(earlier->model()->rowCount(), 32000);
    QTRY_COMPARE(earlier->currentIndex().row(), 31999);
}

void TestDataList::resetAfterManySheetsLeavesOneSheet()
{
    RecordBuffer buffer;
    fill(buffer, 100000);
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    QVERIFY(sendViewMessage(&form, WM_LIST_ADD, 99999));
    QCOMPARE(form.pageCount(), 4);
    QVERIFY(sendViewMessage(&form, WM_LIST_RESET));
    QCOMPARE(form.PageControl->count(), 1);
    QCOMPARE(form.PageControl->currentIndex(), 0);
    QVERIFY(form.PageControl->isVisibleTo(&form));
    QVERIFY(form.PageControl->widget(0) == form.sheet(0));
    // The old sheets' lists and models are all gone once events have run.
    QTRY_COMPARE(form.findChildren<QListView*>().size(), 1);
    QCOMPARE(form.findChildren<DataSheetModel*>().size(), 1);
}

void TestDataList::resetLeavesOneEmptySheetAndNumbersAgain()
{
    RecordBuffer buffer;
    fill(buffer, 32005);
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    add(form, 0, 32005);
    QCOMPARE(form.pageCount(), 2);

    buffer.clear();
    QVERIFY(sendViewMessage(&form, WM_LIST_RESET));
    QCOMPARE(form.pageCount(), 1);
    QCOMPARE(form.PageControl->count(), 1);
    QCOMPARE(form.PageControl->tabText(0), QStringLiteral("Sheet1"));
    QCOMPARE(form.sheet(0)->objectName(), QStringLiteral("tsSheet1"));
    QCOMPARE(form.sheetModel(0)->rowCount(), 0);
    QTRY_COMPARE(form.findChildren<QListView*>().size(), 1);

    fill(buffer, 1);
    add(form, 0, 1);
    QCOMPARE(line(form, 0, 0), QStringLiteral("1, 14:05:09.3  ,0mV"));

    // A buffer handed over later is read from then on.
    RecordBuffer later;
    later.append(record(128, "4.7", "K", "W"));
    form.setRecordBuffer(&later);
    QCOMPARE(form.sheetModel(0)->rowCount(), 0);
    add(form, 0, 1);
    QCOMPARE(line(form, 0, 0), QStringLiteral("1, 14:05:09.3  ,4.7K Ohm"));
}

void TestDataList::newestLineIsSelectedOncePerPass()
{
    RecordBuffer buffer;
    fill(buffer, 3000);
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QListView* list = form.dataList(0);
    add(form, 0, 3000);
    // Within one pass nothing is selected yet; the pass ends on the newest line.
    QVERIFY(!list->currentIndex().isValid());
    QTRY_COMPARE(list->currentIndex().row(), 2999);
    QVERIFY(list->selectionModel()->isSelected(list->currentIndex()));
    QVERIFY(list->viewport()->rect().intersects(list->visualRect(list->currentIndex())));
}

void TestDataList::hiddenSheetShowsItsNewestLineWhenShown()
{
    RecordBuffer buffer;
    fill(buffer, 5000);
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    form.hide();
    add(form, 0, 5000);
    QListView* list = form.dataList(0);
    QTRY_COMPARE(list->currentIndex().row(), 4999);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(list->viewport()->rect().intersects(list->visualRect(list->currentIndex())));
}

void TestDataList::entriesGoneBeforeTheResetDrawNothing()
{
    // The recorder empties its buffer before it sends the reset; a repaint in
    // between must not read entries that are gone.
    RecordBuffer buffer;
    fill(buffer, 10);
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    add(form, 0, 10);
    buffer.clear(); // the lines' texts: linesOutsideTheSheetOrTheBufferAreEmpty
    form.dataList(0)->viewport()->repaint();
}

void TestDataList::placedUnderTheMetersDownToTheTaskBar()
{
    RecordBuffer buffer;
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    const ScreenMetrics screen = screenMetrics();
    const int top = outerHeight(&m_main) + outerHeight(&m_digital) + outerHeight(&m_analog);
    const QRect outer(0, top, screen.screen.width() / 4,
                      screen.screen.height() - top - screen.taskBarHeight);
    // Placed before the window system framed it, with the frame learnt from
    // the main window.
    const QMargins learnt = frameMargins(&m_main);
    QCOMPARE(form.frameGeometry().topLeft(), outer.topLeft());
    QCOMPARE(form.size(), outer.size().shrunkBy(learnt));

    // Tile puts it back after the user moved it, with its real frame now, and
    // counts the analog meter's height also when that meter is hidden.
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.move(300, 40);
    form.resize(500, 300);
    m_analog.hide();
    form.placeUnder(&m_main, &m_digital, &m_analog);
    QCOMPARE(form.frameGeometry(), outer);
    const QSize minimumOuter(screen.screen.width() / 4, screen.screen.height() / 4);
    QCOMPARE(form.minimumSize(), minimumOuter.shrunkBy(frameMargins(&form)));
}

void TestDataList::maximisedKeepsToTheLeftColumn()
{
    RecordBuffer buffer;
    TDataPageListForm form(&m_main, &m_digital, &m_analog, &buffer);
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.move(10, 300);
    form.resize(250, 260);
    QTRY_COMPARE(form.frameGeometry().topLeft(), QPoint(10, 300));

    form.showMaximized();
    const ScreenMetrics screen = screenMetrics();
    const int mainHeight = outerHeight(&m_main);
    const QRect maximised(0, mainHeight, screen.screen.width() / 4,
                          screen.screen.height() - mainHeight - screen.taskBarHeight);
    QTRY_COMPARE(form.frameGeometry(), maximised);

    // Maximising again goes back to where the window was.
    form.showMaximized();
    QTRY_COMPARE(form.frameGeometry().topLeft(), QPoint(10, 300));
    QCOMPARE(form.size(), QSize(250, 260));
}

void TestDataList::linesOutsideTheSheetOrTheBufferAreEmpty()
{
    RecordBuffer buffer;
    fill(buffer, 3);
    DataSheetModel sheet(&buffer);
    sheet.appendLines(0, 2);
    QVERIFY(!sheet.lineText(1).isEmpty());
    QCOMPARE(sheet.lineText(2), QString()); // in the buffer, not in the sheet
    sheet.appendLine(2);
    buffer.clear(); // emptied and refilled before the sheet hears of it
    fill(buffer, 2);
    QVERIFY(!sheet.lineText(1).isEmpty());
    QCOMPARE(sheet.lineText(2), QString()); // in the sheet, no longer in the buffer
}

QTEST_MAIN(TestDataList)
#include "tst_datalist.moc"
