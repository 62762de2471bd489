// SPDX-License-Identifier: MIT
// The recorder's store: values and overloads, what is not logged, pages,
// extremes, the Y scale, the command table and the temporary files.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

#include "RecordBuffer.h"
#include "RecorderControls.h"
#include "RecorderRules.h"
#include "RecorderStore.h"

using namespace dmm;

namespace {

CurrentReading reading(const std::string& digits, const std::string& exponent, int function,
                       const std::string& value = "1.000")
{
    CurrentReading r;
    r.sDigits = digits;
    r.sExponent = exponent;
    r.iFunction = function;
    r.szValue = value;
    r.szPrefix = "m";
    r.szUnit = "V";
    return r;
}

// Records what the store asks of the window, in order.
struct ViewLog : RecorderStoreView
{
    QStringList calls;
    void redrawShownPage() override { calls << QStringLiteral("redraw"); }
    void scaleChanged() override { calls << QStringLiteral("scale"); }
    void showMaxMin(bool reset) override
    {
        calls << (reset ? QStringLiteral("maxmin-reset") : QStringLiteral("maxmin"));
    }
    void chartPointAppended(const TARecord&) override { calls << QStringLiteral("point"); }
    void listAdded(int index) override { calls << QStringLiteral("list %1").arg(index); }
    void progressStepped() override { calls << QStringLiteral("progress"); }
    void statusChanged() override { calls << QStringLiteral("status"); }
    void controlsChanged() override { calls << QStringLiteral("controls"); }
};

RecordBuffer bufferOf(const QList<float>& values)
{
    RecordBuffer buffer;
    for (const float v : values) {
        TARecord r;
        r.fValue = v;
        buffer.append(r);
    }
    return buffer;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray recordBytes(const RecordBuffer& buffer)
{
    QByteArray bytes;
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const auto one = encodeARecord(buffer.at(i));
        bytes.append(reinterpret_cast<const char*>(one.data()), static_cast<int>(one.size()));
    }
    return bytes;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

class TestRecorderStore : public QObject
{
    Q_OBJECT
private slots:
    void loggedValue_data();
    void loggedValue();
    void firstReadingAndPageBoundaries();
    void appendStepsInOrder();
    void loggingReturnsToTheNewestPage();
    void loadShowsItsNewestPage_data();
    void loadShowsItsNewestPage();
    void showPageStaysWithinThePages_data();
    void showPageStaysWithinThePages();
    void maxMin_data();
    void maxMin();
    void scale_data();
    void scale();
    void pageSlice_data();
    void pageSlice();
    void cursorOnAPartialPage();
    void controls_data();
    void controls();
    void statusTexts();
    void intervalText_data();
    void intervalText();
    void tempFileHoldsTheRunByteForByte();
    void crashedRunsFileIsNeverOverwrittenOrDeleted();
    void twoRunsMakeTwoFilesBothDeleted();
    void unwritableDirectoryFailsToCreate();
    void bufferMemoryPerRecord();
    void clearStartsAfresh();
};

void TestRecorderStore::loggedValue_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("exponent");
    QTest::addColumn<int>("function");
    QTest::addColumn<bool>("logged");
    QTest::addColumn<float>("value");
    QTest::newRow("plain with exponent") << " 1.234"
                                         << "-3" << 5 << true << 0.001234f;
    QTest::newRow("OL ohms") << "  OL "
                             << "3" << 128 << true << 9900.0f;
    QTest::newRow("-OL volts") << " -O.L"
                               << "0" << 5 << true << -6.6f;
    QTest::newRow("OL capacitance") << " O.L"
                                    << "1" << 8 << true << 55.0f;
    QTest::newRow("OL temperature") << " OL"
                                    << "0" << 32 << true << 1100.0f;
    QTest::newRow("OL continuity") << " OL"
                                   << "2" << 384 << true << 1000.0f;
    QTest::newRow("OL outside the table") << "  OL"
                                          << "0" << 4 << false << 0.0f;
    QTest::newRow("no number, no L") << " ----"
                                     << "0" << 5 << false << 0.0f;
}

void TestRecorderStore::loggedValue()
{
    QFETCH(QString, digits);
    QFETCH(QString, exponent);
    QFETCH(int, function);
    QFETCH(bool, logged);
    QFETCH(float, value);
    QTemporaryDir dir;
    ViewLog view;
    RecorderStore store(dir.path(), &view);
    QCOMPARE(store.appendReading(reading(digits.toStdString(), exponent.toStdString(), function),
                                 "  9:05:03.4  "),
             logged);
    QCOMPARE(store.buffer().size(), logged ? 1u : 0u);
    QCOMPARE(store.state().readingCount, logged ? 1 : 0);
    QCOMPARE(store.state().bufferEmpty, !logged);
    QCOMPARE(store.state().unsavedData, logged);
    if (!logged) {
        QVERIFY(view.calls.isEmpty());
        return;
    }
    const TARecord& r = store.buffer().at(0);
    QCOMPARE(r.fValue, value);
    QCOMPARE(r.function, function);
    QCOMPARE(QString::fromLatin1(r.timeStamp.view()), QStringLiteral("  9:05:03.4  "));
    QCOMPARE(QString::fromLatin1(r.display.view()), digits);
}

void TestRecorderStore::firstReadingAndPageBoundaries()
{
    QTemporaryDir dir;
    ViewLog view;
    RecorderStore store(dir.path(), &view);
    store.appendReading(reading("1.000", "0", 5), "t");
    QCOMPARE(store.state().lastPage, 1);
    QCOMPARE(store.state().shownPage, 1);
    QVERIFY(view.calls.contains(QStringLiteral("maxmin-reset")));
    QVERIFY(view.calls.contains(QStringLiteral("list 0")));
    for (int i = 1; i < 200; ++i)
        store.appendReading(reading("1.000", "0", 5), "t");
    QCOMPARE(store.state().lastPage, 1); // the 200th is still on page 1
    store.appendReading(reading("1.000", "0", 5), "t");
    QCOMPARE(store.state().lastPage, 2); // the 201st starts page 2
    for (int i = 201; i < 400; ++i)
        store.appendReading(reading("1.000", "0", 5), "t");
    QCOMPARE(store.state().lastPage, 2);
    QCOMPARE(store.state().readingCount, 400);
    QCOMPARE(view.calls.last(), QStringLiteral("controls"));
}

void TestRecorderStore::appendStepsInOrder()
{
    QTemporaryDir dir;
    ViewLog view;
    RecorderStore store(dir.path(), &view);
    store.appendReading(reading("1.000", "0", 5), "t");
    QCOMPARE(view.calls, (QStringList{"scale", "maxmin-reset", "point", "list 0", "progress",
                                      "status", "controls"}));
}

void TestRecorderStore::loggingReturnsToTheNewestPage()
{
    QTemporaryDir dir;
    ViewLog view;
    RecorderStore store(dir.path(), &view);
    for (int i = 0; i < 250; ++i)
        store.appendReading(reading("1.000", "0", 5), "t");
    store.showPage(1); // the user paged back
    view.calls.clear();
    store.appendReading(reading("  OL", "0", 4), "t"); // not logged, yet back to the newest page
    QCOMPARE(view.calls, QStringList{"redraw"});
    QCOMPARE(store.state().shownPage, 2);
}

void TestRecorderStore::loadShowsItsNewestPage_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("lastPage");
    QTest::addColumn<QStringList>("calls");
    const QStringList shown{"scale", "maxmin", "status"};
    QTest::newRow("empty file") << 0 << 1 << QStringList{};
    QTest::newRow("one record: the extremes emptied, as logging one does")
        << 1 << 1 << QStringList{"scale", "maxmin-reset", "status"};
    QTest::newRow("199") << 199 << 1 << shown;
    QTest::newRow("200: page 2 still empty") << 200 << 2 << shown;
    QTest::newRow("400") << 400 << 3 << shown;
}

void TestRecorderStore::loadShowsItsNewestPage()
{
    QFETCH(int, records);
    QFETCH(int, lastPage);
    QFETCH(QStringList, calls);
    ViewLog view;
    RecorderStore store(QString(), &view);
    store.expectLoad(records);
    QCOMPARE(store.state().lastPage, lastPage); // what the status bar shows while it loads
    QCOMPARE(store.state().shownPage, 1);
    RecordTally tally;
    for (int i = 0; i < records; ++i)
        tally.add(float(i));
    store.takeLoaded(bufferOf(QList<float>(records, 1.0f)));
    store.finishLoad(tally);
    QCOMPARE(store.state().lastPage, lastPage);
    QCOMPARE(store.state().shownPage, lastPage);
    QCOMPARE(store.state().readingCount, records);
    QVERIFY(!store.state().bufferEmpty && store.state().unsavedData);
    QCOMPARE(view.calls, calls);
}

void TestRecorderStore::showPageStaysWithinThePages_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("shown");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("2") << 2 << 2;
    QTest::newRow("past the last") << 4 << 3;
}

void TestRecorderStore::showPageStaysWithinThePages()
{
    QFETCH(int, asked);
    QFETCH(int, shown);
    RecorderStore store{QString()};
    RecordTally tally;
    tally.count = 450;
    store.finishLoad(tally);
    store.showPage(asked);
    QCOMPARE(store.state().shownPage, shown);
}

void TestRecorderStore::maxMin_data()
{
    QTest::addColumn<QList<float>>("values");
    QTest::addColumn<int>("maxIndex");
    QTest::addColumn<int>("minIndex");
    QTest::newRow("one") << QList<float>{3} << 0 << 0;
    QTest::newRow("ties move to the newest") << QList<float>{5, 5} << 1 << 0;
    QTest::newRow("rising") << QList<float>{3, 5} << 1 << 0;
    QTest::newRow("falling") << QList<float>{5, 3} << 0 << 1;
    QTest::newRow("equal minimum moves") << QList<float>{5, 3, 3} << 0 << 2;
    QTest::newRow("negative") << QList<float>{-1, -4, 2, -4} << 2 << 3;
    QTest::newRow("NaN never an extreme") << QList<float>{2, kNaN, 1, 3} << 3 << 2;
    QTest::newRow("NaN first gives way") << QList<float>{kNaN, 4, 1} << 1 << 2;
    QTest::newRow("infinity skipped")
        << QList<float>{1, std::numeric_limits<float>::infinity(), 0} << 0 << 2;
}

void TestRecorderStore::maxMin()
{
    QFETCH(QList<float>, values);
    QFETCH(int, maxIndex);
    QFETCH(int, minIndex);
    const RecordBuffer buffer = bufferOf(values);
    int maxI = -1;
    int minI = -1;
    for (int i = 0; i < values.size(); ++i)
        updateMaxMin(maxI, minI, buffer, i, values[i]);
    QCOMPARE(maxI, maxIndex);
    QCOMPARE(minI, minIndex);
}

void TestRecorderStore::scale_data()
{
    QTest::addColumn<QList<float>>("values");
    QTest::addColumn<float>("maxY");
    QTest::addColumn<float>("minY");
    QTest::newRow("first 0") << QList<float>{0} << 1.0f << -1.0f;
    QTest::newRow("first -2.5") << QList<float>{-2.5f} << 3.325f << -3.325f;
    QTest::newRow("then 3 widens the top") << QList<float>{-2.5f, 3} << 3.99f << -3.325f;
    QTest::newRow("then 1 changes nothing") << QList<float>{-2.5f, 3, 1} << 3.99f << -3.325f;
    QTest::newRow("then -5 widens the bottom") << QList<float>{-2.5f, -5} << 3.325f << -6.65f;
    QTest::newRow("at the threshold") << QList<float>{1.0f, 1.0f} << 1.33f << -1.33f;
    QTest::newRow("NaN first") << QList<float>{kNaN} << 1.0f << -1.0f;
    QTest::newRow("NaN later ignored") << QList<float>{2, kNaN} << 2.66f << -2.66f;
    QTest::newRow("largest float stays finite")
        << QList<float>{std::numeric_limits<float>::max()} << std::numeric_limits<float>::max()
        << -std::numeric_limits<float>::max();
}

void TestRecorderStore::scale()
{
    QFETCH(QList<float>, values);
    QFETCH(float, maxY);
    QFETCH(float, minY);
    float scaleMax = 100.0f;
    float scaleMin = -100.0f;
    for (int i = 0; i < values.size(); ++i)
        updateScale(scaleMax, scaleMin, i, values[i]);
    QCOMPARE(scaleMax, maxY);
    QCOMPARE(scaleMin, minY);
}

void TestRecorderStore::pageSlice_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("lastPage");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("emptySlots");
    QTest::newRow("201 logged, page 1") << 201 << 2 << 1 << 0 << 1 << 199;
    QTest::newRow("201 logged, page 2") << 201 << 2 << 2 << 1 << 200 << 0;
    QTest::newRow("400, page 1") << 400 << 2 << 1 << 0 << 200 << 0;
    QTest::newRow("400, page 2") << 400 << 2 << 2 << 200 << 200 << 0;
    QTest::newRow("200 opened, page 1 empty") << 200 << 2 << 1 << 0 << 0 << 200;
    QTest::newRow("200 opened, page 2") << 200 << 2 << 2 << 0 << 200 << 0;
    QTest::newRow("450, page 1") << 450 << 3 << 1 << 0 << 50 << 150;
    QTest::newRow("450, page 3") << 450 << 3 << 3 << 250 << 200 << 0;
    QTest::newRow("empty") << 0 << 1 << 1 << 0 << 0 << 200;
}

void TestRecorderStore::pageSlice()
{
    QFETCH(int, entries);
    QFETCH(int, lastPage);
    QFETCH(int, page);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(int, emptySlots);
    const PageSlice slice = dmm::pageSlice(static_cast<std::size_t>(entries), lastPage, page, 200);
    QCOMPARE(static_cast<int>(slice.first), first);
    QCOMPARE(slice.count, count);
    QCOMPARE(slice.emptySlots, emptySlots);
}

void TestRecorderStore::cursorOnAPartialPage()
{
    // 201 readings with page 1 shown: only the rightmost point is an entry.
    QCOMPARE(cursorIndex(199, 201, 2, 1, 200), 0LL);
    QVERIFY(cursorIndex(198, 201, 2, 1, 200) < 0);
    QVERIFY(cursorIndex(0, 201, 2, 1, 200) < 0);
    QCOMPARE(cursorIndex(199, 201, 2, 2, 200), 200LL);
    QCOMPARE(cursorIndex(0, 201, 2, 2, 200), 1LL);
}

void TestRecorderStore::controls_data()
{
    QTest::addColumn<bool>("recording");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<int>("lastPage");
    // start/stop buttons, menu Start, menu Stop, manual, open+option, save+print, page back
    QTest::addColumn<QString>("enabled");
    QTest::newRow("idle, empty") << false << false << false << true << 1 << "11001000";
    QTest::newRow("recording") << true << false << false << false << 2 << "10100000";
    QTest::newRow("stopped with data, two pages")
        << false << false << false << false << 2 << "11001111";
    QTest::newRow("manual mode") << false << true << false << false << 1 << "00011100";
    QTest::newRow("busy") << false << false << true << false << 3 << "00000000";
}

void TestRecorderStore::controls()
{
    QFETCH(bool, recording);
    QFETCH(bool, manual);
    QFETCH(bool, busy);
    QFETCH(bool, empty);
    QFETCH(int, lastPage);
    QFETCH(QString, enabled);
    const RecorderControls c = recorderControls(recording, manual, busy, empty, lastPage);
    QString got;
    for (const bool b : {c.startStopButtons, c.menuStart, c.menuStop, c.manual, c.openOption,
                         c.saveAndPrint, c.pageBack, c.pageForward})
        got += b ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(got.left(7), enabled.left(7));
    QCOMPARE(c.pageForward, false); // the newest page is shown after every state change
}

void TestRecorderStore::statusTexts()
{
    QCOMPARE(recorderClockText(0, 5, 9, "AM", "PM"), QStringLiteral("  AM 12:05:09\""));
    QCOMPARE(recorderClockText(13, 0, 0, "AM", "PM"), QStringLiteral("  PM 01:00:00\""));
    QCOMPARE(recorderClockText(12, 30, 59, "AM", "PM"), QStringLiteral("  PM 12:30:59\""));
    QCOMPARE(recorderModeText(true, 5000), QStringLiteral("Manual"));
    QCOMPARE(recorderModeText(false, 500), QStringLiteral("Full Speed"));
    QCOMPARE(recorderModeText(false, 5000), QStringLiteral("Interval in second(s):5S"));
}

void TestRecorderStore::intervalText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<qlonglong>("seconds");
    QTest::newRow("zero") << "0" << true << 0LL;
    QTest::newRow("ten") << " 10 " << true << 10LL;
    QTest::newRow("negative") << "-5" << true << -5LL;
    QTest::newRow("letters") << "abc" << false << 0LL;
    QTest::newRow("decimal") << "1.5" << false << 0LL;
    QTest::newRow("empty") << "" << false << 0LL;
    QTest::newRow("huge") << "99999999999" << true << 99999999999LL;
}

void TestRecorderStore::intervalText()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(qlonglong, seconds);
    const auto parsed = parseIntervalSeconds(text);
    QCOMPARE(parsed.has_value(), isNumber);
    if (parsed)
        QCOMPARE(*parsed, seconds);
    // The longest interval whose milliseconds fit 32 bits.
    QCOMPARE(kMaxIntervalSeconds, 2147483);
}

void TestRecorderStore::tempFileHoldsTheRunByteForByte()
{
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    store.appendReading(reading("2.000", "0", 5), "before"); // manual, outside a run
    QVERIFY(store.tempFiles().createNext());
    store.appendReading(reading("1.234", "-3", 514, "1.234"), "  9:05:03.4  ");
    store.appendReading(reading("  OL", "1", 128), "  9:05:03.9  ");
    store.appendReading(reading(" ----", "0", 5), "not logged");
    // Every record is on disk before the run stops: a crash loses none.
    const QString path = dir.filePath(QStringLiteral("~KOPLX1.TMP"));
    RecordBuffer run;
    run.append(store.buffer().at(1));
    run.append(store.buffer().at(2));
    QCOMPARE(fileBytes(path), recordBytes(run));
    store.tempFiles().close();
    QCOMPARE(fileBytes(path).size(), 152);
}

void TestRecorderStore::crashedRunsFileIsNeverOverwrittenOrDeleted()
{
    QTemporaryDir dir;
    const QByteArray leftover(760, 'x');
    {
        QFile crashed(dir.filePath(QStringLiteral("~KOPLX1.TMP")));
        QVERIFY(crashed.open(QIODevice::WriteOnly));
        crashed.write(leftover);
    }
    {
        RecorderStore store(dir.path());
        QVERIFY(store.tempFiles().createNext());
        QCOMPARE(store.tempFiles().createdFiles(),
                 QStringList{dir.filePath(QStringLiteral("~KOPLX2.TMP"))});
        store.appendReading(reading("1.000", "0", 5), "t");
        store.tempFiles().deleteCreatedFiles();
    }
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("~KOPLX1.TMP"))), leftover);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("~KOPLX2.TMP"))));
}

void TestRecorderStore::twoRunsMakeTwoFilesBothDeleted()
{
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    QVERIFY(store.tempFiles().createNext());
    QVERIFY(store.tempFiles().createNext()); // Start again during a run
    QCOMPARE(store.tempFiles().tempFileCount(), 2);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("~KOPLX1.TMP"))));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("~KOPLX2.TMP"))));
    store.tempFiles().deleteCreatedFiles(); // the second is still open
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestRecorderStore::unwritableDirectoryFailsToCreate()
{
    RecorderStore store(QStringLiteral("/nonexistent/dmm-recorder"));
    QString reason;
    QVERIFY(!store.tempFiles().createNext(&reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(!store.tempFiles().isOpen());
    // Logging still works; nothing is written.
    QVERIFY(store.appendReading(reading("1.000", "0", 5), "t"));
}

void TestRecorderStore::bufferMemoryPerRecord()
{
    RecordBuffer buffer;
    TARecord r;
    for (int i = 0; i < 100000; ++i)
        buffer.append(r);
    QVERIFY2(buffer.memoryBytes() / buffer.size() < 100, "under 100 bytes per record");
    buffer.clear();
    QCOMPARE(buffer.memoryBytes(), std::size_t(0));
}

void TestRecorderStore::clearStartsAfresh()
{
    QTemporaryDir dir;
    RecorderStore store(dir.path());
    RecordTally tally;
    for (int i = 0; i < 250; ++i)
        tally.add(float(i % 7));
    store.finishLoad(tally);
    QCOMPARE(store.state().shownPage, 2);
    store.clear();
    const RecorderState& s = store.state();
    QCOMPARE(s.lastPage, 1);
    QCOMPARE(s.shownPage, 1);
    QCOMPARE(s.readingCount, 0);
    QCOMPARE(s.maxIndex, 0);
    QCOMPARE(s.minIndex, 0);
    QCOMPARE(s.scaleMaxY, 100.0f);
    QCOMPARE(s.scaleMinY, -100.0f);
    QVERIFY(s.bufferEmpty && !s.unsavedData);
}

QTEST_GUILESS_MAIN(TestRecorderStore)
#include "tst_recorderstore.moc"
