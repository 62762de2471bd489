// SPDX-License-Identifier: MIT
// The comma-separated text export, its 7-digit value format and the pages it
// covers.
#include <QtTest>

#include "ExportChoice.h"
#include "ExportPages.h"
#include "ExportText.h"
#include "NumberText.h"
#include "RecordBuffer.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

using namespace dmm;

namespace {

TARecord makeRecord(float value, int tenths, const char* subDisplay = "")
{
    TARecord record;
    record.fValue = value;
    record.timeStamp = formatTimeStamp(tenths / 36000 % 24, tenths / 600 % 60, tenths / 10 % 60,
                                       tenths % 10 * 100);
    record.subDisplay = subDisplay;
    return record;
}

// Entry i holds the value i and the time stamp of i tenths after midnight.
RecordBuffer numberedBuffer(std::size_t count)
{
    RecordBuffer buffer;
    for (std::size_t i = 0; i < count; ++i)
        buffer.append(makeRecord(float(i), int(i)));
    return buffer;
}

QStringList lines(const QByteArray& text)
{
    QStringList result = QString::fromLatin1(text).split(QStringLiteral("\r\n"));
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

std::string shortest(float value, std::chars_format format = std::chars_format::general)
{
    char buffer[32];
    const char* end = std::to_chars(buffer, buffer + sizeof buffer, value, format).ptr;
    return std::string(buffer, static_cast<std::size_t>(end - buffer));
}

} // namespace

class TestExportText : public QObject
{
    Q_OBJECT
private slots:
    void value7_data();
    void value7();
    void value7KeepsShortFormsOfMicroamperes();
    void lineLayout_data();
    void lineLayout();
    void emptyRangeIsEmptyText();
    void pages_data();
    void pages();
    void allPagesOf450();
    void pageScopes_data();
    void pageScopes();
    void pageTextNotANumber();
    void savesReplacingTheFile();
    void saveReportsFailure();
    void csvModuleReadsIt();
    void millionLines();
};

void TestExportText::value7_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0.0001234") << 0.0001234f << "0.0001234";
    QTest::newRow("1234567") << 1234567.0f << "1234567";
    QTest::newRow("-12.5") << -12.5f << "-12.5";
    QTest::newRow("0") << 0.0f << "0";
    QTest::newRow("-0") << -0.0f << "0";
    QTest::newRow("1.5E-5") << 1.5e-5f << "1.5E-5";
    QTest::newRow("1.234568E7") << 12345678.0f << "1.234568E7";
    QTest::newRow("986.2 uA") << 0.0009862f << "0.0009862";
    QTest::newRow("0.0001 still fixed") << 0.0001f << "0.0001";
    QTest::newRow("just below 0.0001") << 9.999999e-5f << "9.999999E-5";
    QTest::newRow("1E7") << 1.0e7f << "1E7";
    QTest::newRow("9999999") << 9999999.0f << "9999999";
    QTest::newRow("integer with zeros") << 1200.0f << "1200";
    QTest::newRow("0.98") << 0.98f << "0.98";
    QTest::newRow("overload 9900") << 9900.0f << "9900";
    QTest::newRow("third") << 1.0f / 3.0f << "0.3333333";
    QTest::newRow("rounds up") << 2.0f / 3.0f << "0.6666667";
    QTest::newRow("carries into the next digit") << 1.2999996f << "1.3";
    QTest::newRow("8 digits down") << 1.2999994f << "1.299999";
    QTest::newRow("largest below 1000") << 999.99994f << "999.9999";
    QTest::newRow("negative small") << -6.6e-10f << "-6.6E-10";
    // Their shortest forms are 3.4028235E38 (exactly 3.40282346…E38) and 1E-45.
    QTest::newRow("largest float, rounded once")
        << std::numeric_limits<float>::max() << "3.402823E38";
    QTest::newRow("smallest denormal") << std::numeric_limits<float>::denorm_min() << "1E-45";
    QTest::newRow("negative denormal") << -std::numeric_limits<float>::denorm_min() << "-1E-45";
    // Shortest forms of 8 or more digits ending in 5 at the 8th: rounded once
    // from the binary value, not from that text.
    QTest::newRow("1.0001424551 down") << 1.0001424551f << "1.000142";
    QTest::newRow("1787.5364990234375 down") << 1787.5364990234375f << "1787.536";
    QTest::newRow("exact tie to even, down") << 10000005.0f << "1E7";
    QTest::newRow("exact tie to even, up") << 10000015.0f << "1.000002E7";
    QTest::newRow("exact tie to even, fixed") << 1048576.5f << "1048576";
    // Where floats lie further apart than the 7th digit's steps, more than one
    // 7-digit decimal reads back as the same float: the shortest of them.
    QTest::newRow("a shorter decimal reads back as the float") << 8595519488.0f << "8.59552E9";
    QTest::newRow("two 7-digit decimals read back as the float") << 8589973504.0f << "8.589974E9";
    QTest::newRow("a hair above its power of ten") << 0.1f << "0.1";
    QTest::newRow("just below one") << 0.99999994f << "0.9999999";
    QTest::newRow("1E10") << 1.0e10f << "1E10";
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << "NAN";
    QTest::newRow("-INF") << -std::numeric_limits<float>::infinity() << "-INF";
}

void TestExportText::value7()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    char buffer[kValue7MaxChars];
    const std::size_t length = formatValue7(value, buffer);
    QVERIFY(length <= kValue7MaxChars);
    QCOMPARE(QString::fromLatin1(buffer, qsizetype(length)), text);
}

void TestExportText::value7KeepsShortFormsOfMicroamperes()
{
    // The float nearest 0.0009862 is 0.00098619994…: rounding that binary value
    // to 7 digits gives 0.0009861999, which is not what the meter showed.
    QCOMPARE(shortest(0.0009862f), std::string("0.0009862"));
    QCOMPARE(formatGeneral(double(0.0009862f), 7, '.'), std::string("0.0009861999"));
    QCOMPARE(formatValue7(0.0009862f), std::string("0.0009862"));
    // The same for a reading of 1.5E-5 A (the float is 1.4999999621E-5).
    QCOMPARE(formatGeneral(double(1.5e-5f), 7, '.'), std::string("1.5E-5"));
    QCOMPARE(formatGeneral(double(0.0001234f), 7, '.'), std::string("0.0001234"));
}

void TestExportText::lineLayout_data()
{
    QTest::addColumn<QString>("subDisplay");
    QTest::addColumn<QString>("line");
    QTest::newRow("no sub-display") << ""
                                    << "1,  9:05:03.4  ,-12.5";
    QTest::newRow("sub-display 0.98") << "0.98"
                                      << "1,  9:05:03.4  ,-12.5,0.98";
    QTest::newRow("sub-display full field") << "1234567"
                                            << "1,  9:05:03.4  ,-12.5,1234567";
}

void TestExportText::lineLayout()
{
    QFETCH(QString, subDisplay);
    QFETCH(QString, line);
    RecordBuffer buffer;
    TARecord record;
    record.fValue = -12.5f;
    record.timeStamp = formatTimeStamp(9, 5, 3, 456);
    record.subDisplay = subDisplay.toStdString();
    buffer.append(record);
    QCOMPARE(exportText(buffer, {0, 1}), (line + QStringLiteral("\r\n")).toLatin1());
}

void TestExportText::emptyRangeIsEmptyText()
{
    const RecordBuffer empty;
    QVERIFY(exportText(empty, {0, 0}).isEmpty());
    QVERIFY(exportText(empty, pageRangeEntries(0, 1, {1, 1})).isEmpty());
    const RecordBuffer three = numberedBuffer(3);
    QVERIFY(exportText(three, {2, 1}).isEmpty());
    // A range past the end is cut to the buffer.
    QCOMPARE(lines(exportText(three, {1, 10})).size(), 2);
}

void TestExportText::pages_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lastPage");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("leadingEmpty");
    QTest::newRow("450: page 3") << 450 << 3 << 3 << 250 << 450 << 0;
    QTest::newRow("450: page 2") << 450 << 3 << 2 << 50 << 250 << 0;
    QTest::newRow("450: page 1 partial") << 450 << 3 << 1 << 0 << 50 << 150;
    QTest::newRow("400: two full pages, 1") << 400 << 2 << 1 << 0 << 200 << 0;
    QTest::newRow("400: two full pages, 2") << 400 << 2 << 2 << 200 << 400 << 0;
    QTest::newRow("200 still one page") << 200 << 1 << 1 << 0 << 200 << 0;
    QTest::newRow("201: page 1 holds entry 0") << 201 << 2 << 1 << 0 << 1 << 199;
    QTest::newRow("201: page 2") << 201 << 2 << 2 << 1 << 201 << 0;
    QTest::newRow("empty buffer") << 0 << 1 << 1 << 0 << 0 << 200;
    QTest::newRow("one entry") << 1 << 1 << 1 << 0 << 1 << 199;
    QTest::newRow("page 0 does not exist") << 450 << 3 << 0 << 0 << 0 << 200;
    QTest::newRow("page past the newest") << 450 << 3 << 4 << 450 << 450 << 200;
}

void TestExportText::pages()
{
    QFETCH(int, count);
    QFETCH(int, lastPage);
    QFETCH(int, page);
    QFETCH(int, begin);
    QFETCH(int, end);
    QFETCH(int, leadingEmpty);
    const PageSlots onPage = pageSlots(std::size_t(count), lastPage, page);
    QCOMPARE(int(onPage.entries.begin), begin);
    QCOMPARE(int(onPage.entries.end), end);
    QCOMPARE(onPage.leadingEmpty, leadingEmpty);
}

void TestExportText::allPagesOf450()
{
    const RecordBuffer buffer = numberedBuffer(450);
    const QStringList all = lines(exportText(buffer, pageRangeEntries(450, 3, {1, 3})));
    QCOMPARE(all.size(), 450);
    for (int i = 0; i < 450; ++i)
        QVERIFY2(all[i].startsWith(QString::number(i + 1) + QLatin1Char(',')), qPrintable(all[i]));
    QCOMPARE(all.first(), QStringLiteral("1,  0:00:00.0  ,0"));
    QCOMPARE(all.last(), QStringLiteral("450,  0:00:44.9  ,449"));

    const QStringList page1 = lines(exportText(buffer, pageRangeEntries(450, 3, {1, 1})));
    QCOMPARE(page1.size(), 50);
    QCOMPARE(page1.last(), QStringLiteral("50,  0:00:04.9  ,49"));
    const QStringList page2 = lines(exportText(buffer, pageRangeEntries(450, 3, {2, 2})));
    QCOMPARE(page2.size(), 200);
    QVERIFY(page2.first().startsWith(QStringLiteral("51,")));
    const QStringList page3 = lines(exportText(buffer, pageRangeEntries(450, 3, {3, 3})));
    QCOMPARE(page3.size(), 200);
    QVERIFY(page3.first().startsWith(QStringLiteral("251,")));
    QVERIFY(page3.last().startsWith(QStringLiteral("450,")));
    const QStringList pages23 = lines(exportText(buffer, pageRangeEntries(450, 3, {2, 3})));
    QCOMPARE(pages23, page2 + page3);
    // From beyond To: nothing.
    QVERIFY(exportText(buffer, pageRangeEntries(450, 3, {3, 2})).isEmpty());
}

void TestExportText::pageScopes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("destination");
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    const int text = int(ExportType::Text), bitmap = int(ExportType::BitMap);
    const int file = int(ExportDestination::File), clip = int(ExportDestination::ClipBoard),
              printer = int(ExportDestination::Printer);
    const int all = int(PageScope::AllPages), thisPage = int(PageScope::ThisPage),
              range = int(PageScope::Pages);
    // shownPage 2, lastPage 3 throughout.
    QTest::newRow("text, this page") << text << file << thisPage << "1"
                                     << "3" << 2 << 2;
    QTest::newRow("text, all pages") << text << file << all << "x"
                                     << "y" << 1 << 3;
    QTest::newRow("text, from to") << text << file << range << "1"
                                   << "2" << 1 << 2;
    QTest::newRow("text, cut to the pages that exist") << text << file << range << "0"
                                                       << "9" << 1 << 3;
    QTest::newRow("text, wholly past the last page") << text << file << range << "5"
                                                     << "9" << 5 << 3;
    QTest::newRow("text, from beyond to") << text << file << range << "3"
                                          << "1" << 3 << 1;
    QTest::newRow("picture to the clipboard: shown page") << bitmap << clip << range << "x"
                                                          << "y" << 2 << 2;
    QTest::newRow("picture to a file: shown page") << bitmap << file << all << "1"
                                                   << "3" << 2 << 2;
    QTest::newRow("picture to the printer, all") << bitmap << printer << all << ""
                                                 << "" << 1 << 3;
    QTest::newRow("picture to the printer, from to") << bitmap << printer << range << " 2"
                                                     << "3 " << 2 << 3;
}

void TestExportText::pageScopes()
{
    QFETCH(int, type);
    QFETCH(int, destination);
    QFETCH(int, scope);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, first);
    QFETCH(int, last);
    ExportChoice choice;
    choice.type = ExportType(type);
    choice.destination = ExportDestination(destination);
    choice.scope = PageScope(scope);
    choice.pageFromText = from;
    choice.pageToText = to;
    choice.pageFrom = parseInteger(from.toStdString());
    choice.pageTo = parseInteger(to.toStdString());
    const ExportPages pages = exportPages(choice, 2, 3);
    QVERIFY(!pages.badPageText);
    QCOMPARE(pages.pages.first, first);
    QCOMPARE(pages.pages.last, last);
}

void TestExportText::pageTextNotANumber()
{
    ExportChoice choice;
    choice.scope = PageScope::Pages;
    choice.pageFromText = QStringLiteral("1.5");
    choice.pageToText = QStringLiteral("abc");
    choice.pageTo = std::nullopt;
    choice.pageFrom = std::nullopt;
    QCOMPARE(exportPages(choice, 1, 3).badPageText, QStringLiteral("1.5"));
    choice.pageFrom = 1;
    QCOMPARE(exportPages(choice, 1, 3).badPageText, QStringLiteral("abc"));
    QVERIFY(exportPages(choice, 1, 3).pages.empty());
}

void TestExportText::savesReplacingTheFile()
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("pages.csv"));
    {
        QFile old(name);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
    }
    const QByteArray text = exportText(numberedBuffer(3), {0, 3});
    QVERIFY(!saveExportText(name, text));
    QFile written(name);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), text);

    // An empty range writes an empty file.
    QVERIFY(!saveExportText(name, QByteArray()));
    QCOMPARE(QFileInfo(name).size(), 0);
}

void TestExportText::saveReportsFailure()
{
    QTemporaryDir dir;
    const auto reason = saveExportText(dir.filePath(QStringLiteral("no/such/folder/x.csv")), "1");
    QVERIFY(reason);
    QVERIFY(!reason->isEmpty());
}

void TestExportText::csvModuleReadsIt()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    RecordBuffer buffer;
    buffer.append(makeRecord(0.0009862f, 1));
    buffer.append(makeRecord(-12.5f, 2, "0.98"));
    buffer.append(makeRecord(1.5e-5f, 3));
    buffer.append(makeRecord(12345678.0f, 4, "-OL"));
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("export.csv"));
    QVERIFY(!saveExportText(name, exportText(buffer, {0, buffer.size()})));

    // Each row: the number, the time stamp, the value as a float, the sub-display.
    const QString script = QStringLiteral(
        "import csv, sys\n"
        "with open(sys.argv[1], newline='') as f:\n"
        "    for row in csv.reader(f):\n"
        "        print('|'.join([str(int(row[0])), row[1].strip(), repr(float(row[2]))] + "
        "row[3:]))\n");
    QProcess process;
    process.start(python, {QStringLiteral("-c"), script, name});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QStringList rows = QString::fromUtf8(process.readAllStandardOutput())
                                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList expected = {
        QStringLiteral("1|0:00:00.1|0.0009862"),
        QStringLiteral("2|0:00:00.2|-12.5|0.98"),
        QStringLiteral("3|0:00:00.3|1.5e-05"),
        QStringLiteral("4|0:00:00.4|12345680.0|-OL"),
    };
    QCOMPARE(rows, expected);
}

void TestExportText::millionLines()
{
    RecordBuffer buffer;
    TARecord record = makeRecord(0.0f, 0, "0.98");
    for (int i = 0; i < 1000000; ++i) {
        record.fValue = float(i) * 1.0e-3f - 17.25f;
        buffer.append(record);
    }
    const QByteArray text = exportText(buffer, {0, buffer.size()});
    QCOMPARE(text.count('\n'), 1000000);
    QVERIFY(text.startsWith("1,  0:00:00.0  ,-17.25,0.98\r\n2,  0:00:00.0  ,-17.249,0.98\r\n"));
    QVERIFY(text.endsWith("1000000,  0:00:00.0  ,982.749,0.98\r\n"));
}

QTEST_GUILESS_MAIN(TestExportText)
#include "tst_exporttext.moc"
